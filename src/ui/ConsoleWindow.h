// The console window (TSpool): the Designer form bound to the console's view model.
#pragma once

#include <QMainWindow>

#include <functional>
#include <memory>

#include "console/ConsoleView.h"
#include "ui/KeyPreview.h"
#include "ui/ViewBinding.h"

namespace Ui {
class Spool;
}

namespace wendlar::ui {

class ConsoleWindow : public QMainWindow {
  Q_OBJECT
 public:
  explicit ConsoleWindow(ConsoleView& view, QWidget* parent = nullptr);
  ~ConsoleWindow() override;

  ViewBinding& Binding() { return binding_; }
  KeyPreview& Keys() { return keys_; }
  Ui::Spool& Form() { return *form_; }

  // However the window is closed.
  void SetOnClose(std::function<void()> onClose) { onClose_ = std::move(onClose); }
  // When another window takes the focus (a held jog key or button will see no release).
  void SetOnDeactivate(std::function<void()> onDeactivate) { onDeactivate_ = std::move(onDeactivate); }
  // The client area (below the menu line) as it is now, and a size to give it; sizes below
  // the smallest the layout can show are raised to it.
  QSize ClientSize() const;
  void SetClientSize(QSize size);

 protected:
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void RenderForm(const Control& form);

  std::unique_ptr<Ui::Spool> form_;
  ConsoleView& view_;
  ViewBinding binding_;
  KeyPreview keys_;
  std::function<void()> onClose_;
  std::function<void()> onDeactivate_;
  QPoint placedAt_;
};

}  // namespace wendlar::ui
