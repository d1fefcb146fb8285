// The machine configuration window (TSetupmenu): eight tabs bound to the dialog's model, always on top.
#pragma once

#include <QMainWindow>

#include <functional>
#include <memory>
#include <string>

#include "config/SetupDialog.h"
#include "ui/ViewBinding.h"

namespace Ui {
class Setupmenu;
}

namespace wendlar::ui {

// Forwards the moment an edit is left (focus gone or Enter), which the logic's exit rules
// act on. Used by the settings windows.
void OnEditExit(QWidget& window, const std::string& name, std::function<void()> handler);

class SetupWindow : public QMainWindow {
  Q_OBJECT
 public:
  explicit SetupWindow(TSetupmenuView& view, QWidget* parent = nullptr);
  ~SetupWindow() override;

  ViewBinding& Binding() { return binding_; }
  Ui::Setupmenu& Form() { return *form_; }
  // The title bar's close; the logic decides what closing means.
  void SetOnClose(std::function<void()> onClose) { onClose_ = std::move(onClose); }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void RenderForm(const Control& form);

  std::unique_ptr<Ui::Setupmenu> form_;
  ViewBinding binding_;
  std::function<void()> onClose_;
};

}  // namespace wendlar::ui
