// A modeless dialog drawn from its model: the model's window control gives the title and
// shows or hides it, and closing it by any means goes to the logic.
#pragma once

#include <QDialog>

#include <functional>

#include "ui/ViewBinding.h"

namespace wendlar::ui {

class BoundDialog : public QDialog {
  Q_OBJECT
 public:
  ViewBinding& Binding() { return binding_; }
  // Escape and the title bar's close call this instead of closing the dialog themselves.
  void SetOnClose(std::function<void()> onClose) { onClose_ = std::move(onClose); }

 protected:
  BoundDialog(ViewModel& model, QWidget* parent);
  // Call once the form is set up: fixes the size and starts the binding.
  void StartBinding();
  void reject() override;

 private:
  ViewBinding binding_;
  std::function<void()> onClose_;
};

}  // namespace wendlar::ui
