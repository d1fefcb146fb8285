// System: the one object that owns the controller program's state and wires the modules.
#pragma once

#include <iosfwd>

#include "config/ConfigFile.h"
#include "config/Environment.h"
#include "config/MachineConfig.h"
#include "config/Materials.h"
#include "config/SetupDialog.h"
#include "config/WorkOffsets.h"
#include "console/CommandSender.h"
#include "console/DebugFile.h"
#include "console/Console.h"
#include "console/DiagMenu.h"
#include "console/Initialisation.h"
#include "console/ManualControl.h"
#include "console/StatusReaction.h"
#include "core/EventLoop.h"
#include "core/HomeDir.h"
#include "core/Prompts.h"
#include "core/RunFlags.h"
#include "job/JobEngines.h"
#include "link/Connection.h"
#include "link/Link.h"
#include "link/Polling.h"
#include "link/TableReadBack.h"
#include "link/serial/SerialPort.h"
#include "motion/SegmentBuffer.h"
#include "motion/SpeedTables.h"
#include "system/JobClock.h"
#include "system/SystemAdapters.h"
#include "tools/DiagnosticsWindow.h"
#include "tools/ProbeBox.h"
#include "tools/ScriptReader.h"
#include "tools/ViewerModel.h"
#include "tools/ToolChangerMenu.h"
#include "tools/TouchOff.h"

namespace wendlar {

// The GUI creates one; every test creates a fresh one. Two may live side by side: there is
// no global state. The loop, the ports and the prompts are the seams the caller chooses.
class System : private LinkConsole, private ConfigEvents {
 public:
  System(EventLoop& loop, SerialPort& ports, Prompts& prompts, HomeDir home, std::ostream& out);
  System(const System&) = delete;
  System& operator=(const System&) = delete;
  ~System() override;

  EventLoop& loop;
  SerialPort& ports;
  Prompts& prompts;
  HomeDir home;
  std::ostream& out;  // the program's standard-output lines
  // Where settings files that fail to load are reported besides the console's message
  // lines; standard error unless a test catches it.
  std::ostream* errors;

  RunFlags flags;
  ConfigState config;
  Link link;
  Console console;
  CommandSender sender;

  // Adapters between the modules' interfaces.
  ConsoleSettingsAdapter consoleSettings{*this};
  MachineAdapter machine{*this};
  MotionAdapter motion{*this};
  LinkEventsAdapter linkEvents{*this};

  // Settings windows.
  TSetupmenu setup;
  TEnvir_setup environment;
  WorkOffsetState offsets;
  TJumpbox jumpbox;
  Tpick_mat materials;

  // Motion planning.
  SpeedTables tables;
  SegmentBuffer segments;

  // Moves, jogs, homing, outputs and speed controls of the console.
  ManualControl manual;

  // The live link: reports, polling, connection, table read-back.
  ControllerReport report;
  Polling polling;
  Connection connection;
  TableReadBack tableRead;

  // Run control's reactions and the initialisation.
  StatusReaction status;
  Initialisation initialisation;

  // The console's hidden Diag menu.
  DiagMenu diag{sender, console.State, config, manual.Out, initialisation,
                [this] { return tableRead.ReadControllerTable(); }};

  // Run control, the job engines and the debug log of a run.
  DebugFile debugFile{home};
  RunControl run;
  JobEngines engines;
  // The loaded job's machine time, estimated in the background, and its time left.
  JobClock jobClock{*this};

  // Probing: the 3D digitiser, the tool touch-off and the corner finder.
  TProbeBox probe{manual.Context, ProbeLinks{polling, report, status.Run.ProbeRunning, home}};
  TouchOff touchOff{manual.Context, manual.Motion};
  // The macro script window.
  TScript_reader script{manual, home};
  // The toolpath viewer behind the console's Preview button.
  ViewerModel viewer;
  // The service windows: tool changer and diagnostics.
  TTC_menu toolChanger{sender, polling, report, console.State, flags};
  TTest diagnostics{sender, polling, report, console, flags, home};

  // Reads Spooler.cfg (and the machine file it names), shows the console, starts its Clock
  // and opens the connection window, whose Wait_clock then auto-connects.
  void Start();

  // Where configuration loading and saving report.
  ConfigIo ConfigOutput() { return ConfigIo{home, *this, out}; }

 private:
  // Connects run control, the engines and the debug log to the rest (SystemJobs.cpp).
  void WireJobs();
  // Connects the tool changer and diagnostics windows (SystemService.cpp).
  void WireService();
  // LinkConsole
  void ControllerOffline() override;
  void SetBufferGaugeColor(Color color) override;
  // ConfigEvents
  void ShowProgress(const std::string& text) override;
  void ShowMessage(const std::string& text) override;
  void ReportLoadError(const std::string& text) override;
  void ReportSaveError(const std::string& text) override;
  void RefreshDialog() override;
};

}  // namespace wendlar
