// The move dialog (TCoordinates): move to typed coordinates or set the position.
#pragma once

#include <memory>

#include "console/CoordinatesDialog.h"
#include "ui/BoundDialog.h"

namespace Ui {
class Coordinates;
}

namespace wendlar::ui {

// Modeless: the move modes leave it open while the machine moves. The model's Form shows
// and hides it; closing it from its title bar goes to the logic's Close.
class CoordinatesWindow : public BoundDialog {
  Q_OBJECT
 public:
  CoordinatesWindow(TCoordinatesView& view, QWidget* parent = nullptr);
  ~CoordinatesWindow() override;

  Ui::Coordinates& Form() { return *form_; }

 private:
  std::unique_ptr<Ui::Coordinates> form_;
};

}  // namespace wendlar::ui
