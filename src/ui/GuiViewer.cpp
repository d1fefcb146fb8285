// The toolpath viewer's wiring: the console's Preview button opens it on the loaded job.
#include "ui/Gui.h"

namespace wendlar::ui {

void Gui::WireViewer() {
  sys_.run.Hooks.ShowPreview = [this](int mode) {
    const ConsoleState& s = sys_.console.State;
    const std::string path = mode == 2 ? s.GcodeFileName : s.SpoolFileName;
    (void)viewer_->OpenJob(path, sys_.engines.Config(), sys_.engines.JobStart());
  };
  viewer_->SetRunFromHere(
      [this] {
        std::string error;
        if (sys_.viewer.Go_buttonClick(sys_.run, sys_.engines, error)) return true;
        sys_.prompts.Warning(error);
        return false;
      },
      [this] { sys_.viewer.Cancel_jumpClick(sys_.run, sys_.engines); });
}

}  // namespace wendlar::ui
