// The move dialog (TCoordinates): move to typed coordinates or set the position.
#pragma once

#include <QDialog>

#include <memory>

#include "console/CoordinatesDialog.h"
#include "ui/ViewBinding.h"

namespace Ui {
class Coordinates;
}

namespace wendlar::ui {

// Modeless: the move modes leave it open while the machine moves. The model's Form shows
// and hides it; closing it from its title bar goes to the logic's Close.
class CoordinatesWindow : public QDialog {
  Q_OBJECT
 public:
  CoordinatesWindow(TCoordinatesView& view, QWidget* parent = nullptr);
  ~CoordinatesWindow() override;

  ViewBinding& Binding() { return binding_; }
  Ui::Coordinates& Form() { return *form_; }
  void SetOnClose(std::function<void()> onClose) { onClose_ = std::move(onClose); }

 protected:
  void reject() override;

 private:
  void RenderForm(const Control& form);

  std::unique_ptr<Ui::Coordinates> form_;
  ViewBinding binding_;
  std::function<void()> onClose_;
};

}  // namespace wendlar::ui
