// The work-offset window (TJumpbox): the six fixtures or the fault list, bound to its model.
#pragma once

#include <QWidget>

#include <memory>

#include "config/WorkOffsets.h"
#include "ui/BoundWindow.h"

namespace Ui {
class Jumpbox;
}

namespace wendlar::ui {

class JumpboxWindow : public BoundWindow<QWidget> {
  Q_OBJECT
 public:
  explicit JumpboxWindow(TJumpboxView& view, QWidget* parent = nullptr);
  ~JumpboxWindow() override;

  Ui::Jumpbox& Form() { return *form_; }

 private:
  void RenderForm(const Control& form) override;

  std::unique_ptr<Ui::Jumpbox> form_;
};

}  // namespace wendlar::ui
