// wendlar: the desktop console over the core, on a real controller or the simulated one.
#include <CLI/CLI.hpp>

#include <QApplication>
#include <QFont>
#include <QPixmap>
#include <QStyleFactory>
#include <QTimer>

#include <iostream>
#include <memory>
#include <optional>

#include "core/HomeDir.h"
#include "core/InstanceLock.h"
#include "link/serial/InProcessSerialPort.h"
#include "link/serial/PosixSerialPorts.h"
#include "sim/SimController.h"
#include "system/System.h"
#include "ui/Gui.h"
#include "ui/QtMessages.h"
#include "ui/QtEventLoop.h"
#include "ui/QtPrompts.h"

namespace {

struct Options {
  std::string home;
  bool simulator = false;
  int firmware = wendlar::sim::SimOptions{}.firmware;
  std::string screenshot;
  std::string script;
};

// How long --screenshot waits for the console to come up before it takes the picture anyway.
constexpr int kScreenshotWaitMs = 20000;
constexpr int kScreenshotSettleMs = 1000;

// Connected to the simulator, waits for the controller to be initialised; otherwise just
// for the start-up sequence to settle.
void WaitForStartUp(wendlar::System& sys) {
  const bool waitReady = sys.link.Connected || sys.environment.Env.LastUsbPort >= 1;
  if (waitReady) {
    (void)sys.loop.WaitUntil([&] { return sys.console.View.Progress.Caption() == "Ready" || sys.flags.Closing; },
                             kScreenshotWaitMs);
  }
  (void)sys.loop.WaitUntil([] { return false; }, kScreenshotSettleMs);
}

// --script: once the controller is ready, the script window opens and runs the file.
void RunStartScript(wendlar::System& sys, const std::string& file) {
  WaitForStartUp(sys);
  if (sys.flags.Closing) return;
  sys.script.Show();
  (void)sys.script.RunScriptFile(file);
}

// Saves the console, or the script window after a --script run, as a PNG and quits.
void TakeScreenshot(wendlar::System& sys, wendlar::ui::Gui& gui, const QString& file, bool ofScript, int& exitCode) {
  WaitForStartUp(sys);
  const QPixmap shot = ofScript ? gui.Script().grab() : gui.Console().grab();
  exitCode = shot.save(file, "PNG") ? 0 : 1;
  if (exitCode != 0) std::cerr << "wendlar: cannot write " << file.toStdString() << "\n";
  QApplication::quit();
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App cli{"Wendlar: the desktop console of a small CNC machine", "wendlar"};
  cli.set_version_flag("--version", std::string("wendlar ") + WENDLAR_VERSION);
  cli.allow_extras();  // Qt's own options (-platform, -style) pass through to QApplication
  Options opt;
  cli.add_option("--home", opt.home, "Program directory for settings and logs")->check(CLI::ExistingDirectory);
  cli.add_flag("--simulator", opt.simulator, "Connect to the simulated controller instead of a serial port");
  cli.add_option("--firmware", opt.firmware, "Firmware version of the simulated controller")
      ->check(CLI::Range(1, 255))
      ->needs(cli.get_option("--simulator"));
  cli.add_option("--screenshot", opt.screenshot,
                 "Save the console (the script window with --script) as a PNG once it is up, then quit");
  cli.add_option("--script", opt.script, "Open the script window and run this macro script once the controller is ready");
  try {
    cli.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return cli.exit(e);
  }

  // A second copy ends at once, silently, before it could open a window.
  wendlar::InstanceLock lock(wendlar::InstanceLock::NameFor(argv[0]), wendlar::InstanceLock::DefaultDir());
  if (lock.TryAcquire() == wendlar::InstanceLock::State::kHeldElsewhere) return 0;

  wendlar::ui::QuietQtMessages();
  QFont::insertSubstitution("Arial", "Liberation Sans");
  QApplication app(argc, argv);
  QApplication::setApplicationName("Wendlar ");
  QApplication::setStyle(QStyleFactory::create("Fusion"));
  QApplication::setFont(QFont("Arial", 8));

  wendlar::ui::QtEventLoop loop;
  wendlar::ui::QtPrompts prompts;
  wendlar::HomeDir home(opt.home.empty() ? wendlar::HomeDir::DefaultFor(argv[0]) : std::filesystem::path(opt.home));

  std::unique_ptr<wendlar::sim::SimController> sim;
  std::unique_ptr<wendlar::SerialPort> ports;
  if (opt.simulator) {
    wendlar::sim::SimOptions simOptions;
    simOptions.firmware = opt.firmware;
    simOptions.traceLimit = 10000;  // an interactive session runs for hours
    sim = std::make_unique<wendlar::sim::SimController>(loop, simOptions);
    ports = std::make_unique<wendlar::InProcessSerialPort>(loop, *sim, wendlar::kFirstDevicePort);
  } else {
    auto posix = std::make_unique<wendlar::PosixSerialPorts>();
    posix->Discover();
    ports = std::move(posix);
  }

  wendlar::System sys(loop, *ports, prompts, home, std::cout);
  wendlar::ui::Gui gui(sys);
  prompts.SetParent(&gui.Console());
  gui.Start();
  // Without a Travel.cfg the simulated machine's own travel is the one to check jobs against.
  if (sim) {
    sys.engines.Hooks.RefreshControllerTravel = [&sys, &sim] {
      wendlar::UseControllerTravel(sys.config.Travel, sim->ReportedTravelMin(), sim->ReportedTravelMax());
    };
    sys.engines.Hooks.RefreshControllerTravel();
  }
  // The simulated controller is the port to come back to: the start-up auto-connect (a
  // quarter second from now) takes it.
  if (opt.simulator) gui.AutoConnectTo(wendlar::kFirstDevicePort);

  int exitCode = 0;
  if (!opt.script.empty() || !opt.screenshot.empty()) {
    QTimer::singleShot(0, &app, [&sys, &gui, &exitCode, &opt] {
      if (!opt.script.empty()) RunStartScript(sys, opt.script);
      if (!opt.screenshot.empty()) {
        TakeScreenshot(sys, gui, QString::fromStdString(opt.screenshot), !opt.script.empty(), exitCode);
      }
    });
  }
  const int rc = app.exec();
  return opt.screenshot.empty() ? rc : exitCode;
}
