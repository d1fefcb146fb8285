// System: the one object that owns the controller program's state and wires the modules.
#pragma once

#include <iosfwd>

#include "config/ConfigFile.h"
#include "config/MachineConfig.h"
#include "console/CommandSender.h"
#include "console/Console.h"
#include "core/EventLoop.h"
#include "core/HomeDir.h"
#include "core/Prompts.h"
#include "core/RunFlags.h"
#include "link/Link.h"
#include "link/serial/SerialPort.h"

namespace wendlar {

// The GUI creates one; every test creates a fresh one. Two may live side by side: there is
// no global state. The loop, the ports and the prompts are the seams the caller chooses.
class System : private LinkConsole, private LinkPoller, private ConfigEvents {
 public:
  System(EventLoop& loop, SerialPort& ports, Prompts& prompts, HomeDir home, std::ostream& out);
  System(const System&) = delete;
  System& operator=(const System&) = delete;
  ~System() override;

  EventLoop& loop;
  SerialPort& ports;
  Prompts& prompts;
  HomeDir home;
  std::ostream& out;  // the program's standard-output lines

  RunFlags flags;
  ConfigState config;
  Link link;
  Console console;
  CommandSender sender;

  // Where configuration loading and saving report.
  ConfigIo ConfigOutput() { return ConfigIo{home, *this, out}; }

 private:
  // LinkConsole
  void ControllerOffline() override;
  void SetBufferGaugeColor(Color color) override;
  // LinkPoller: counts link ticks for WaitPolls.
  void OnLinkTick(bool recordSent) override;
  // ConfigEvents
  void ShowProgress(const std::string& text) override;
  void ShowMessage(const std::string& text) override;
  void RefreshDialog() override;
};

}  // namespace wendlar
