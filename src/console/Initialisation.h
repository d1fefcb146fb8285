// Bringing a controller that reports "not initialised" into a known state: reset, acceleration,
// option flags and overrides, table build and read-back, spindle speed, stop and re-arm.
#pragma once

#include <cstdint>
#include <string>

#include "config/MachineConfig.h"
#include "console/CommandSender.h"
#include "console/Console.h"
#include "core/EventLoop.h"
#include "core/RunFlags.h"

namespace wendlar {

// The operations of other console modules and windows the sequence uses.
class InitialisationPorts {
 public:
  virtual ~InitialisationPorts() = default;
  // Direct Z move (command 21) to an absolute step target.
  virtual void MoveZNow(int32_t zSteps, uint8_t speedIndex, bool wait) = 0;
  // The speed index of a Z velocity.
  virtual int SpeedIndexOf(int velocity) const = 0;
  // Command 135 with the current overrides, sent at once.
  virtual void SendOverrides() = 0;
  // Command 134 for the rpm (only while Use_rpm is checked).
  virtual void SendSpindleSpeed(int rpm) = 0;
  // Shows or hides the W axis and sends command 67.
  virtual void SetUpFourthAxis() = 0;
  // The controller's table into the planner's copy; false when cut short or bad.
  virtual bool ReadControllerTable() = 0;
  // The configuration dialog's check boxes.
  virtual bool InterlockEnabled() const = 0;
  virtual bool AutoSpindleStopChecked() const = 0;
  // The fault that forbids going on with the set-up (see StatusReaction::SetUpBlocked);
  // empty when there is none.
  virtual std::string SetUpBlocked() const { return {}; }
  // A line in the fault history.
  virtual void AddFaultHistory(const std::string&) {}
};

// Option flags of command 132.
inline constexpr uint8_t kOptLimitSwitches = 0xC0;
inline constexpr uint8_t kOptNormallyClosed = 0x20;
inline constexpr uint8_t kOptNoAutoSpindleStop = 0x10;
inline constexpr uint8_t kOptDoorInterlock = 0x08;
inline constexpr uint8_t kOptAlways = 0x04;

// The option-flags byte for the settings given.
uint8_t OptionFlagsByte(bool limitsDisabled, bool switchNC, bool autoSpindleStop, bool interlock);

class Initialisation {
 public:
  Initialisation(EventLoop& loop, Console& console, CommandSender& sender, ConfigState& config,
                 InitialisationPorts& ports, RunFlags& flags);

  // The whole sequence; refused (false) while another long operation holds the console.
  // A fault, a stop or a silent controller ends it after the wait it happened in (false):
  // nothing more is sent, "Initialisation stopped: <fault>" shows in Progress and the fault
  // history, and no set-up starts by itself until the operator resets or reconnects.
  bool InitialiseController();
  // Command 11 at once with `value` in b2.
  void SendAccelParams(uint8_t value);
  // Commands 132, 68 and 131 at once, overrides, and the fourth-axis set-up, with waits.
  void SendOptionFlags();
  // The byte SendOptionFlags sends now.
  uint8_t OptionFlags() const;
  void EnableLimits();
  void DisableLimits();
  // The "Limit switch disable" menu entry: the one of the two that inverts the mark.
  void LimitSwitchDisableClick();
  // Clicking Running ("Click to Reset"): option flags again, then command 1.
  void RunningClick();

 private:
  // Waits n Clock ticks from now (ClockTicks is reset first); a fault that forbids the
  // set-up ends it early when `watchFaults`.
  void WaitClock(int n, bool watchFaults = true);
  void Stage(const char* text);
  // Ends the sequence on `why`, leaving the console usable.
  void Abandon(const std::string& why);

  EventLoop& loop_;
  Console& console_;
  CommandSender& sender_;
  ConfigState& config_;
  InitialisationPorts& ports_;
  RunFlags& flags_;
};

}  // namespace wendlar
