#include "ui/UsbWindow.h"

#include <QCloseEvent>

#include "ui_USBmodule.h"

namespace wendlar::ui {

UsbWindow::UsbWindow(UsbView& view, QWidget* parent)
    : QWidget(parent, Qt::Window), form_(std::make_unique<Ui::USBmodule>()), view_(view), binding_(view, *this) {
  form_->setupUi(this);
  setFixedWidth(width());
  binding_.SetWindowRenderer([this](const Control& form) { RenderForm(form); });
  binding_.Start();
}

UsbWindow::~UsbWindow() = default;

void UsbWindow::RenderForm(const Control& form) {
  if (!form.Caption().empty()) setWindowTitle(QString::fromStdString(form.Caption()));
  if (form.Height() > kWindowChromeHeight) setFixedHeight(form.Height() - kWindowChromeHeight);
  if (form.Visible() == isVisible()) return;
  if (!form.Visible()) {
    hide();
    return;
  }
  if (!placed_ && beside_ != nullptr) {
    const QRect frame = beside_->frameGeometry();
    move(frame.right() + 1, frame.top());
    placed_ = true;
  }
  show();
  raise();
}

void UsbWindow::closeEvent(QCloseEvent* event) {
  // Closed from its title bar: the model must know, or the next show would change nothing.
  view_.Form.SetVisible(false);
  event->accept();
}

}  // namespace wendlar::ui
