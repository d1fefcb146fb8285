// The macro script window (TScript_reader): the list of lines run, the edit box, the number
// box and the two buttons, bound to its model.
#pragma once

#include <QDialog>

#include <functional>
#include <memory>

#include "tools/ScriptReader.h"
#include "ui/ViewBinding.h"

namespace Ui {
class Script_reader;
}

namespace wendlar::ui {

// Modeless, beside the console. The model's Form shows and hides it; closing it from its
// title bar or with Escape goes to the logic's Close.
class ScriptWindow : public QDialog {
  Q_OBJECT
 public:
  ScriptWindow(TScript_readerView& view, QWidget* parent = nullptr);
  ~ScriptWindow() override;

  ViewBinding& Binding() { return binding_; }
  Ui::Script_reader& Form() { return *form_; }
  void SetOnClose(std::function<void()> onClose) { onClose_ = std::move(onClose); }

 protected:
  void reject() override;

 private:
  void RenderForm(const Control& form);

  std::unique_ptr<Ui::Script_reader> form_;
  ViewBinding binding_;
  std::function<void()> onClose_;
};

}  // namespace wendlar::ui
