// The "sim" subcommand: the simulated controller on a pseudo-terminal until interrupted.
#include <CLI/CLI.hpp>

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <iostream>
#include <memory>

#include "sim/SimPtyServer.h"

namespace {

// A signal handler can reach nothing else; only this flag is shared with it.
std::atomic<bool> gSimStop{false};

void OnSignal(int) { gSimStop.store(true); }

int RunSim(const wendlar::sim::SimOptions& options) {
  wendlar::sim::SimOptions served = options;
  served.traceLimit = 10000;  // a server runs for hours: keep only the recent trace
  wendlar::sim::SimPtyServer server(served);
  std::string error;
  if (!server.Open(error)) {
    std::cerr << "sim: " << error << "\n";
    return 1;
  }
  std::signal(SIGINT, OnSignal);
  std::signal(SIGTERM, OnSignal);
  std::cout << server.DevicePath() << std::endl;
  std::cerr << "Simulated controller, firmware " << options.firmware << ", identity " << options.identity
            << "; interrupt to stop." << std::endl;
  server.Serve(gSimStop);
  return 0;
}

}  // namespace

// Registers "wendlar-cli sim [--firmware N] [--identity TEXT] [--plasma]".
void AddSimCommand(CLI::App& app) {
  auto options = std::make_shared<wendlar::sim::SimOptions>();
  CLI::App* sim = app.add_subcommand("sim", "Serve the simulated controller on a pseudo-terminal until interrupted");
  sim->add_option("--firmware", options->firmware,
                  "Firmware version: below 100 the 8-bit controller, from 100 the 32-bit one")
      ->check(CLI::Range(1, 255))
      ->capture_default_str();
  sim->add_option("--identity", options->identity, "Answer to the identity request")->capture_default_str();
  sim->add_flag("--plasma", options->plasma, "Torch-height inputs instead of door and servo lines");
  sim->callback([options] {
    const int rc = RunSim(*options);
    if (rc != 0) std::exit(rc);
  });
}
