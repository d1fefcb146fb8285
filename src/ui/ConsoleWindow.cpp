#include "ui/ConsoleWindow.h"

#include <QCloseEvent>
#include <QMenu>
#include <QMenuBar>
#include <QMoveEvent>
#include <QShowEvent>
#include <QWindow>

#include "ui/ConsoleLayout.h"
#include "ui_Spool.h"

namespace wendlar::ui {

ConsoleWindow::ConsoleWindow(ConsoleView& view, QWidget* parent)
    : QMainWindow(parent), form_(std::make_unique<Ui::Spool>()), view_(view), binding_(view, *this), keys_(*this) {
  form_->setupUi(this);
  // Resizable: the controls sit in layouts, the read-outs grow with the window, and the
  // documented size is the smallest it goes.
  LayOutConsole(*form_, *centralWidget());
  centralWidget()->setMinimumSize(kConsoleMinimumClient);
  form_->XPOS->installEventFilter(this);
  // Greyed entries say why in their hint.
  for (QMenu* menu : menuBar()->findChildren<QMenu*>()) menu->setToolTipsVisible(true);
  SetClientSize(kConsoleDefaultClient);
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
  // The model's width and height (576 x 750, 790 while the M00 button shows) are the
  // window's smallest; the layout makes room for the M00 button by itself.
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

void ConsoleWindow::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  // STOP holds the focus when the window comes up, so a stray Space or Enter can only stop.
  if (!event->spontaneous()) form_->Estopbut->setFocus();
}

QSize ConsoleWindow::ClientSize() const { return centralWidget()->size(); }

void ConsoleWindow::SetClientSize(QSize size) {
  const QSize least = centralWidget()->minimumSizeHint().expandedTo(kConsoleMinimumClient);
  resize(size.expandedTo(least) + QSize(0, menuBar()->sizeHint().height()));
}

bool ConsoleWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == form_->XPOS && event->type() == QEvent::Resize) FitReadouts(*form_);
  return QMainWindow::eventFilter(watched, event);
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
