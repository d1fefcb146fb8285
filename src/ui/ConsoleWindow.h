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

// The model's window height counts the title bar, borders and menu line, as the logic's
// heights (750, 790 with the M00 button) do; the controls get this much less.
inline constexpr int kConsoleChromeHeight = 52;

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

 protected:
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;
  void moveEvent(QMoveEvent* event) override;

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
