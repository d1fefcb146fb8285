// Stop latency in real time: from a stop request (a signal's flag set by another thread, or
// a STOP press taken up by the loop) to the stop record reaching the simulated controller,
// while a job streams long feeds; and how many records that move the machine the controller
// took after the request (the goal is none). Prints p50, p99, p99.9 and the maximum.
//
//   bench_stop_latency [--trials N] [--kind signal|button|both]
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "core/RealTimeEventLoop.h"
#include "link/Commands.h"
#include "link/serial/InProcessSerialPort.h"
#include "sim/SimController.h"
#include "system/System.h"

namespace wendlar {
namespace {

class NoPrompts : public Prompts {
 public:
  void Warning(const std::string&) override {}
  bool AskYesCancel(const std::string&) override { return true; }
  bool AskYesNo(const std::string&) override { return false; }
  std::optional<std::string> OpenFile(const FileDialog&) override { return std::nullopt; }
  std::optional<std::string> SaveFile(const FileDialog&) override { return std::nullopt; }
  std::optional<std::string> BrowseDirectory(const std::string&, const std::string&) override { return std::nullopt; }
};

std::string ZigZag() {
  std::string text = "G20 G90\nG0 Z0.1\nM3\nG1 Z-0.01 F30\n";
  for (int i = 0; i < 120; ++i) text += i % 2 == 0 ? "G1 X30 F200\n" : "G1 X0\n";
  return text + "G0 Z0.1\nM5\n";
}

double Percentile(std::vector<double> v, double p) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  const size_t i = std::min(v.size() - 1, static_cast<size_t>(p / 100.0 * static_cast<double>(v.size())));
  return v[i];
}

struct Result {
  std::vector<double> latencyMs;
  int motionAfter = 0;
  int missing = 0;
};

Result Measure(bool signal, int trials) {
  const auto home = std::filesystem::temp_directory_path() / ("wendlar-stop-bench-" + std::to_string(getpid()));
  std::filesystem::create_directories(home);
  RealTimeEventLoop loop;
  sim::SimOptions options;
  options.traceLimit = 20000;
  sim::SimController sim(loop, options);
  InProcessSerialPort port(loop, sim, kFirstDevicePort);
  NoPrompts prompts;
  std::ostringstream out;
  System sys(loop, port, prompts, HomeDir(home), out);
  std::atomic<bool> flag{false};
  sys.flags.StopSignal = &flag;
  sys.console.StartClock();
  Result result;
  if (sys.connection.ConnectController(kFirstDevicePort) != kConnectOk ||
      !loop.WaitUntil([&] { return sys.console.View.Progress.Caption() == "Ready" && !sys.console.State.Initialising; },
                      60000)) {
    std::fprintf(stderr, "the simulated controller did not come up\n");
    return result;
  }
  {
    std::ofstream(home / "job.nc") << ZigZag();
  }
  sys.consoleSettings.ChooseJobMode(2);
  std::mt19937 random(12345);
  std::uniform_int_distribution<int> delayMs(30, 700);

  // The operator's press, taken up by the loop within a millisecond as a window's click
  // would be at the next pass of its event loop.
  std::atomic<bool> pressed{false};
  auto button = loop.CreateTimer(1, true, [&] {
    if (pressed.exchange(false)) sys.run.EmergencyStop();
  });
  // The command line's watch on the signal's flag, with the same interval.
  bool signalHandled = false;
  auto signalWatch = loop.CreateTimer(2, true, [&] {
    if (flag && !signalHandled) {
      signalHandled = true;
      sys.run.EmergencyStop();
    }
  });

  for (int t = 0; t < trials; ++t) {
    flag = false;
    signalHandled = false;
    if (!sys.run.PrepareGcodeFile((home / "job.nc").string())) break;
    std::atomic<int64_t> requestUs{-1};
    const int delay = delayMs(random);
    bool started = false;
    std::thread requester;
    auto starter = loop.CreateTimer(1, true, [&] {
      if (started || !sys.console.State.JobActive) return;
      started = true;
      requester = std::thread([&, delay] {
        std::this_thread::sleep_for(std::chrono::milliseconds(delay));
        requestUs = loop.NowUs();
        (signal ? flag : pressed) = true;
      });
    });
    sys.run.RunJob();
    (void)loop.WaitUntil([&] { return requestUs >= 0 && !sys.console.State.JobActive; }, 30000);
    if (requester.joinable()) requester.join();
    (void)loop.WaitUntil([&] { return !sys.console.State.JobActive; }, 5000);
    loop.WaitUntil([] { return false; }, 100);

    int64_t stopUs = -1;
    for (const auto& r : sim.TraceRecords()) {
      if (r.timeUs < requestUs || !r.accepted) continue;
      if (r.bytes[0] == commands::kStop && stopUs < 0) stopUs = r.timeUs;
      if (commands::MovesMachine(CommandRecord(r.bytes[0], {r.bytes[1], r.bytes[2], r.bytes[3], r.bytes[4],
                                                            r.bytes[5], r.bytes[6], r.bytes[7], r.bytes[8],
                                                            r.bytes[9], r.bytes[10]}))) {
        ++result.motionAfter;
      }
    }
    if (stopUs < 0) {
      ++result.missing;
    } else {
      result.latencyMs.push_back(static_cast<double>(stopUs - requestUs) / 1000.0);
    }
    sim.ClearTrace();
  }
  std::filesystem::remove_all(home);
  return result;
}

void Report(const char* kind, const Result& r) {
  std::printf("%-7s trials %zu  p50 %.2f ms  p99 %.2f ms  p99.9 %.2f ms  max %.2f ms  motion records after the request %d  no stop %d\n",
              kind, r.latencyMs.size(), Percentile(r.latencyMs, 50), Percentile(r.latencyMs, 99),
              Percentile(r.latencyMs, 99.9), r.latencyMs.empty() ? 0.0 : *std::max_element(r.latencyMs.begin(), r.latencyMs.end()),
              r.motionAfter, r.missing);
}

}  // namespace
}  // namespace wendlar

int main(int argc, char** argv) {
  int trials = 200;
  std::string kind = "both";
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--trials") == 0) trials = std::max(1, std::atoi(argv[i + 1]));
    if (std::strcmp(argv[i], "--kind") == 0) kind = argv[i + 1];
  }
  if (kind == "signal" || kind == "both") wendlar::Report("signal", wendlar::Measure(true, trials));
  if (kind == "button" || kind == "both") wendlar::Report("button", wendlar::Measure(false, trials));
  return 0;
}
