// The machine configuration window (TSetupmenu): eight tabs bound to the dialog's model, always on top.
#pragma once

#include <QMainWindow>

#include <functional>
#include <memory>
#include <string>

#include "config/SetupDialog.h"
#include "ui/BoundWindow.h"

namespace Ui {
class Setupmenu;
}

namespace wendlar::ui {

// Forwards the moment an edit is left (focus gone or Enter), which the logic's exit rules
// act on. Used by the settings windows.
void OnEditExit(QWidget& window, const std::string& name, std::function<void()> handler);

class SetupWindow : public BoundWindow<QMainWindow> {
  Q_OBJECT
 public:
  explicit SetupWindow(TSetupmenuView& view, QWidget* parent = nullptr);
  ~SetupWindow() override;

  Ui::Setupmenu& Form() { return *form_; }

 private:
  std::unique_ptr<Ui::Setupmenu> form_;
};

}  // namespace wendlar::ui
