// The console's hidden Diag menu: raw controller commands for service work.
#pragma once

#include <functional>
#include <string>

#include "config/MachineConfig.h"
#include "console/CommandSender.h"
#include "console/ConsoleState.h"
#include "console/Initialisation.h"
#include "console/Outputs.h"

namespace wendlar {

class DiagMenu {
 public:
  // `readTable` reads the controller's speed table back (false when it failed).
  DiagMenu(CommandSender& sender, ConsoleState& state, ConfigState& config, Outputs& outputs,
           Initialisation& initialisation, std::function<bool()> readTable)
      : sender_(sender),
        state_(state),
        config_(config),
        outputs_(outputs),
        initialisation_(initialisation),
        readTable_(std::move(readTable)) {}

  // "Reset OVT" and "Initiallize Pic": the reset record.
  void ResetClick();
  // "Clear buffer": empties the controller's ring buffer.
  void ClearBufferClick();
  // "Spindle Start", "Spindle Off", "Set Spindle1", "Set Spindle2".
  void SpindleStartClick();
  void SpindleOffClick();
  void SetSpindleClick(int output);
  // "Aux1" > "On" / "Off".
  void Aux1Click(bool on);
  // "Build Table": the controller builds its speed table.
  void BuildTableClick();
  // "Load Table": reads the table back; refused while a long operation runs.
  bool LoadTableClick();
  // "Send Accell_params": the acceleration parameters with the single-axis limit value.
  void SendAccelParamsClick();
  // "Enable timer": the link timer polls again; only on a connected controller.
  bool EnableTimerClick();
  // "Stop Timer": holds the link timer (the connection window's stop_timer); refused while
  // a job or another operation needs the polling.
  bool StopTimerClick();

  // Where the entries say why they refused (the console's message list).
  std::function<void(const std::string&)> Message;

 private:
  CommandSender& sender_;
  ConsoleState& state_;
  ConfigState& config_;
  Outputs& outputs_;
  Initialisation& initialisation_;
  std::function<bool()> readTable_;
};

}  // namespace wendlar
