// `wendlar-cli replay FILE`: the controller's side of a session record (`run --record`) on a
// pseudo-terminal, so that a host run against it meets the recorded replies without a machine.
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>

#include "app/cli/CliCommands.h"
#include "link/serial/SessionRecord.h"
#include "sim/SimPtyServer.h"

namespace wendlar::cli {

namespace {

// A signal handler can reach nothing else; only this flag is shared with it.
std::atomic<bool> gReplayStop{false};

void OnReplaySignal(int) { gReplayStop.store(true); }

int ServeReplay(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::cerr << "replay: cannot read " << path << ": " << std::strerror(errno) << "\n";
    return 2;
  }
  std::ostringstream text;
  text << in.rdbuf();
  std::string error;
  auto exchanges = ReadSessionRecord(text.str(), error);
  if (!exchanges) {
    std::cerr << "replay: " << path << " is not a session record: " << error << "\n";
    return 2;
  }
  const size_t recorded = exchanges->size();
  SessionReplay replay(std::move(*exchanges), [](const std::string& what) { std::cerr << "replay: " << what << std::endl; });
  sim::SimPtyServer server(replay);
  if (!server.Open(error)) {
    std::cerr << "replay: " << error << "\n";
    return 2;
  }
  gReplayStop.store(false);
  std::signal(SIGINT, OnReplaySignal);
  std::signal(SIGTERM, OnReplaySignal);
  std::cout << server.DevicePath() << std::endl;
  std::cerr << "Replaying " << recorded << " recorded host lines of " << path << "; interrupt to stop." << std::endl;
  server.Serve(gReplayStop);
  std::cerr << "replay: " << replay.Answered() << " host lines answered, " << replay.Departures()
            << (replay.Departures() == 1 ? " departure" : " departures") << " from the recording, " << replay.Left()
            << " recorded host lines not reached" << std::endl;
  return replay.Departures() == 0 ? 0 : 1;
}

}  // namespace

void RegisterReplayCommand(CommandTable& commands) {
  auto path = std::make_shared<std::string>();
  CLI::App* sub = commands.Add(
      "replay", "Play the controller's side of a session record (run --record) on a pseudo-terminal until interrupted",
      [path](const CliContext&) { return ServeReplay(*path); });
  sub->add_option("file", *path, "The session record")->required();
}

}  // namespace wendlar::cli
