#include "ui/PanelButton.h"

#include <QMouseEvent>

namespace wendlar::ui {

namespace {
int ButtonOf(Qt::MouseButton b) {
  switch (b) {
    case Qt::RightButton: return PanelButton::kRight;
    case Qt::MiddleButton: return PanelButton::kMiddle;
    default: return PanelButton::kLeft;
  }
}
}  // namespace

PanelButton::PanelButton(QWidget* parent) : QLabel(parent) {
  setFrameShape(QFrame::Panel);
  setLineWidth(2);
  setAlignment(Qt::AlignCenter);
  setTextFormat(Qt::PlainText);
  ShowBevel();
}

void PanelButton::SetRaised(bool raised) {
  raised_ = raised;
  ShowBevel();
}

void PanelButton::ShowBevel() { setFrameShadow(raised_ && pressed_ < 0 ? QFrame::Raised : QFrame::Sunken); }

void PanelButton::mousePressEvent(QMouseEvent* event) {
  if (pressed_ >= 0) return;  // a second button while one is held is not a new press
  pressed_ = ButtonOf(event->button());
  ShowBevel();
  emit mouseDown(pressed_);
}

void PanelButton::mouseReleaseEvent(QMouseEvent* event) {
  const int button = ButtonOf(event->button());
  if (button != pressed_) return;
  pressed_ = -1;
  ShowBevel();
  emit mouseUp(button);
  if (button == kLeft && rect().contains(event->position().toPoint())) emit clicked();
}

void PanelButton::CancelPress() {
  if (pressed_ < 0) return;
  const int button = pressed_;
  pressed_ = -1;
  ShowBevel();
  emit pressLost(button);
}

void PanelButton::hideEvent(QHideEvent* event) {
  CancelPress();
  QLabel::hideEvent(event);
}

void PanelButton::changeEvent(QEvent* event) {
  if (event->type() == QEvent::EnabledChange && !isEnabled()) CancelPress();
  QLabel::changeEvent(event);
}

}  // namespace wendlar::ui
