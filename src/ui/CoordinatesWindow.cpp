#include "ui/CoordinatesWindow.h"

#include "ui_Coordinates.h"

namespace wendlar::ui {

CoordinatesWindow::CoordinatesWindow(TCoordinatesView& view, QWidget* parent)
    : QDialog(parent), form_(std::make_unique<Ui::Coordinates>()), binding_(view, *this) {
  form_->setupUi(this);
  setFixedSize(size());
  binding_.SetWindowRenderer([this](const Control& form) { RenderForm(form); });
  binding_.Start();
}

CoordinatesWindow::~CoordinatesWindow() = default;

void CoordinatesWindow::RenderForm(const Control& form) {
  if (!form.Caption().empty()) setWindowTitle(QString::fromStdString(form.Caption()));
  if (form.Visible() != isVisible()) {
    if (form.Visible()) {
      show();
      raise();
      activateWindow();
    } else {
      hide();
    }
  }
}

void CoordinatesWindow::reject() {
  // Escape and the title bar's close: the logic closes (and restores the console's stacking).
  if (onClose_) {
    onClose_();
  } else {
    QDialog::reject();
  }
}

}  // namespace wendlar::ui
