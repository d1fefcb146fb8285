// System's wiring of run control, the job engines and the debug log.
#include "system/System.h"

namespace wendlar {

void System::WireJobs() {
  run.SetRunner(&engines);
  manual.Context.debug = &debugFile;
  segments.SetDebugLog(&debugFile);
  motion.GcodeFeed = [this] { return engines.Gcode.CurrentFeed; };
  motion.SpoolXY = [this] { return engines.Spool.SpoolXYFeed; };
  motion.SpoolZ = [this] { return engines.Spool.SpoolZFeed; };
  status.Hooks.ShowToolChangePrompt = [this] { run.ShowToolChangePrompt(); };

  RunHooks& r = run.Hooks;
  // The table is read back only while the planner's copy is empty.
  r.ReadControllerTable = [this] { return tables.ControllerTable[1] != 0 || tableRead.ReadControllerTable(); };
  r.EnableLimits = [this] { initialisation.EnableLimits(); };
  r.AddFaultHistory = [this](const std::string& text) { jumpbox.AddFaultHistory(text); };
  r.CreateDebugFile = [this] { debugFile.Create(); };
  r.CloseDebugFile = [this] { debugFile.Close(); };
  r.SpoolerFolder = [this] { return environment.View.Spoolerfiles.Caption(); };
  r.GcodeFolder = [this] { return environment.View.Gcodefiles.Caption(); };
  r.ChooseJobMode = [this](int mode) { consoleSettings.ChooseJobMode(mode); };
  r.JobLoaded = [this](const std::string& path, bool spool) { jobClock.JobLoaded(path, spool); };
  console.OnClockTick = [this] { jobClock.Tick(); };

  EngineHooks& e = engines.Hooks;
  e.ApplyConfigDialog = [this] { setup.DialogToConfig(); };
  e.EndGcodeJob = [this] { run.EndGcodeJob(); };
  e.EndSpoolJob = [this] { run.EndSpoolJob(); };
  e.CreateDebugFile = [this] { debugFile.Create(); };
  e.CloseDebugFile = [this] { debugFile.Close(); };

  JobMachineHooks& m = engines.Machine.Hooks;
  m.WaitForContinue = [this] { run.WaitForContinue(); };
  m.PauseonM0 = [this] { return setup.View.PauseonM0.Checked(); };
  m.StartDebugLog = [this] {
    if (console.State.DebugLog) debugFile.Create();
  };
  m.KnifeMode = [this] { return setup.Flags.KnifeMode != 0; };
  m.SecondHeadMachine = [this] { return config.Config.Enable_4th != 0 && config.Config.Fourth_is_rotary == 0; };
  m.CurrentLine = [this] { return engines.CurrentLine(); };
  link.OnRecordSent = [this](const CommandRecord& record, int32_t line) { status.Run.Progress.RecordSent(record, line); };
}

}  // namespace wendlar
