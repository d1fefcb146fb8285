#include "ui/BoundDialog.h"

namespace wendlar::ui {

BoundDialog::BoundDialog(ViewModel& model, QWidget* parent) : QDialog(parent), binding_(model, *this) {}

void BoundDialog::StartBinding() {
  setFixedSize(size());
  binding_.SetWindowRenderer([this](const Control& form) { RenderForm(form); });
  binding_.Start();
}

void BoundDialog::RenderForm(const Control& form) {
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

void BoundDialog::reject() {
  if (onClose_) {
    onClose_();
  } else {
    QDialog::reject();
  }
}

}  // namespace wendlar::ui
