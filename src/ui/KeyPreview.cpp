#include "ui/KeyPreview.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

namespace wendlar::ui {

KeyStroke ToKeyStroke(const QKeyEvent& event) {
  KeyStroke k;
  k.press = event.type() == QEvent::KeyPress;
  k.autoRepeat = event.isAutoRepeat();
  const Qt::KeyboardModifiers m = event.modifiers();
  k.shift = m.testFlag(Qt::ShiftModifier);
  k.ctrl = m.testFlag(Qt::ControlModifier);
  k.alt = m.testFlag(Qt::AltModifier);
  const int q = event.key();
  if (q >= Qt::Key_A && q <= Qt::Key_Z) {
    k.key = 'A' + (q - Qt::Key_A);
  } else if (q >= Qt::Key_0 && q <= Qt::Key_9) {
    k.key = '0' + (q - Qt::Key_0);
  } else if (q >= Qt::Key_F1 && q <= Qt::Key_F12) {
    k.key = keys::kF1 + (q - Qt::Key_F1);
  } else {
    switch (q) {
      case Qt::Key_Backspace: k.key = keys::kBackspace; break;
      case Qt::Key_Tab: k.key = keys::kTab; break;
      case Qt::Key_Return:
      case Qt::Key_Enter: k.key = keys::kReturn; break;
      case Qt::Key_Shift: k.key = keys::kShift; break;
      case Qt::Key_Control: k.key = keys::kControl; break;
      case Qt::Key_Alt: k.key = keys::kAlt; break;
      case Qt::Key_Escape: k.key = keys::kEscape; break;
      case Qt::Key_Space: k.key = keys::kSpace; break;
      case Qt::Key_PageUp: k.key = keys::kPageUp; break;
      case Qt::Key_PageDown: k.key = keys::kPageDown; break;
      case Qt::Key_End: k.key = keys::kEnd; break;
      case Qt::Key_Home: k.key = keys::kHome; break;
      case Qt::Key_Left: k.key = keys::kLeft; break;
      case Qt::Key_Up: k.key = keys::kUp; break;
      case Qt::Key_Right: k.key = keys::kRight; break;
      case Qt::Key_Down: k.key = keys::kDown; break;
      case Qt::Key_Insert: k.key = keys::kInsert; break;
      case Qt::Key_Delete: k.key = keys::kDelete; break;
      default: break;
    }
  }
  return k;
}

KeyPreview::KeyPreview(QWidget& window) : window_(&window) { qApp->installEventFilter(this); }

KeyPreview::~KeyPreview() {
  if (qApp != nullptr) qApp->removeEventFilter(this);
}

bool KeyPreview::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease) return false;
  if (!handler_ || window_.isNull()) return false;
  auto* w = qobject_cast<QWidget*>(watched);
  if (w == nullptr || w->window() != window_) return false;
  // An unused key travels up to the parents; only its first receiver counts, which is
  // the focused control or, with nothing focused, the window.
  QWidget* first = QApplication::focusWidget();
  if (first == nullptr || first->window() != window_) first = window_;
  if (w != first) return false;
  return handler_(ToKeyStroke(*static_cast<QKeyEvent*>(event)));
}

}  // namespace wendlar::ui
