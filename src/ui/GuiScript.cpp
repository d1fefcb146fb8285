// The macro script window's wiring and the console's "Run Script file" entry.
#include "ui/Gui.h"

namespace wendlar::ui {

void Gui::WireScript() {
  TScript_reader& script = sys_.script;
  ViewBinding& b = script_->Binding();
  b.OnClick("Open_Scr", [&script] { script.Open_ScrClick(); });
  b.OnClick("Run_Line", [&script] { script.Run_LineClick(); });
  script_->SetOnClose([&script] { script.Close(); });
  console_->Binding().OnClick("RunScriptfile1", [&script] { script.Show(); });
}

}  // namespace wendlar::ui
