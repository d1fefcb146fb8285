// The environment setup window (TEnvir_setup): port, folders, job mode, controller and machine type.
#pragma once

#include <QWidget>

#include <functional>
#include <memory>

#include "config/Environment.h"
#include "ui/ViewBinding.h"

namespace Ui {
class Envir_setup;
}

namespace wendlar::ui {

class EnvironmentWindow : public QWidget {
  Q_OBJECT
 public:
  explicit EnvironmentWindow(TEnvir_setupView& view, QWidget* parent = nullptr);
  ~EnvironmentWindow() override;

  ViewBinding& Binding() { return binding_; }
  Ui::Envir_setup& Form() { return *form_; }
  // The operator picked a controller type (its list position).
  void SetOnCpuChoice(std::function<void(int)> onChoice) { onCpuChoice_ = std::move(onChoice); }
  void SetOnClose(std::function<void()> onClose) { onClose_ = std::move(onClose); }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void RenderForm(const Control& form);
  void RenderCpuCombo();

  std::unique_ptr<Ui::Envir_setup> form_;
  TEnvir_setupView& view_;
  ViewBinding binding_;
  std::function<void(int)> onCpuChoice_;
  std::function<void()> onClose_;
};

}  // namespace wendlar::ui
