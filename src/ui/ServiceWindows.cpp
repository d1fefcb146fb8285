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
    : QMainWindow(parent), form_(std::make_unique<Ui::Test>()), binding_(view, *this) {
  form_->setupUi(this);
  setFixedSize(size());
  form_->vars->viewport()->installEventFilter(this);
  binding_.SetWindowRenderer([this](const Control& form) { RenderForm(form); });
  binding_.Start();
}

DiagnosticsWindow::~DiagnosticsWindow() = default;

void DiagnosticsWindow::RenderForm(const Control& form) {
  if (!form.Caption().empty()) setWindowTitle(QString::fromStdString(form.Caption()));
  if (form.Visible() == isVisible()) return;
  if (form.Visible()) {
    show();
    raise();
    activateWindow();
  } else {
    hide();
  }
}

void DiagnosticsWindow::closeEvent(QCloseEvent* event) {
  // The logic hides the window (and stops a running test); the model decides.
  event->ignore();
  if (onClose_) onClose_();
}

bool DiagnosticsWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == form_->vars->viewport() && event->type() == QEvent::MouseButtonDblClick && onDouble_) {
    onDouble_();
    return true;
  }
  return QMainWindow::eventFilter(watched, event);
}

}  // namespace wendlar::ui
