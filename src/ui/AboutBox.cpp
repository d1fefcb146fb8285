#include "ui/AboutBox.h"

#include "ui_AboutBox.h"

namespace wendlar::ui {

AboutBox::AboutBox(QWidget* parent) : QDialog(parent), form_(std::make_unique<Ui::AboutBox>()) {
  form_->setupUi(this);
  setFixedSize(size());
  setModal(true);
  form_->Version->setText(QStringLiteral("Version %1").arg(QStringLiteral(WENDLAR_VERSION)));
  connect(form_->OKButton, &QPushButton::clicked, this, &QDialog::accept);
}

AboutBox::~AboutBox() = default;

}  // namespace wendlar::ui
