#include "console/Initialisation.h"

#include "link/Commands.h"

namespace wendlar {

namespace {
constexpr int kClockTickMs = 200;
constexpr uint8_t kVariableSetOutputs = 3;
}  // namespace

uint8_t OptionFlagsByte(bool limitsDisabled, bool switchNC, bool autoSpindleStop, bool interlock) {
  uint8_t flags = kOptAlways;
  if (!limitsDisabled) flags |= kOptLimitSwitches;
  if (switchNC) flags |= kOptNormallyClosed;
  if (!autoSpindleStop) flags |= kOptNoAutoSpindleStop;
  if (interlock) flags |= kOptDoorInterlock;
  return flags;
}

Initialisation::Initialisation(EventLoop& loop, Console& console, CommandSender& sender, ConfigState& config,
                               InitialisationPorts& ports, RunFlags& flags)
    : loop_(loop), console_(console), sender_(sender), config_(config), ports_(ports), flags_(flags) {}

void Initialisation::WaitClock(int n, bool watchFaults) {
  ConsoleState& s = console_.State;
  s.ClockTicks = 0;
  // Bounded: a stalled Clock timer must not hold the sequence for ever; a fault or a stop
  // ends the wait at once.
  (void)loop_.WaitForTimers(
      [&] {
        return s.ClockTicks >= n || flags_.StopWaiting() || (watchFaults && !ports_.SetUpBlocked().empty());
      },
      int64_t{n} * kClockTickMs * 2 + 100);
}

void Initialisation::Stage(const char* text) {
  console_.View.Progress.SetCaption(text);
  loop_.PumpMessages();
}

void Initialisation::Abandon(const std::string& why) {
  ConsoleState& s = console_.State;
  ConsoleView& v = console_.View;
  s.Initialising = false;
  s.InitRequested = false;
  s.InitHeld = true;
  v.Functions1.SetEnabled(true);
  console_.RestoreTop();
  v.Progress.SetCaption("Initialisation stopped: " + why);
  v.Progress.SetFontColor(kRed);
  ports_.AddFaultHistory("Initialisation stopped: " + why);
}

bool Initialisation::InitialiseController() {
  OperationGuard guard(console_.State, LongOperation::Initialisation);
  if (!guard.Acquired()) return false;
  ConsoleState& s = console_.State;
  ConsoleView& v = console_.View;
  const MachineConfig& c = config_.Config;
  // A stop left over from before (a silent line, an earlier job) must not cut the new
  // controller's table read short.
  flags_.AbortRun = 0;
  s.InitHeld = false;
  const StopMark mark(flags_);
  // Without a connection the sequence only lets its clock waits pass; a link lost on the way
  // ends it.
  const bool connected = sender_.LinkRef().Connected;
  // A fault that arrives while the controller is set up ends the sequence: the records
  // still to come move Z and reset the controller, which would clear a latched overtravel
  // or stop button nobody has seen.
  auto blocked = [&] {
    std::string why = ports_.SetUpBlocked();
    if (why.empty() && connected && !sender_.LinkRef().Connected) why = "Controller not responding";
    if (why.empty() && mark.Stopped()) why = "stopped";
    if (why.empty()) return false;
    Abandon(why);
    return true;
  };

  v.Progress.SetFontColor(kBlack);
  console_.LeaveTop();
  console_.ShowJogButtons(false);
  v.Functions1.SetEnabled(false);
  v.Progress.SetCaption("Please wait..initializing");
  s.Initialising = true;

  sender_.SendCommandNow(commands::kReset, 0, 0);
  // The reports of this wait's start may still show a fault the reset has cleared.
  WaitClock(3, false);
  if (blocked()) return false;
  WaitClock(11);
  if (blocked()) return false;

  Stage("Please wait.. Accel params");
  for (int i = 0; i < 3; ++i) SendAccelParams(c.Contour_accel);
  WaitClock(3);
  if (blocked()) return false;

  const auto zSpeed = static_cast<uint8_t>(ports_.SpeedIndexOf(c.Z_raise_vel));
  ports_.MoveZNow(1, zSpeed, false);
  ports_.MoveZNow(0, zSpeed, false);
  WaitClock(5);
  if (blocked()) return false;

  Stage("Please wait.. Sending Misc");
  SendOptionFlags();
  WaitClock(3);
  if (blocked()) return false;

  Stage("Please wait.. Building Table");
  sender_.SendCommand5Now(commands::kBuildTable, 1, 0, 0, 0, 0);
  WaitClock(21);
  if (blocked()) return false;

  Stage("Please wait.. Loading Table");
  (void)ports_.ReadControllerTable();
  (void)sender_.WaitPolls(2);
  (void)sender_.WaitPolls(2);
  if (blocked()) return false;

  ports_.SendSpindleSpeed(c.Spind_low);
  (void)sender_.WaitPolls(2);
  (void)sender_.WaitPolls(2);
  if (blocked()) return false;

  sender_.SendCommandNow(commands::kReset, 0, 0);
  (void)sender_.WaitPolls(2);
  (void)sender_.WaitPolls(2);
  if (blocked()) return false;
  // The closing stop re-arms the controller; its stop bit is the host's, not the operator's.
  s.HostStop = true;
  sender_.SendCommand(commands::kStop, 0, 0);
  (void)sender_.WaitPolls(2);
  (void)sender_.WaitPolls(2);
  sender_.SendCommand(commands::kSelectVariable, kVariableSetOutputs, kVariableSetOutputs);

  console_.ShowJogButtons(true);
  v.Functions1.SetEnabled(true);
  console_.RestoreTop();
  v.Progress.SetCaption("Ready");
  s.InitRequested = false;
  s.Initialising = false;
  s.NeedsInitialisation = false;
  sender_.LinkRef().SendLine(commands::kIdentityRequest);
  return true;
}

void Initialisation::SendAccelParams(uint8_t value) {
  const MachineConfig& c = config_.Config;
  sender_.SendNow(commands::MiscSettings(c.Contour_accel, value, c.Cut_timer, c.Rap_timer));
}

uint8_t Initialisation::OptionFlags() const {
  return OptionFlagsByte(console_.View.Limitswitchdisable1.Checked(), config_.Config.Switch_NC == 1,
                         ports_.AutoSpindleStopChecked(), ports_.InterlockEnabled());
}

void Initialisation::SendOptionFlags() {
  sender_.SendNow(commands::MiscFlags(OptionFlags()));
  sender_.SendNow(commands::Command68());
  sender_.SendNow(commands::Command131());
  for (int i = 0; i < 4; ++i) (void)sender_.WaitPolls(2);
  ports_.SendOverrides();
  for (int i = 0; i < 4; ++i) (void)sender_.WaitPolls(2);
  ports_.SetUpFourthAxis();
}

void Initialisation::EnableLimits() {
  console_.View.Limitswitchdisable1.SetChecked(false);
  SendOptionFlags();
}

void Initialisation::DisableLimits() {
  console_.View.Limitswitchdisable1.SetChecked(true);
  SendOptionFlags();
}

void Initialisation::LimitSwitchDisableClick() {
  if (console_.View.Limitswitchdisable1.Checked()) {
    EnableLimits();
  } else {
    DisableLimits();
  }
}

void Initialisation::RunningClick() {
  // The operator's reset after a fault lets the set-up start again.
  console_.State.InitHeld = false;
  SendOptionFlags();
  for (int i = 0; i < 3; ++i) (void)sender_.WaitPolls(2);
  sender_.SendCommand(commands::kReset, 0, 0);
}

}  // namespace wendlar
