// The macro script window (TScript_reader): the list of lines run, the edit box, the number
// box and the two buttons, bound to its model.
#pragma once

#include <memory>

#include "tools/ScriptReader.h"
#include "ui/BoundDialog.h"

namespace Ui {
class Script_reader;
}

namespace wendlar::ui {

// Modeless, beside the console; Enter in the edit box presses Run_Line.
class ScriptWindow : public BoundDialog {
  Q_OBJECT
 public:
  ScriptWindow(TScript_readerView& view, QWidget* parent = nullptr);
  ~ScriptWindow() override;

  Ui::Script_reader& Form() { return *form_; }

 private:
  std::unique_ptr<Ui::Script_reader> form_;
};

}  // namespace wendlar::ui
