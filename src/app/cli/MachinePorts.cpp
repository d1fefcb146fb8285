#include "app/cli/MachinePorts.h"

#include <chrono>

#include "core/RealTimeEventLoop.h"
#include "core/VirtualEventLoop.h"
#include "link/serial/InProcessSerialPort.h"
#include "link/serial/PosixSerialPorts.h"

namespace wendlar::cli {

void MachinePorts::Open(bool simulator, bool fast, const std::string& device) {
  if (fast) {
    // Simulated time, but fault-history lines carry the real date and time.
    loop = std::make_unique<VirtualEventLoop>(std::chrono::system_clock::now());
  } else {
    loop = std::make_unique<RealTimeEventLoop>();
  }
  portIndex = kFirstDevicePort;
  if (simulator) {
    sim = std::make_unique<sim::SimController>(*loop);
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
