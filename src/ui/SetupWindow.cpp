#include "ui/SetupWindow.h"

#include <QCloseEvent>
#include <QLineEdit>

#include "ui_Setupmenu.h"

namespace wendlar::ui {

void OnEditExit(QWidget& window, const std::string& name, std::function<void()> handler) {
  auto* edit = window.findChild<QLineEdit*>(QString::fromStdString(name));
  if (edit == nullptr) return;
  QObject::connect(edit, &QLineEdit::editingFinished, &window, std::move(handler));
}

SetupWindow::SetupWindow(TSetupmenuView& view, QWidget* parent)
    : QMainWindow(parent), form_(std::make_unique<Ui::Setupmenu>()), binding_(view, *this) {
  form_->setupUi(this);
  setFixedSize(size());
  setWindowFlag(Qt::WindowStaysOnTopHint, true);
  binding_.SetWindowRenderer([this](const Control& form) { RenderForm(form); });
  binding_.Start();
}

SetupWindow::~SetupWindow() = default;

void SetupWindow::RenderForm(const Control& form) {
  if (!form.Caption().empty()) setWindowTitle(QString::fromStdString(form.Caption()));
  if (form.Visible() == isVisible()) return;
  if (!form.Visible()) {
    hide();
    return;
  }
  show();
  raise();
  activateWindow();
}

void SetupWindow::closeEvent(QCloseEvent* event) {
  if (onClose_) onClose_();
  event->accept();
}

}  // namespace wendlar::ui
