#include "ui/ScriptWindow.h"

#include "ui_Script_reader.h"

namespace wendlar::ui {

ScriptWindow::ScriptWindow(TScript_readerView& view, QWidget* parent)
    : QDialog(parent), form_(std::make_unique<Ui::Script_reader>()), binding_(view, *this) {
  form_->setupUi(this);
  setFixedSize(size());
  binding_.SetWindowRenderer([this](const Control& form) { RenderForm(form); });
  binding_.Start();
}

ScriptWindow::~ScriptWindow() = default;

void ScriptWindow::RenderForm(const Control& form) {
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

void ScriptWindow::reject() {
  if (onClose_) {
    onClose_();
  } else {
    QDialog::reject();
  }
}

}  // namespace wendlar::ui
