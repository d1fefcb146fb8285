// A whole System on virtual time, its serial port wired to the simulated controller.
#pragma once

#include <array>
#include <initializer_list>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "core/VirtualEventLoop.h"
#include "job/SpoolFile.h"
#include "link/serial/InProcessSerialPort.h"
#include "sim/SimController.h"
#include "support/ScriptedPrompts.h"
#include "support/TempDir.h"
#include "system/System.h"

namespace wendlar::testing {

// A port device that sends back every byte it is given (a loop-back plug, a modem echo).
class EchoDevice : public SerialDevice {
 public:
  void Write(std::string_view bytes, std::string& reply) override { reply.append(bytes); }
};

// Answers like the simulated controller, except that the handshake read-back carries `mark`
// as its fourth character (a controller whose wiring fails a handshake).
class WrongHandshakeDevice : public SerialDevice {
 public:
  WrongHandshakeDevice(sim::SimController& inner, char mark) : inner_(inner), mark_(mark) {}
  void Write(std::string_view bytes, std::string& reply) override;

 private:
  sim::SimController& inner_;
  char mark_;
};

// A tilted stock top with a bump in the middle of the inch in front of the power-up
// position, and the touch pad moved out of the way: what the digitiser tests scan.
sim::SimOptions ProbeSurfaceOptions();

// A spooler job of two rapids, the second to (1000, 2000), then a lowered cut and a raise:
// what the resume tests restart from its fourth record.
inline std::vector<SpoolRecord> ResumeSpoolJob() {
  return {{kSpoolBorder, 0, 0, 4000, 4000}, {kSpoolZLimits, -200, 100}, {kSpoolRapidXY, 4000, 4000},
          {kSpoolRapidXY, 1000, 2000},      {kSpoolLowerZ},             {kSpoolLinear, 2000, 2000, 200},
          {kSpoolZRaise}};
}

// A record as the simulated controller's trace holds it: code and b1..b10; missing bytes 0.
using Packet = std::array<uint8_t, 11>;
inline Packet P(std::initializer_list<uint8_t> bytes) {
  Packet p{};
  size_t i = 0;
  for (uint8_t b : bytes) {
    if (i < p.size()) p[i++] = b;
  }
  return p;
}

class SimSystem {
 public:
  // The controller sits on port index 2 (the operator's COM3).
  static constexpr int kSimPort = kFirstDevicePort;

  explicit SimSystem(sim::SimOptions options = {});

  // The connection sequence on the simulator's port; true when it connected.
  bool Connect();
  // Connects and lets the status reaction initialise the controller; true when "Ready".
  bool ConnectAndInitialise();
  void RunMs(int64_t ms) { loop.RunFor(ms); }
  // Pumps until done() or the time passes; true when done.
  bool RunUntil(const std::function<bool()>& done, int64_t maxMs);

  // Every packet the controller accepted, in order, from trace index `from` on.
  std::vector<std::array<uint8_t, 11>> Records(size_t from = 0) const;
  // The lines the host sent, from trace index `from` on.
  std::vector<std::string> HostLines(size_t from = 0) const;

  TempDir dir;
  VirtualEventLoop loop;
  sim::SimController sim;
  InProcessSerialPort port{loop};
  ScriptedPrompts prompts;
  std::ostringstream out;
  std::unique_ptr<System> sys;
};

}  // namespace wendlar::testing
