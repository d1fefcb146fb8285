// What the manual-control modules (moves, jogging, homing, outputs, overrides) work with.
#pragma once

#include <functional>
#include <string>

#include "config/MachineConfig.h"
#include "console/CommandSender.h"
#include "console/Console.h"
#include "core/Prompts.h"
#include "core/RunFlags.h"
#include "motion/MotionPorts.h"
#include "motion/SegmentBuffer.h"
#include "motion/SpeedTables.h"

namespace wendlar {

// Answers and actions owned by other windows. Each may stay empty: the option then reads
// as unchecked and the action is skipped.
struct ManualHooks {
  std::function<bool()> HomeXNYP;            // the configuration dialog's Hm_XNYP box
  std::function<bool()> PlasmaMode;          // the environment's plasma mode
  std::function<void()> EnableLimits;        // controller option flags with limits on
  std::function<void()> OpenMaterialPicker;  // the plasma panel's Material button
  std::function<void()> CountJobMove;        // a move sent while a job is active
};

// References to the program's long-lived parts; System owns them all.
struct ManualContext {
  ConfigState& config;
  Console& console;
  CommandSender& sender;
  SpeedTables& tables;
  SegmentBuffer& segments;
  ControllerBuffer& buffer;
  Prompts& prompts;
  RunFlags& flags;
  DebugLog* debug = nullptr;
  ManualHooks hooks;

  ConsoleState& State() { return console.State; }
  ConsoleView& View() { return console.View; }
  MachineConfig& Config() { return config.Config; }
  double UnitsFactor() const { return config.Units.UnitsFactor; }
  bool Plasma() const { return hooks.PlasmaMode && hooks.PlasmaMode(); }
  // Why manual motion is refused now; empty when it may go. Nothing may move or redefine an
  // axis beside a job (also one the controller still runs after the host has sent it all),
  // the initialisation or another long operation, nor while the controller still works
  // through its buffer.
  std::string ManualRefusal() const {
    const ConsoleState& s = console.State;
    if (s.Operation == LongOperation::Job || s.JobActive) return "Job running: manual moves are locked";
    if (s.Operation != LongOperation::None) return "Busy: manual moves are locked";
    if (s.Busy || buffer.BufHead() != buffer.BufTail()) return "Machine busy: manual moves are locked";
    return {};
  }
  bool ManualAllowed() const { return ManualRefusal().empty(); }
  // ManualAllowed for an operator's key or click: a refusal says why in the message list.
  bool CheckManual() {
    const std::string why = ManualRefusal();
    if (why.empty()) return true;
    console.ShowMessage(why);
    return false;
  }
  void WriteDebug(std::string_view line) {
    if (debug != nullptr && debug->DebugOn()) debug->WriteDebugLine(line);
  }
};

}  // namespace wendlar
