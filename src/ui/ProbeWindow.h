// The 3D digitiser window (TProbeBox), always on top, bound to its model.
#pragma once

#include <QWidget>

#include <functional>
#include <memory>

#include "tools/ProbeBox.h"
#include "ui/ViewBinding.h"

namespace Ui {
class TProbeBox;
}

namespace wendlar::ui {

class ProbeWindow : public QWidget {
  Q_OBJECT
 public:
  explicit ProbeWindow(TProbeBoxView& view, QWidget* parent = nullptr);
  ~ProbeWindow() override;

  ViewBinding& Binding() { return binding_; }
  Ui::TProbeBox& Form() { return *form_; }
  void SetOnClose(std::function<void()> onClose) { onClose_ = std::move(onClose); }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void RenderForm(const Control& form);

  std::unique_ptr<Ui::TProbeBox> form_;
  ViewBinding binding_;
  std::function<void()> onClose_;
};

}  // namespace wendlar::ui
