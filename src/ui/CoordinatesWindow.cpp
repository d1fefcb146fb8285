#include "ui/CoordinatesWindow.h"

#include "ui_Coordinates.h"

namespace wendlar::ui {

CoordinatesWindow::CoordinatesWindow(TCoordinatesView& view, QWidget* parent)
    : BoundDialog(view, parent), form_(std::make_unique<Ui::Coordinates>()) {
  form_->setupUi(this);
  StartBinding();
}

CoordinatesWindow::~CoordinatesWindow() = default;

}  // namespace wendlar::ui
