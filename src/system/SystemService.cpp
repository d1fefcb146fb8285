// Wiring of the service windows: the tool changer sees every memory report, the
// diagnostics window records sent packets and reaches the outputs and speed tables.
#include "system/System.h"

namespace wendlar {

void System::WireService() {
  status.Hooks.ShowMemory = [this] { toolChanger.ShowMemoryReply(link.MemoryReply); };
  link.SetPacketRecorder(&diagnostics);
  diag.Message = [this](const std::string& text) { console.ShowMessage(text); };
  // The console is created with this entry off; with the window built behind it, it is live.
  console.View.Toolchangemode1.SetEnabled(true);

  TestHooks& h = diagnostics.Hooks;
  h.SetAux1 = [this](bool on) { manual.Out.SetAux1(on); };
  h.SetAux2 = [this](bool on) { manual.Out.SetAux2(on); };
  h.SaveControllerTable = [this] { return tableRead.SaveControllerTable(); };
  h.RebuildSpeedTable = [this] { (void)tables.BuildSpeedTable(report.SpeedSteps); };
  h.SpeedTableEntry = [this](int i) {
    const auto k = static_cast<size_t>(i);
    return std::pair<int, int>{tables.RateTable[k], tables.VelTableX[k]};
  };
  h.CheckManual = [this] { return manual.Context.CheckManual(); };
}

}  // namespace wendlar
