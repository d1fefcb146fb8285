#include "ui/JumpboxWindow.h"

#include "ui/UsbWindow.h"
#include "ui_Jumpbox.h"

namespace wendlar::ui {

JumpboxWindow::JumpboxWindow(TJumpboxView& view, QWidget* parent)
    : BoundWindow(view, parent, Qt::Window), form_(std::make_unique<Ui::Jumpbox>()) {
  form_->setupUi(this);
  StartBinding();
}

JumpboxWindow::~JumpboxWindow() = default;

void JumpboxWindow::RenderForm(const Control& form) {
  // One window, two sizes: the fixtures and the wider fault list.
  if (form.Width() > 0 && form.Height() > kWindowChromeHeight) {
    setFixedSize(form.Width(), form.Height() - kWindowChromeHeight);
  }
  RenderWindowControl(*this, form);
}

}  // namespace wendlar::ui
