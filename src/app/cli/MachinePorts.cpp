#include "app/cli/MachinePorts.h"

#include <chrono>

#include "core/RealTimeEventLoop.h"
#include "core/VirtualEventLoop.h"
#include "link/serial/InProcessSerialPort.h"
#include "link/serial/PosixSerialPorts.h"

namespace wendlar::cli {

namespace {
// Trace entries the simulated controller keeps during a run (a few hundred kilobytes).
constexpr size_t kSimTraceLimit = 2000;
}  // namespace

void MachinePorts::Open(bool simulator, bool fast, const std::string& device) {
  if (fast) {
    // Simulated time, but fault-history lines carry the real date and time.
    loop = std::make_unique<VirtualEventLoop>(std::chrono::system_clock::now());
  } else {
    loop = std::make_unique<RealTimeEventLoop>();
  }
  portIndex = kFirstDevicePort;
  if (simulator) {
    // The trace is only for tests and diagnosis; a long job must not keep every line.
    sim::SimOptions options;
    options.traceLimit = kSimTraceLimit;
    sim = std::make_unique<sim::SimController>(*loop, options);
    auto port = std::make_unique<InProcessSerialPort>(*loop);
    port->Attach(portIndex, *sim, "simulated controller");
    ports = std::move(port);
  } else {
    auto port = std::make_unique<PosixSerialPorts>();
    portIndex = port->AddDevicePath(device);
    ports = std::move(port);
  }
}

}  // namespace wendlar::cli
