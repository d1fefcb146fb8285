// `wendlar-cli sim`: the simulated controller on a pseudo-terminal until interrupted.
#include <atomic>
#include <csignal>
#include <iostream>
#include <memory>

#include "app/cli/CliCommands.h"
#include "sim/SimPtyServer.h"

namespace wendlar::cli {

namespace {

// A signal handler can reach nothing else; only this flag is shared with it.
std::atomic<bool> gSimStop{false};

void OnSignal(int) { gSimStop.store(true); }

int ServeSimulator(const sim::SimOptions& options) {
  sim::SimOptions served = options;
  served.traceLimit = 10000;  // a server may run for hours: keep only the recent trace
  sim::SimPtyServer server(served);
  std::string error;
  if (!server.Open(error)) {
    std::cerr << "sim: " << error << "\n";
    return 1;
  }
  gSimStop.store(false);
  std::signal(SIGINT, OnSignal);
  std::signal(SIGTERM, OnSignal);
  std::cout << server.DevicePath() << std::endl;
  std::cerr << "Simulated controller, firmware " << options.firmware << ", identity " << options.identity
            << "; interrupt to stop." << std::endl;
  server.Serve(gSimStop);
  return 0;
}

}  // namespace

void RegisterSimCommand(CommandTable& commands) {
  auto options = std::make_shared<sim::SimOptions>();
  CLI::App* sub = commands.Add("sim", "Serve the simulated controller on a pseudo-terminal until interrupted",
                               [options](const CliContext&) { return ServeSimulator(*options); });
  sub->add_option("--firmware", options->firmware,
                  "Firmware version: below 100 the 8-bit controller, from 100 the 32-bit one")
      ->check(CLI::Range(1, 255))
      ->capture_default_str();
  sub->add_option("--identity", options->identity, "Answer to the identity request")->capture_default_str();
  sub->add_flag("--plasma", options->plasma, "Torch-height inputs instead of door and servo lines");
}

}  // namespace wendlar::cli
