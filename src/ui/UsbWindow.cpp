#include "ui/UsbWindow.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>

#include <algorithm>

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
  if (form.Height() > kWindowChromeHeight) {
    // A row the height cuts through is shown whole: title bars differ, and the model's
    // height was measured with another one.
    int height = form.Height() - kWindowChromeHeight;
    const int cut = height;
    for (QObject* o : children()) {
      auto* w = qobject_cast<QWidget*>(o);
      if (w != nullptr && !w->isWindow() && !w->isHidden() && w->y() < cut) {
        height = std::max(height, w->geometry().bottom() + 1 + kRowMargin);
      }
    }
    setFixedHeight(height);
  }
  if (form.Visible() == isVisible()) return;
  if (!form.Visible()) {
    hide();
    return;
  }
  if (!placed_ && beside_ != nullptr) {
    PlaceBeside();
    placed_ = true;
    // The console may not sit where the window manager puts it yet: look again once it does,
    // unless the operator has moved this window meanwhile.
    const QPoint placedAt = pos();
    QTimer::singleShot(kSettleMs, this, [this, placedAt] {
      if (pos() == placedAt) PlaceBeside();
    });
  }
  show();
  raise();
}

void UsbWindow::PlaceBeside() {
  if (beside_ == nullptr) return;
  const QRect console = beside_->frameGeometry();
  const QScreen* screen = beside_->screen() != nullptr ? beside_->screen() : QGuiApplication::primaryScreen();
  const QRect room = screen != nullptr ? screen->availableGeometry() : QRect();
  const int width = frameGeometry().width();
  // To the right of the console, else to its left; never over it, where the console
  // (always on top) would hide it.
  int x = console.right() + 1;
  if (room.isValid() && x + width > room.right() + 1 && console.left() - width >= room.left()) {
    x = console.left() - width;
  }
  move(x, console.top());
}

void UsbWindow::closeEvent(QCloseEvent* event) {
  // Closed from its title bar: the model must know, or the next show would change nothing.
  view_.Form.SetVisible(false);
  event->accept();
}

}  // namespace wendlar::ui
