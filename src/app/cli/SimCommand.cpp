// `wendlar-cli sim`: the simulated controller on a pseudo-terminal until interrupted, with
// faults from the command line or standard input and an optional trace file.
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <memory>

#include "app/cli/CliCommands.h"
#include "sim/SimFaultSchedule.h"
#include "sim/SimPtyServer.h"

namespace wendlar::cli {

namespace {

// A signal handler can reach nothing else; only this flag is shared with it.
std::atomic<bool> gSimStop{false};

void OnSignal(int) { gSimStop.store(true); }

struct SimArgs {
  sim::SimOptions options;
  std::vector<std::string> faults;  // KIND@SECONDS
  std::string tracePath;
};

int64_t SteadyUs() {
  return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// Fault lines typed or piped on standard input, read without ever blocking the line.
class ControlChannel {
 public:
  // Complete lines that have arrived; none once standard input has ended.
  std::vector<std::string> Lines() {
    std::vector<std::string> lines;
    while (open_) {
      pollfd p{STDIN_FILENO, POLLIN, 0};
      if (poll(&p, 1, 0) <= 0 || !(p.revents & (POLLIN | POLLHUP))) break;
      char buffer[512];
      const ssize_t n = read(STDIN_FILENO, buffer, sizeof buffer);
      if (n < 0 && (errno == EINTR || errno == EAGAIN)) break;
      if (n <= 0) {
        open_ = false;  // ended or unreadable: the simulator goes on without it
        break;
      }
      pending_.append(buffer, static_cast<size_t>(n));
      // A line of this length is no fault line: drop it rather than grow without end.
      if (pending_.size() > 4096 && pending_.find('\n') == std::string::npos) pending_.clear();
    }
    for (size_t end; (end = pending_.find('\n')) != std::string::npos;) {
      std::string line = pending_.substr(0, end);
      pending_.erase(0, end + 1);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (line.find_first_not_of(" \t") != std::string::npos) lines.push_back(line);
    }
    return lines;
  }

 private:
  bool open_ = true;
  std::string pending_;
};

// Copies the controller's trace to the file as it grows: seconds since start, "in" for what
// the host sent, "out" for the replies. Flushed at every batch so a killed simulator leaves
// everything up to its last reply.
void WriteTrace(sim::SimController& controller, std::ofstream& file) {
  const auto& lines = controller.TraceLines();
  if (lines.empty()) return;
  char stamp[32];
  for (const auto& l : lines) {
    std::snprintf(stamp, sizeof stamp, "%.6f", static_cast<double>(l.timeUs) / 1e6);
    file << stamp << (l.fromHost ? " in  " : " out ") << l.text << '\n';
  }
  file.flush();
  controller.ClearTrace();
}

int ServeSimulator(const SimArgs& args) {
  sim::SimOptions served = args.options;
  served.traceLimit = 10000;  // a server may run for hours: keep only the recent trace
  sim::SimPtyServer server(served);
  sim::SimFaultSchedule faults(server.Controller());
  const int64_t startUs = SteadyUs();
  std::string error;
  for (const auto& timedFault : args.faults) {
    if (!faults.AddTimed(timedFault, startUs, error)) {
      std::cerr << "sim: --fault " << error << "\n";
      return 1;
    }
  }
  std::ofstream trace;
  if (!args.tracePath.empty()) {
    trace.open(args.tracePath, std::ios::out | std::ios::trunc);
    if (!trace) {
      std::cerr << "sim: cannot write the trace " << args.tracePath << ": " << std::strerror(errno) << "\n";
      return 1;
    }
  }
  if (!server.Open(error)) {
    std::cerr << "sim: " << error << "\n";
    return 1;
  }
  gSimStop.store(false);
  std::signal(SIGINT, OnSignal);
  std::signal(SIGTERM, OnSignal);
  std::cout << server.DevicePath() << std::endl;
  std::cerr << "Simulated controller, firmware " << args.options.firmware << ", identity " << args.options.identity
            << "; interrupt to stop." << std::endl;
  ControlChannel control;
  // A fault shows in the trace between the lines before it and the lines after it.
  auto note = [&](const std::string& what) {
    std::cerr << "sim: " << what << std::endl;
    if (trace.is_open()) trace << "-- " << what << std::endl;
  };
  server.Serve(gSimStop, [&] {
    const int64_t nowUs = SteadyUs();
    if (trace.is_open()) WriteTrace(server.Controller(), trace);
    for (const auto& line : control.Lines()) {
      if (faults.ApplyLine(line, nowUs, error)) {
        note(line);
      } else {
        std::cerr << "sim: " << error << std::endl;
      }
    }
    for (const auto& applied : faults.Run(nowUs)) note(applied);
  });
  if (trace.is_open()) WriteTrace(server.Controller(), trace);
  return 0;
}

}  // namespace

void RegisterSimCommand(CommandTable& commands) {
  auto args = std::make_shared<SimArgs>();
  CLI::App* sub = commands.Add("sim", "Serve the simulated controller on a pseudo-terminal until interrupted",
                               [args](const CliContext&) { return ServeSimulator(*args); });
  sub->add_option("--firmware", args->options.firmware,
                  "Firmware version: below 100 the 8-bit controller, from 100 the 32-bit one")
      ->check(CLI::Range(1, 255))
      ->capture_default_str();
  sub->add_option("--identity", args->options.identity, "Answer to the identity request")->capture_default_str();
  sub->add_flag("--plasma", args->options.plasma, "Torch-height inputs instead of door and servo lines");
  sub->add_option("--fault", args->faults,
                  "KIND@SECONDS: a fault that long after start (door, overtravel, stop-button, servo, checksum, "
                  "reset, silence:N, garble:N, e1, dead); repeatable. Standard input takes the same as lines "
                  "\"fault KIND [ARG]\" and \"clear KIND\" while it runs");
  sub->add_option("--trace", args->tracePath, "Write every line in and out, with its time, to this file");
}

}  // namespace wendlar::cli
