// `wendlar-cli script FILE | --line TEXT`: connects, initialises the controller and runs a
// macro script, echoing every line and error as the script window lists them.
#include <atomic>
#include <csignal>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>

#include "app/cli/CliCommands.h"
#include "config/ConfigFile.h"
#include "core/RealTimeEventLoop.h"
#include "core/VirtualEventLoop.h"
#include "link/serial/InProcessSerialPort.h"
#include "link/serial/PosixSerialPorts.h"
#include "sim/SimController.h"
#include "system/System.h"

namespace wendlar::cli {

namespace {

struct ScriptOptions {
  std::string file;
  std::string line;
  std::string port;
  bool simulator = false;
  bool metric = false;
};

// Shared with the signal handler only: the link sends the stop record first and no motion
// after it; a fast timer takes the rest of the stop path.
std::atomic<bool> gScriptInterrupt{false};

void OnScriptInterrupt(int) { gScriptInterrupt.store(true); }

constexpr int64_t kReadyWaitMs = 60000;
constexpr int kSignalWatchMs = 2;

int RunScript(const ScriptOptions& options, const CliContext& context) {
  if (options.file.empty() == options.line.empty()) {
    std::cerr << "script: give a script FILE or --line TEXT\n";
    return 2;
  }
  if (!options.simulator && options.port.empty()) {
    std::cerr << "script: give --port DEVICE or --simulator\n";
    return 2;
  }
  std::string path;
  if (!options.file.empty()) {
    // Checked before the machine is touched; the run opens it again.
    path = std::filesystem::absolute(options.file).string();
    if (ScriptFile probe = OpenScriptFile(path, options.file); !probe.Handle) {
      std::cerr << "script: " << probe.Problem << "\n";
      return 2;
    }
  }

  // The simulated controller runs in-process on simulated time; a real one in real time.
  std::unique_ptr<EventLoop> loop;
  std::unique_ptr<sim::SimController> sim;
  std::unique_ptr<SerialPort> ports;
  int portIndex = kFirstDevicePort;
  if (options.simulator) {
    loop = std::make_unique<VirtualEventLoop>(std::chrono::system_clock::now());
    sim = std::make_unique<sim::SimController>(*loop);
    auto port = std::make_unique<InProcessSerialPort>(*loop);
    port->Attach(portIndex, *sim, "simulated controller");
    ports = std::move(port);
  } else {
    loop = std::make_unique<RealTimeEventLoop>();
    auto port = std::make_unique<PosixSerialPorts>();
    portIndex = port->AddDevicePath(options.port);
    ports = std::move(port);
  }
  UnattendedPrompts prompts{&std::cerr, "warning: "};
  System sys(*loop, *ports, prompts, context.Home(), std::cout);
  gScriptInterrupt.store(false);
  sys.flags.StopSignal = &gScriptInterrupt;
  if (std::filesystem::exists(sys.home.Resolve(kEnvironmentFile))) (void)sys.environment.LoadEnvironment();
  if (options.metric) {
    sys.config.Config.UnitsMode = 2;
    SetMetricUnits(sys.config.Units);
  }
  sys.console.StartClock();

  if (sys.connection.ConnectController(portIndex) != kConnectOk) {
    std::cerr << "script: no controller answered";
    for (const auto& line : sys.connection.View().Msg_list.Items()) std::cerr << "\n  " << line;
    std::cerr << "\n";
    return 2;
  }
  const bool ready = loop->WaitUntil(
      [&] { return sys.console.View.Progress.Caption() == "Ready" && !sys.console.State.Initialising; },
      kReadyWaitMs);
  if (!ready) {
    std::cerr << "script: the controller was not initialised (" << sys.console.View.Progress.Caption() << ")\n";
    sys.connection.Stop_usbClick();
    return 2;
  }

  // Every line the window's list gets, as it gets it.
  TScript_reader& script = sys.script;
  size_t shown = 0;
  script.View.SetOnChange([&](const Control& c) {
    if (&c != &script.View.ListBox1) return;
    const auto& items = c.Items();
    for (; shown < items.size(); ++shown) std::cout << items[shown] << "\n" << std::flush;
  });
  // Ctrl+C is the stop button: the machine stops and the run ends after the current line.
  struct sigaction action {};
  action.sa_handler = OnScriptInterrupt;
  action.sa_flags = SA_RESETHAND;  // a second Ctrl+C ends the program at once
  sigaction(SIGINT, &action, nullptr);
  bool interrupted = false;
  auto stopOnSignal = [&] {
    if (!gScriptInterrupt.load() || interrupted) return;
    interrupted = true;
    std::cerr << "Interrupted: stopping the machine." << std::endl;
    sys.run.EmergencyStop();
  };
  auto watch = loop->CreateTimer(kSignalWatchMs, true, stopOnSignal);

  ScriptResult result;
  if (!path.empty()) {
    result = script.RunScriptFile(path);
  } else {
    script.ScriptLine = options.line;
    result = script.ExecuteScriptLine();
  }
  // The signal ends every wait at once, so the run may be over before the timer saw it.
  stopOnSignal();
  watch.reset();
  signal(SIGINT, SIG_DFL);
  script.View.SetOnChange(nullptr);

  // The routine report may predate the end of the last move.
  if (script.Hooks.RefreshPositions) (void)script.Hooks.RefreshPositions();
  const ConsoleView& v = sys.console.View;
  std::cout << "Position: X " << v.XPOS.Caption() << "  Y " << v.ypos.Caption() << "  Z " << v.ZPOS.Caption()
            << "\n";
  sys.connection.Stop_usbClick();
  switch (result) {
    case ScriptResult::Done: return 0;
    case ScriptResult::NumberError:
    case ScriptResult::Stopped: return 1;
    case ScriptResult::NotRun: return 2;
  }
  return 1;
}

}  // namespace

void RegisterScriptCommand(CommandTable& commands) {
  auto options = std::make_shared<ScriptOptions>();
  CLI::App* sub = commands.Add("script", "Connect, initialise the controller and run a macro script (*.QMF)",
                               [options](const CliContext& context) { return RunScript(*options, context); });
  auto* file = sub->add_option("file", options->file, "The macro script file");
  auto* line = sub->add_option("--line", options->line, "Run this one command instead of a file, e.g. 'MXYA(1.5,2.25)'");
  file->excludes(line);
  auto* port = sub->add_option("--port", options->port, "Serial device of the controller");
  auto* simulator = sub->add_flag("--simulator", options->simulator, "Run on the simulated controller, on simulated time");
  port->excludes(simulator);
  sub->add_flag("--metric", options->metric, "The machine works in millimetres");
}

}  // namespace wendlar::cli
