// The environment setup window (TEnvir_setup): port, folders, job mode, controller and machine type.
#pragma once

#include <QWidget>

#include <functional>
#include <memory>

#include "config/Environment.h"
#include "ui/BoundWindow.h"

namespace Ui {
class Envir_setup;
}

namespace wendlar::ui {

class EnvironmentWindow : public BoundWindow<QWidget> {
  Q_OBJECT
 public:
  explicit EnvironmentWindow(TEnvir_setupView& view, QWidget* parent = nullptr);
  ~EnvironmentWindow() override;

  Ui::Envir_setup& Form() { return *form_; }
  // The operator picked a controller type (its list position).
  void SetOnCpuChoice(std::function<void(int)> onChoice) { onCpuChoice_ = std::move(onChoice); }

 private:
  void RenderForm(const Control& form) override;
  void RenderCpuCombo();

  std::unique_ptr<Ui::Envir_setup> form_;
  TEnvir_setupView& view_;
  std::function<void(int)> onCpuChoice_;
};

}  // namespace wendlar::ui
