// `wendlar-cli status`: connects, lets the controller initialise, and prints what it reports.
#include <iostream>
#include <memory>
#include <sstream>
#include <string>

#include "app/cli/CliCommands.h"
#include "console/StatusReaction.h"
#include "core/RealTimeEventLoop.h"
#include "core/VirtualEventLoop.h"
#include "link/serial/InProcessSerialPort.h"
#include "link/serial/PosixSerialPorts.h"
#include "sim/SimController.h"
#include "system/System.h"

namespace wendlar::cli {

namespace {

struct StatusArgs {
  std::string port;
  bool simulator = false;
  int firmware = 110;
};

// The initialisation takes about 46 Clock ticks and the table read; this is ample.
constexpr int64_t kReadyWaitMs = 60000;
// After "Ready", long enough for a whole polling cycle to refresh every value.
constexpr int64_t kSettleMs = 600;

int Report(EventLoop& loop, SerialPort& ports, int portIndex, const HomeDir& home) {
  UnattendedPrompts prompts{&std::cerr};
  std::ostringstream quiet;  // configuration messages are not part of this report
  System sys(loop, ports, prompts, home, quiet);
  (void)sys.environment.LoadEnvironment();
  sys.console.StartClock();

  if (sys.connection.ConnectController(portIndex) != kConnectOk) {
    const auto& messages = sys.link.View().Msg_list.Items();
    if (sys.link.OpenError != 0 && !messages.empty()) {
      std::cerr << "status: " << messages.back() << "\n";  // the port itself said no
    } else {
      std::cerr << "status: " << sys.link.View().Status_lab.Caption();
      if (!messages.empty()) std::cerr << ": " << messages.back();
      std::cerr << "\n";
    }
    return 1;
  }
  auto ready = [&] {
    return sys.report.VersionSeen && !sys.console.State.Initialising && !sys.console.State.InitRequested &&
           (sys.report.StateByte & 0x01) == 0 && sys.polling.BufferFresh;
  };
  if (!loop.WaitUntil(ready, kReadyWaitMs)) {
    std::cerr << "status: the controller did not become ready: " << sys.console.View.Running.Caption() << "\n";
    sys.connection.Stop_usbClick();
    return 1;
  }
  const int64_t settleUntil = loop.NowUs() + kSettleMs * 1000;
  (void)loop.WaitUntil([&] { return loop.NowUs() >= settleUntil; }, kSettleMs + 100);

  const ControllerReport& r = sys.report;
  std::cout << "Port:             " << PortLabel(ports, portIndex) << "\n"
            << "Identity:         " << sys.link.View().Usb_version_lab.Caption() << "\n"
            << "Firmware version: " << r.FirmwareVersion << "\n"
            << "Speed steps:      " << r.SpeedSteps << "\n"
            << "Buffer size:      " << r.BufferSize << "\n"
            << "Position (steps): X " << r.X << "  Y " << r.Y << "  Z " << r.Z << "  W " << r.W << "\n"
            << "Inputs:           " << InputsString(r.Inputs) << "\n"
            << "State:            " << MachineStateText(sys.status.State()) << " (" << sys.console.View.Running.Caption()
            << ")\n";
  sys.connection.Stop_usbClick();
  return 0;
}

int RunStatus(const StatusArgs& args, const CliContext& context) {
  const HomeDir home = context.Home();
  if (args.simulator) {
    // In-process, on virtual time: the simulated controller has no wall clock to keep.
    VirtualEventLoop loop(std::chrono::system_clock::now());
    sim::SimOptions options;
    options.firmware = args.firmware;
    sim::SimController controller(loop, options);
    InProcessSerialPort ports(loop, controller);
    return Report(loop, ports, kFirstDevicePort, home);
  }
  if (args.port.empty()) {
    std::cerr << "status: give --port DEV or --simulator\n";
    return 2;
  }
  RealTimeEventLoop loop;
  PosixSerialPorts ports;
  const int index = ports.AddDevicePath(args.port);
  return Report(loop, ports, index, home);
}

}  // namespace

// Registers "status [--port DEV | --simulator] [--firmware N]".
void RegisterStatusCommand(CommandTable& commands) {
  auto args = std::make_shared<StatusArgs>();
  CLI::App* sub = commands.Add("status", "Connect to the controller, let it initialise and print what it reports",
                               [args](const CliContext& context) { return RunStatus(*args, context); });
  auto* port = sub->add_option("--port", args->port, "Serial device of the controller, e.g. /dev/ttyUSB0");
  auto* simulator = sub->add_flag("--simulator", args->simulator, "Use the simulated controller in-process");
  port->excludes(simulator);
  sub->add_option("--firmware", args->firmware, "Firmware of the simulated controller (below 100: 8-bit)")
      ->check(CLI::Range(1, 255))
      ->capture_default_str();
}

}  // namespace wendlar::cli
