#include "ui/BoundDialog.h"

#include "ui/BoundWindow.h"

namespace wendlar::ui {

BoundDialog::BoundDialog(ViewModel& model, QWidget* parent) : QDialog(parent), binding_(model, *this) {}

void BoundDialog::StartBinding() {
  setFixedSize(size());
  binding_.SetWindowRenderer([this](const Control& form) { RenderWindowControl(*this, form); });
  binding_.Start();
}

void BoundDialog::reject() {
  if (onClose_) {
    onClose_();
  } else {
    QDialog::reject();
  }
}

}  // namespace wendlar::ui
