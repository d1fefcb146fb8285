#include "ui/ServiceWindows.h"

#include <QCloseEvent>
#include <QListWidget>

#include "ui_TC_menu.h"
#include "ui_Test.h"

namespace wendlar::ui {

ToolChangerWindow::ToolChangerWindow(TTC_menuView& view, QWidget* parent)
    : BoundDialog(view, parent), form_(std::make_unique<Ui::TC_menu>()) {
  form_->setupUi(this);
  move(view.Form.Left(), view.Form.Top());
  StartBinding();
}

ToolChangerWindow::~ToolChangerWindow() = default;

DiagnosticsWindow::DiagnosticsWindow(TTestView& view, QWidget* parent)
    : BoundWindow(view, parent), form_(std::make_unique<Ui::Test>()) {
  form_->setupUi(this);
  form_->vars->viewport()->installEventFilter(this);
  StartBinding();
}

DiagnosticsWindow::~DiagnosticsWindow() = default;

void DiagnosticsWindow::closeEvent(QCloseEvent* event) {
  // The logic hides the window (and stops a running test); the model decides.
  event->ignore();
  Closed();
}

bool DiagnosticsWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == form_->vars->viewport() && event->type() == QEvent::MouseButtonDblClick && onDouble_) {
    onDouble_();
    return true;
  }
  return QMainWindow::eventFilter(watched, event);
}

}  // namespace wendlar::ui
