#include "support/SimSystem.h"

namespace wendlar::testing {

void WrongHandshakeDevice::Write(std::string_view bytes, std::string& reply) {
  std::string inner;
  inner_.Write(bytes, inner);
  if (inner.rfind("US", 0) == 0 && inner.size() > 3) inner[3] = mark_;
  reply += inner;
}

sim::SimOptions ProbeSurfaceOptions() {
  sim::SimOptions o;
  sim::SimWorld& w = o.world;
  w.stockSlopeX = 0.02;
  w.stockSlopeY = -0.01;
  w.bumpX = 47000;
  w.bumpY = 47000;
  w.bumpRadius = 3000;
  w.bumpHeight = 300;
  w.padMinX = w.padMaxX = w.padMinY = w.padMaxY = 200000;
  return o;
}

SimSystem::SimSystem(sim::SimOptions options) : sim(loop, std::move(options)) {
  port.Attach(kSimPort, sim);
  sys = std::make_unique<System>(loop, port, prompts, HomeDir(dir.Path()), out);
  // A background estimate of every loaded job would double the work of every job test;
  // the job clock's own tests switch it on.
  sys->jobClock.SetEnabled(false);
  sys->console.StartClock();
}

bool SimSystem::Connect() { return sys->connection.ConnectController(kSimPort) == kConnectOk; }

bool SimSystem::ConnectAndInitialise() {
  if (!Connect()) return false;
  // The first not-initialised report requests the sequence; the Task timer runs it.
  return RunUntil([&] { return sys->console.View.Progress.Caption() == "Ready" && !sys->console.State.Initialising; },
                  30000);
}

bool SimSystem::RunUntil(const std::function<bool()>& done, int64_t maxMs) { return loop.WaitUntil(done, maxMs); }

std::vector<std::array<uint8_t, 11>> SimSystem::Records(size_t from) const {
  std::vector<std::array<uint8_t, 11>> out;
  size_t i = 0;
  for (const auto& r : sim.TraceRecords()) {
    if (i++ >= from && r.accepted) out.push_back(r.bytes);
  }
  return out;
}

std::vector<std::string> SimSystem::HostLines(size_t from) const {
  std::vector<std::string> lines;
  size_t i = 0;
  for (const auto& l : sim.TraceLines()) {
    if (i++ >= from && l.fromHost) lines.push_back(l.text);
  }
  return lines;
}

}  // namespace wendlar::testing
