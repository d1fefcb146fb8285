// The loop and serial ports of a command that talks to a machine: a device path, or the
// simulated controller in-process on real or simulated time.
#pragma once

#include <memory>
#include <string>

#include "core/EventLoop.h"
#include "link/serial/SerialPort.h"
#include "sim/SimController.h"

namespace wendlar::cli {

struct MachinePorts {
  std::unique_ptr<EventLoop> loop;
  std::unique_ptr<sim::SimController> sim;  // only with the simulator
  std::unique_ptr<SerialPort> ports;
  int portIndex = kFirstDevicePort;  // where the controller is

  // With `simulator` the controller runs in-process (on simulated time when `fast`, whose
  // wall clock still starts at the real date and time); otherwise `device` is opened.
  void Open(bool simulator, bool fast, const std::string& device);
};

}  // namespace wendlar::cli
