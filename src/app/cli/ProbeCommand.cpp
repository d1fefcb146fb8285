// `wendlar-cli probe`, `probe-dxf`, `touch-off` and `corner`: the digitiser scan with its
// files, the conversion of an existing point file, and the two touch-pad routines.
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <string>

#include "app/cli/CliCommands.h"
#include "app/cli/MachinePorts.h"
#include "config/ConfigFile.h"
#include "core/Numbers.h"
#include "sim/SimController.h"
#include "system/System.h"
#include "tools/ProbeFiles.h"

namespace wendlar::cli {

namespace {

struct MachineOptions {
  std::string port;
  bool simulator = false;
  bool fast = false;
  bool yes = false;
  std::optional<double> pad;
  std::optional<int> seekVel;
};

struct ProbeOptions {
  MachineOptions machine;
  double xSize = 1.0, ySize = 1.0, pitch = 0.05;
  int xyVel = 18, zVel = 18;
  std::string dxf, q3d;
};

struct ConvertOptions {
  std::string input, output, q3d;
};

std::atomic<bool> gInterrupt{false};
void OnInterrupt(int) { gInterrupt.store(true); }

constexpr int64_t kInitialiseWaitMs = 60000;
constexpr int kSignalWatchMs = 2;

// Only yes/no questions are asked here; without a terminal the answer is No.
class TerminalPrompts : public Prompts {
 public:
  explicit TerminalPrompts(bool yes) : yes_(yes) {}
  void Warning(const std::string& text) override { std::cerr << "\nwarning: " << text << std::endl; }
  bool AskYesCancel(const std::string& text) override { return Ask(text); }
  bool AskYesNo(const std::string& text) override { return Ask(text); }
  std::optional<std::string> OpenFile(const FileDialog&) override { return std::nullopt; }
  std::optional<std::string> SaveFile(const FileDialog&) override { return std::nullopt; }
  std::optional<std::string> BrowseDirectory(const std::string&, const std::string&) override { return std::nullopt; }

 private:
  bool Ask(const std::string& text) const {
    std::cerr << text << " [y/N] " << std::flush;
    if (yes_) {
      std::cerr << "y (--yes)" << std::endl;
      return true;
    }
    if (!isatty(STDIN_FILENO)) {
      std::cerr << "n (no terminal; give --yes)" << std::endl;
      return false;
    }
    std::string answer;
    return std::getline(std::cin, answer) && !answer.empty() && (answer[0] == 'y' || answer[0] == 'Y');
  }
  bool yes_;
};

// A connected, initialised System on the chosen port, with Ctrl+C taking the stop path.
class MachineSession {
 public:
  MachineSession(const MachineOptions& options, const CliContext& context, const char* name)
      : options_(options), context_(context), name_(name), prompts_(options.yes) {}
  ~MachineSession() { signal(SIGINT, SIG_DFL); }

  // Connects and initialises; prints why not and returns false when it could not.
  bool Open() {
    if (!options_.simulator && options_.port.empty()) {
      std::cerr << name_ << ": give --port DEVICE or --simulator\n";
      return false;
    }
    gInterrupt.store(false);
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    action.sa_flags = SA_RESETHAND;
    sigaction(SIGINT, &action, nullptr);
    MachinePorts machine;
    machine.Open(options_.simulator, options_.fast, options_.port);
    loop_ = std::move(machine.loop);
    sim_ = std::move(machine.sim);
    ports_ = std::move(machine.ports);
    sys_ = std::make_unique<System>(*loop_, *ports_, prompts_, context_.Home(), std::cout);
    System& sys = *sys_;
    sys.flags.StopSignal = &gInterrupt;
    if (std::filesystem::exists(sys.home.Resolve(kEnvironmentFile))) (void)sys.environment.LoadEnvironment();
    if (options_.pad) sys.config.Config.Tpad_Size = *options_.pad;
    if (options_.seekVel) sys.config.Config.TP_Seek_vel = static_cast<uint16_t>(*options_.seekVel);
    sys.console.StartClock();
    signalWatch_ = loop_->CreateTimer(kSignalWatchMs, true, [this] {
      if (!gInterrupt.load() || interrupted_) return;
      interrupted_ = true;
      std::cerr << "\nInterrupted: stopping the machine." << std::endl;
      sys_->run.EmergencyStop();
    });
    std::cerr << "Connecting to " << (options_.simulator ? "the simulated controller" : options_.port) << "..."
              << std::endl;
    if (sys.connection.ConnectController(machine.portIndex) != kConnectOk) {
      std::cerr << name_ << ": no controller answered\n";
      return false;
    }
    const bool ready = loop_->WaitUntil(
        [&] {
          return (sys.console.View.Progress.Caption() == "Ready" && !sys.console.State.Initialising) ||
                 gInterrupt.load();
        },
        kInitialiseWaitMs);
    if (!ready || gInterrupt.load()) {
      std::cerr << name_ << ": the controller was not initialised\n";
      return false;
    }
    return true;
  }

  System& Sys() { return *sys_; }
  EventLoop& Loop() { return *loop_; }
  Prompts& Ask() { return prompts_; }
  bool Interrupted() const { return interrupted_; }

 private:
  const MachineOptions& options_;
  const CliContext& context_;
  const char* name_;
  TerminalPrompts prompts_;
  std::unique_ptr<EventLoop> loop_;
  std::unique_ptr<sim::SimController> sim_;
  std::unique_ptr<SerialPort> ports_;
  std::unique_ptr<System> sys_;
  std::unique_ptr<Timer> signalWatch_;
  bool interrupted_ = false;
};

void AddMachineOptions(CLI::App* sub, MachineOptions& o) {
  auto* port = sub->add_option("--port", o.port, "Serial device of the controller");
  sub->add_flag("--simulator", o.simulator, "Use the simulated controller")->excludes(port);
  sub->add_flag("--fast", o.fast, "With --simulator: run on simulated time");
  sub->add_option("--pad", o.pad, "Touch pad thickness in user units (default: the machine file's)");
  sub->add_option("--seek-vel", o.seekVel, "Touch pad seek velocity (default: the machine file's)")
      ->check(CLI::Range(1, 255));
}

std::string Clock(int64_t seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%02lld:%02lld", static_cast<long long>(seconds / 60),
                static_cast<long long>(seconds % 60));
  return text;
}

// The file conversions of a finished scan or of a given point file; 0 when all were written.
int WriteOutputs(const HomeDir& home, const std::string& dxf, const std::string& q3d) {
  int rc = 0;
  if (!q3d.empty()) {
    const ConversionResult r = SaveFacets(home, q3d);
    std::cout << (r.ok ? "Wrote " + q3d + ": " + std::to_string(r.facets) + " facets" : r.error) << "\n";
    rc = r.ok ? rc : 1;
  }
  if (!dxf.empty()) {
    const ConversionResult r = SaveDxf(home, dxf);
    std::cout << (r.ok ? "Wrote " + dxf + ": " + std::to_string(r.facets) + " 3DFACE entities" : r.error) << "\n";
    rc = r.ok ? rc : 1;
  }
  return rc;
}

std::string Absolute(const std::string& name) {
  return name.empty() ? name : std::filesystem::absolute(name).string();
}

int RunProbe(const ProbeOptions& o, const CliContext& context) {
  MachineSession session(o.machine, context, "probe");
  if (!session.Open()) return 2;
  System& sys = session.Sys();
  TProbeBox& probe = sys.probe;
  probe.View.Xsize.SetCaption(FormatFixed(o.xSize, 3));
  probe.View.Ysize.SetCaption(FormatFixed(o.ySize, 3));
  probe.View.Grid_size.SetCaption(FormatFixed(o.pitch, 3));
  probe.View.XYvel.SetPosition(o.xyVel);
  probe.View.Zvel.SetPosition(o.zVel);
  const int64_t startUs = session.Loop().NowUs();
  probe.OnProgress = [&] {
    constexpr int kWidth = 30;
    const int total = std::max(probe.PointsTotal, 1);
    const int bar = probe.PointsDone * kWidth / total;
    const int64_t usedS = (session.Loop().NowUs() - startUs) / 1000000;
    const int64_t leftS = probe.PointsDone > 0 ? usedS * (total - probe.PointsDone) / probe.PointsDone : 0;
    std::string line = "[" + std::string(static_cast<size_t>(bar), '#') +
                       std::string(static_cast<size_t>(kWidth - bar), '-') + "] " + std::to_string(probe.PointsDone) +
                       "/" + std::to_string(probe.PointsTotal) + " points  " + Clock(leftS) + " left";
    if (isatty(STDOUT_FILENO)) {
      std::cout << "\r" << line << "   " << std::flush;
    } else if (probe.PointsDone == probe.PointsTotal || probe.PointsDone % 50 == 0) {
      std::cout << line << "\n";
    }
  };
  const bool complete = probe.StartProbe();
  std::cout << "\n" << probe.View.Status.Caption() << "\n";
  std::cout << "Points in " << sys.home.Resolve(kProbeFileName).string() << ": " << probe.PointsDone << "\n";
  if (!complete) return 1;
  return WriteOutputs(sys.home, Absolute(o.dxf), Absolute(o.q3d));
}

int RunConvert(const ConvertOptions& o) {
  // The point file is read where it lies; the conversion works in a scratch copy's folder.
  const std::filesystem::path input = std::filesystem::absolute(o.input);
  std::error_code ec;
  if (!std::filesystem::is_regular_file(input, ec)) {
    std::cerr << "probe-dxf: cannot read " << o.input << ": no such file\n";
    return 2;
  }
  const HomeDir source(input.parent_path());
  const auto points = source.ReadLines(input.filename().string());
  if (!points) {
    std::cerr << "probe-dxf: cannot read " << o.input << "\n";
    return 2;
  }
  std::vector<std::string> facets;
  const ConversionResult r = FacetsFromPoints(*points, facets);
  if (!r.ok) {
    std::cerr << "probe-dxf: " << r.error << "\n";
    return 1;
  }
  const HomeDir out(std::filesystem::current_path());
  std::string why;
  if (!o.q3d.empty() && !out.WriteLinesAtomic(Absolute(o.q3d), facets, &why)) {
    std::cerr << "probe-dxf: cannot create " << o.q3d << ": " << why << "\n";
    return 1;
  }
  int faces = 0;
  const auto dxf = DxfFromFacets(facets, &faces);
  if (!out.WriteLinesAtomic(Absolute(o.output), dxf, &why)) {
    std::cerr << "probe-dxf: cannot create " << o.output << ": " << why << "\n";
    return 1;
  }
  std::cout << "Wrote " << o.output << ": " << faces << " 3DFACE entities from rows of " << r.rowCount
            << " points\n";
  return 0;
}

int RunTouch(const MachineOptions& o, const CliContext& context, bool corner) {
  MachineSession session(o, context, corner ? "corner" : "touch-off");
  if (!session.Open()) return 2;
  System& sys = session.Sys();
  const char* question = corner ? "Find the stock corner with the touch pad, Are you sure ?"
                                : "Tool Touch off, Are you sure ?";
  if (!session.Ask().AskYesCancel(question)) {
    std::cout << "Nothing done.\n";
    return 1;
  }
  const bool ok = corner ? sys.touchOff.FindCorner() : sys.touchOff.ToolTouchOff();
  // The last moves were queued: let the position report catch up before printing it.
  (void)sys.sender.WaitPolls(6);
  const ConsoleState& s = sys.console.State;
  if (!ok) {
    std::cout << (corner ? "Corner search" : "Touch-off") << " ended: " << sys.touchOff.Failure() << "\n";
    return 1;
  }
  std::cout << (corner ? "Corner found" : "Touched off") << ": X " << FormatFixed(s.MachineX, 3) << " Y "
            << FormatFixed(s.MachineY, 3) << " Z " << FormatFixed(s.MachineZ, 3) << "\n";
  return 0;
}

}  // namespace

void RegisterProbeCommands(CommandTable& commands) {
  auto probe = std::make_shared<ProbeOptions>();
  CLI::App* sub = commands.Add("probe", "Scan a surface with the touch probe and write PROBE.TMP (and DXF/Q3D)",
                               [probe](const CliContext& c) { return RunProbe(*probe, c); });
  AddMachineOptions(sub, probe->machine);
  sub->add_option("--x-size", probe->xSize, "Size of the area in X, user units")->check(CLI::NonNegativeNumber);
  sub->add_option("--y-size", probe->ySize, "Size of the area in Y, user units")->check(CLI::NonNegativeNumber);
  sub->add_option("--pitch", probe->pitch, "Sample pitch, user units")->check(CLI::Range(0.01, 0.25));
  sub->add_option("--xy-speed", probe->xyVel, "XY probe speed")->check(CLI::Range(5, 60));
  sub->add_option("--z-speed", probe->zVel, "Z probe speed")->check(CLI::Range(5, 60));
  sub->add_option("--dxf", probe->dxf, "Write the surface as a DXF drawing");
  sub->add_option("--q3d", probe->q3d, "Write the surface as a facet file");

  auto convert = std::make_shared<ConvertOptions>();
  sub = commands.Add("probe-dxf", "Convert a probe point file (PROBE.TMP) into a DXF drawing",
                     [convert](const CliContext&) { return RunConvert(*convert); });
  sub->add_option("points", convert->input, "Probe point file")->required();
  sub->add_option("output", convert->output, "DXF file to write")->required();
  sub->add_option("--q3d", convert->q3d, "Also write the facet file");

  auto touch = std::make_shared<MachineOptions>();
  sub = commands.Add("touch-off", "Touch the tool on the touch pad and set Z",
                     [touch](const CliContext& c) { return RunTouch(*touch, c, false); });
  AddMachineOptions(sub, *touch);
  sub->add_flag("--yes", touch->yes, "Do not ask for confirmation");

  auto corner = std::make_shared<MachineOptions>();
  sub = commands.Add("corner", "Find the stock corner with the touch pad and set X, Y and Z",
                     [corner](const CliContext& c) { return RunTouch(*corner, c, true); });
  AddMachineOptions(sub, *corner);
  sub->add_flag("--yes", corner->yes, "Do not ask for confirmation");
}

}  // namespace wendlar::cli
