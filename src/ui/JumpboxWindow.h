// The work-offset window (TJumpbox): the six fixtures or the fault list, bound to its model.
#pragma once

#include <QWidget>

#include <functional>
#include <memory>

#include "config/WorkOffsets.h"
#include "ui/ViewBinding.h"

namespace Ui {
class Jumpbox;
}

namespace wendlar::ui {

class JumpboxWindow : public QWidget {
  Q_OBJECT
 public:
  explicit JumpboxWindow(TJumpboxView& view, QWidget* parent = nullptr);
  ~JumpboxWindow() override;

  ViewBinding& Binding() { return binding_; }
  Ui::Jumpbox& Form() { return *form_; }
  void SetOnClose(std::function<void()> onClose) { onClose_ = std::move(onClose); }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void RenderForm(const Control& form);

  std::unique_ptr<Ui::Jumpbox> form_;
  ViewBinding binding_;
  std::function<void()> onClose_;
};

}  // namespace wendlar::ui
