#include "system/System.h"

#include "core/Numbers.h"

#include <iostream>
#include <ostream>

namespace wendlar {

System::System(EventLoop& loopRef, SerialPort& portsRef, Prompts& promptsRef, HomeDir homeDir, std::ostream& outRef)
    : loop(loopRef),
      ports(portsRef),
      prompts(promptsRef),
      home(std::move(homeDir)),
      out(outRef),
      errors(&std::cerr),
      link(loop, ports, flags),
      console(loop, config, flags),
      sender(link, console.State, console.View, flags),
      setup(config, ConfigOutput(), prompts, consoleSettings, machine),
      environment(config, ConfigOutput(), prompts, consoleSettings, setup),
      jumpbox(offsets, config, ConfigOutput(), loop, consoleSettings, machine),
      materials(ConfigOutput(), consoleSettings, machine),
      tables(config, home, motion),
      segments(config, tables, motion, motion, flags),
      manual(ManualContext{config, console, sender, tables, segments, motion, prompts, flags, nullptr, {}}),
      polling(link, report),
      connection(link, polling, ports, environment.Env, linkEvents),
      tableRead(link, polling, report, home, linkEvents),
      status(loop, console, link, polling, report, tables, sender, config, flags),
      initialisation(loop, console, sender, config, machine, flags),
      run(loop, console, status, sender, manual, report, prompts, config, flags),
      engines(EngineContext{loop, config, flags, console, link, polling, report, segments, tables, manual, status,
                            offsets}) {
  link.SetConsole(this);
  // After a stop the link holds motion back until the stopped work has ended.
  link.ConsoleFree = [this] {
    return console.State.Operation == LongOperation::None && !console.State.JobActive;
  };
  link.WorkStarts = [this] { return console.State.OperationStarts; };
  console.Create();
  // Before anything reads the dialog's boxes (the initialisation's option flags read
  // Auto_Spindle_Stop there) or the working tool height: both follow the configuration
  // even when no machine file is ever loaded.
  setup.RefreshAfterLoad();
  config.ToolAboveWorkNow = config.Config.Tool_above_work;
  // The work-offset window was made before the console's creation reset its captions.
  console.ShowActiveOffset(offsets.ActiveFixture, offsets.ActiveOffsetX, offsets.ActiveOffsetY);
  tableRead.SetTarget(tables.ControllerTable);
  sender.CountPollsOf(polling.PollCount);
  tables.ShowMaxVelocity = [this](const std::string& text) { setup.View.Max_Velocity.SetCaption(text); };
  tables.ReportWriteError = [this](const std::string& text) { ReportWriteError(text); };
  debugFile.ReportWriteError = [this](const std::string& text) { ReportWriteError(text); };
  setup.SaveEnvironment = [this] { environment.SaveSetupClick(); };

  console.Hooks.ApplyConfigDialog = [this] { setup.DialogToConfig(); };
  console.Hooks.OpenLinkWindow = [this] { connection.Show(); };
  console.Hooks.CloseLink = [this] { connection.Stop_usbClick(); };
  console.Hooks.SpeedTableValue = [this](int index) {
    return index >= 1 && index <= SpeedTables::kMaxSteps ? int{tables.VelTableX[static_cast<size_t>(index)]} : 0;
  };
  console.Hooks.JogDisplayMode = [this] { return setup.Flags.JogDisplayMode; };
  touchOff.ToolDiameter = [this] { return ParseDouble(setup.View.Touch_dia.Caption()).value_or(0.25); };

  ManualHooks& m = manual.Context.hooks;
  m.PlasmaMode = [this] { return environment.Env.PlasmaMode == 1; };
  m.EnableLimits = [this] { initialisation.EnableLimits(); };
  m.HomeXNYP = [this] { return setup.View.Hm_XNYP.Checked(); };
  m.OpenMaterialPicker = [this] { materials.Show(); };

  StatusHooks& h = status.Hooks;
  h.AddFaultHistory = [this](const std::string& text) { jumpbox.AddFaultHistory(text); };
  h.InterlockEnabled = [this] { return setup.View.Interlock_enable.Checked(); };
  h.ServoEnabled = [this] { return setup.Flags.ServoEnabled != 0; };
  h.PlasmaMode = [this] { return environment.Env.PlasmaMode == 1; };
  h.InitialiseController = [this] {
    // A controller that reports itself not initialised was powered up or reset.
    const bool reset = (report.StateByte & 0x01) != 0;
    if (initialisation.InitialiseController()) resume.ControllerReady(reset);
  };
  h.ShowMaxSpeeds = [this](const std::string& text) { setup.View.Max_speeds.SetCaption(text); };

  ScriptHooks& sh = script.Hooks;
  sh.EnableLimits = [this] { initialisation.EnableLimits(); };
  sh.DisableLimits = [this] { initialisation.DisableLimits(); };
  sh.RefreshPositions = [this] {
    if (!polling.LinkPolling()) return false;
    polling.RequestPositions();
    return polling.PositionsFresh;
  };
  sh.StopMachine = [this] { run.EmergencyStop(); };
  WireJobs();
  WireService();
}

System::~System() {
  flags.Closing = true;
  link.SetConsole(nullptr);
  link.SetPacketRecorder(nullptr);
}

void System::Start() {
  (void)environment.LoadEnvironment();
  LoadTravelFile();
  console.StartClock();
  console.Show();
  // The console journals its jobs and offers to resume one that did not complete.
  resume.EnableJournal();
  resume.ArmOffer();
}

void System::LoadTravelFile() {
  std::string why;
  if (LoadTravel(home, config.Travel, &why) == TravelLoad::Refused) ReportLoadError(why);
}

void System::ControllerOffline() {
  console.View.Running.SetCaption("Controller OfflIne");
  console.SetConsoleIdle(false);
}

void System::SetBufferGaugeColor(Color color) { console.View.Gauge1.SetBackColor(color); }

void System::ShowProgress(const std::string& text) { console.View.Progress.SetCaption(text); }

void System::ShowMessage(const std::string& text) { console.View.Com_list.AddItem(text); }

void System::ReportLoadError(const std::string& text) {
  // The message list and the code-line panel, where the operator reads it.
  console.ShowMessage(text);
  if (errors != nullptr) *errors << text << std::endl;
}

void System::ReportSaveError(const std::string& text) { prompts.Warning(text); }

void System::ReportWriteError(const std::string& text) { ReportLoadError(text); }

void System::RefreshDialog() { setup.RefreshAfterLoad(); }

}  // namespace wendlar
