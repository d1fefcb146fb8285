// A window drawn from its model: the model's window control gives the title and shows or
// hides it, and the title bar's close goes to the logic.
#pragma once

#include <QCloseEvent>
#include <QWidget>

#include <functional>

#include "ui/ViewBinding.h"

namespace wendlar::ui {

// Title from the window control's caption, then shown (raised and active) or hidden as the
// control says. True when this call showed the window.
bool RenderWindowControl(QWidget& window, const Control& form);

// The common part of the model's windows; QtBase is QWidget or QMainWindow.
template <class QtBase>
class BoundWindow : public QtBase {
 public:
  ViewBinding& Binding() { return binding_; }
  // The title bar's close; the logic decides what closing means.
  void SetOnClose(std::function<void()> onClose) { onClose_ = std::move(onClose); }

 protected:
  BoundWindow(ViewModel& model, QWidget* parent, Qt::WindowFlags flags = {})
      : QtBase(parent, flags), binding_(model, *this) {}
  // Call once the form is set up: fixes the window at the form's size and starts the binding.
  void StartBinding() {
    this->setFixedSize(this->size());
    binding_.SetWindowRenderer([this](const Control& form) { RenderForm(form); });
    binding_.Start();
  }
  // Draws the window control; a window with more to it overrides this.
  virtual void RenderForm(const Control& form) { RenderWindowControl(*this, form); }
  void Closed() {
    if (onClose_) onClose_();
  }
  void closeEvent(QCloseEvent* event) override {
    Closed();
    event->accept();
  }

 private:
  ViewBinding binding_;
  std::function<void()> onClose_;
};

}  // namespace wendlar::ui
