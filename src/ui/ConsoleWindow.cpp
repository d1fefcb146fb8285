#include "ui/ConsoleWindow.h"

#include <QCloseEvent>
#include <QMenuBar>
#include <QMoveEvent>
#include <QWindow>

#include "ui_Spool.h"

namespace wendlar::ui {

ConsoleWindow::ConsoleWindow(ConsoleView& view, QWidget* parent)
    : QMainWindow(parent), form_(std::make_unique<Ui::Spool>()), view_(view), binding_(view, *this), keys_(*this) {
  form_->setupUi(this);
  // A fixed single border: the size comes from the model and the operator cannot drag it.
  setWindowFlag(Qt::MSWindowsFixedSizeDialogHint, true);
  binding_.SetWindowRenderer([this](const Control& form) { RenderForm(form); });
  binding_.Start();
}

ConsoleWindow::~ConsoleWindow() = default;

void ConsoleWindow::RenderForm(const Control& form) {
  if (!form.Caption().empty() && windowTitle() != QString::fromStdString(form.Caption())) {
    setWindowTitle(QString::fromStdString(form.Caption()));
  }
  // The environment file remembers where the operator left the window.
  const QPoint at(form.Left(), form.Top());
  if (at != placedAt_) {
    placedAt_ = at;
    move(at);
  }
  if (form.Width() > 0 && form.Height() > kConsoleChromeHeight) {
    const int clientHeight = form.Height() - kConsoleChromeHeight;
    centralWidget()->setFixedSize(form.Width(), clientHeight);
    setFixedSize(form.Width(), menuBar()->sizeHint().height() + clientHeight);
  }
  if (form.BackColor() != kColorDefault) {
    QPalette p = palette();
    p.setColor(QPalette::Window, ToQColor(form.BackColor()));
    setPalette(p);
  }
  const bool onTop = form.Checked();
  if (windowFlags().testFlag(Qt::WindowStaysOnTopHint) != onTop) {
    // setWindowFlags would hide the window and show it again, which counts as a new show.
    Qt::WindowFlags flags = windowFlags();
    flags.setFlag(Qt::WindowStaysOnTopHint, onTop);
    overrideWindowFlags(flags);
    if (windowHandle() != nullptr) windowHandle()->setFlags(flags);
  }
}

void ConsoleWindow::moveEvent(QMoveEvent* event) {
  QMainWindow::moveEvent(event);
  // Where the operator puts the window is saved with the environment.
  if (!isVisible()) return;
  placedAt_ = pos();
  view_.Form.SetLeft(placedAt_.x());
  view_.Form.SetTop(placedAt_.y());
}

void ConsoleWindow::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  if (event->type() == QEvent::ActivationChange && !isActiveWindow() && onDeactivate_) onDeactivate_();
}

void ConsoleWindow::closeEvent(QCloseEvent* event) {
  if (onClose_) onClose_();
  event->accept();
}

}  // namespace wendlar::ui
