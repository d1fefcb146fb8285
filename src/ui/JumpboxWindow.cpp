#include "ui/JumpboxWindow.h"

#include <QCloseEvent>

#include "ui/UsbWindow.h"
#include "ui_Jumpbox.h"

namespace wendlar::ui {

JumpboxWindow::JumpboxWindow(TJumpboxView& view, QWidget* parent)
    : QWidget(parent, Qt::Window), form_(std::make_unique<Ui::Jumpbox>()), binding_(view, *this) {
  form_->setupUi(this);
  setFixedSize(size());
  binding_.SetWindowRenderer([this](const Control& form) { RenderForm(form); });
  binding_.Start();
}

JumpboxWindow::~JumpboxWindow() = default;

void JumpboxWindow::RenderForm(const Control& form) {
  if (!form.Caption().empty()) setWindowTitle(QString::fromStdString(form.Caption()));
  // One window, two sizes: the fixtures and the wider fault list.
  if (form.Width() > 0 && form.Height() > kWindowChromeHeight) {
    setFixedSize(form.Width(), form.Height() - kWindowChromeHeight);
  }
  if (form.Visible() == isVisible()) return;
  if (!form.Visible()) {
    hide();
    return;
  }
  show();
  raise();
  activateWindow();
}

void JumpboxWindow::closeEvent(QCloseEvent* event) {
  if (onClose_) onClose_();
  event->accept();
}

}  // namespace wendlar::ui
