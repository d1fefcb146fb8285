// The 3D digitiser window (TProbeBox), always on top, bound to its model.
#pragma once

#include <QWidget>

#include <memory>

#include "tools/ProbeBox.h"
#include "ui/BoundWindow.h"

namespace Ui {
class TProbeBox;
}

namespace wendlar::ui {

class ProbeWindow : public BoundWindow<QWidget> {
  Q_OBJECT
 public:
  explicit ProbeWindow(TProbeBoxView& view, QWidget* parent = nullptr);
  ~ProbeWindow() override;

  Ui::TProbeBox& Form() { return *form_; }

 private:
  std::unique_ptr<Ui::TProbeBox> form_;
};

}  // namespace wendlar::ui
