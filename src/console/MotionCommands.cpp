#include "console/MotionCommands.h"

#include <algorithm>

#include "core/Numbers.h"
#include "link/Commands.h"

namespace wendlar {

namespace {
// Upper bound of the wait for queued records: a few link ticks each.
constexpr int64_t kQueueWaitMs = 5000;

uint16_t Clearance(double value) {
  return static_cast<uint16_t>(std::clamp<int64_t>(Nearest(value), 0, 0xFFFF));
}
}  // namespace

void MotionCommands::Counted() {
  ++ctx_.State().SentCount;
  if (ctx_.State().JobActive && ctx_.hooks.CountJobMove) ctx_.hooks.CountJobMove();
}

bool MotionCommands::WaitQueueEmpty() {
  Link& link = ctx_.sender.LinkRef();
  if (!link.CommandPending()) return true;
  link.Loop().WaitUntil(
      [&] {
        return !link.CommandPending() || ctx_.flags.StopWaiting() || !link.Connected ||
               !(link.UsbTimer().Enabled() || link.InLinkTick);
      },
      kQueueWaitMs);
  return !link.CommandPending();
}

bool MotionCommands::RapidXY(int64_t xSteps, int64_t ySteps) {
  if (!Connected()) return false;
  if (!ctx_.segments.WaitBufferRoom()) return false;
  const MachineConfig& m = ctx_.Config();
  const auto speed = static_cast<uint8_t>(ctx_.tables.VelocityIndexOf(m.R_vel_max));
  if (!ctx_.sender.SendChecked(commands::MoveXY(xSteps, ySteps, speed, LowByte(m.R_vel_start)), false)) {
    return false;
  }
  Counted();
  return true;
}

bool MotionCommands::MoveZ(int64_t zSteps, uint8_t speed, bool flag) {
  if (!Connected()) return false;
  const StopMark stop(ctx_.flags);
  if (!ctx_.segments.WaitBufferRoom()) return false;
  // Sent at once, so it must not overtake what is still queued (a buffer clear would
  // otherwise wipe it).
  if (!WaitQueueEmpty() || stop.Stopped()) return false;
  if (!ctx_.sender.SendChecked(commands::MoveZ(zSteps, speed, ctx_.Config().Z_start_vel, flag), true)) {
    return false;
  }
  Counted();
  return true;
}

bool MotionCommands::MoveW(int64_t wSteps, uint8_t speed, bool flag) {
  if (!Connected()) return false;
  if (!ctx_.sender.SendChecked(commands::MoveW(wSteps, speed, ctx_.Config().Z_start_vel, flag), false)) {
    return false;
  }
  Counted();
  return true;
}

bool MotionCommands::MoveAxis(int64_t valueSteps, uint8_t axis, uint8_t speed) {
  if (!Connected()) return false;
  if (!ctx_.sender.SendChecked(commands::MoveAxis(valueSteps, speed, ctx_.Config().Z_start_vel, axis), false)) {
    return false;
  }
  Counted();
  return true;
}

bool MotionCommands::SetAxisPosition(uint8_t axis, int64_t valueSteps) {
  if (!Connected()) return false;
  if (!ctx_.sender.SendChecked(commands::SetPosition(axis, valueSteps), false)) return false;
  Counted();
  return true;
}

bool MotionCommands::JogStart(uint8_t direction, uint8_t speed) {
  if (!Connected()) return false;
  ctx_.sender.Send(commands::JogStart(direction, speed));
  ctx_.State().JogRunning = true;
  Counted();
  return true;
}

bool MotionCommands::JogStep(uint8_t direction, uint8_t speed) {
  if (!Connected()) return false;
  ctx_.sender.Send(commands::JogStep(direction, speed));
  Counted();
  return true;
}

void MotionCommands::JogStop() {
  ctx_.State().VelocityScale = 1.0;
  ctx_.State().JogRunning = false;
  ctx_.sender.Send(commands::JogStop());
}

uint16_t MotionCommands::XYClearance() const {
  return Clearance(ctx_.config.Config.XY_home_dist * ctx_.UnitsFactor() * ctx_.config.Config.Xscale);
}

uint16_t MotionCommands::ZClearance() const {
  return Clearance(ctx_.config.Config.Z_home_dist * ctx_.UnitsFactor() * ctx_.config.Config.Zscale);
}

bool MotionCommands::HomeXY() {
  if (!Connected()) return false;
  ctx_.sender.Send(commands::HomeXY(LowByte(ctx_.Config().XYhome_vel), XYClearance()));
  Counted();
  return true;
}

bool MotionCommands::HomeXYDual() {
  if (!Connected()) return false;
  ctx_.sender.Send(commands::HomeXYToPosition(1, 5, LowByte(ctx_.Config().XYhome_vel), XYClearance()));
  Counted();
  return true;
}

bool MotionCommands::HomeZ() {
  if (!Connected()) return false;
  ctx_.sender.Send(commands::HomeZ(LowByte(ctx_.Config().Zhome_vel), ZClearance()));
  Counted();
  return true;
}

bool MotionCommands::HomeWMenu() {
  if (!Connected()) return false;
  ctx_.sender.Send(commands::HomeW(20, 5, 0));
  Counted();
  return true;
}

bool MotionCommands::HomeWMacro() {
  if (!Connected()) return false;
  const MachineConfig& m = ctx_.Config();
  const int64_t clearance = Nearest(m.Z_home_dist * ctx_.UnitsFactor() * m.R_cal);
  ctx_.sender.Send(commands::HomeW(14, 5, LowByte(static_cast<int>(clearance & 0xFF))));
  Counted();
  return true;
}

bool MotionCommands::RapidToXY(double x, double y, double offsetX, double offsetY) {
  const MachineConfig& m = ctx_.Config();
  const int64_t xSteps = Nearest((x + offsetX) * m.Xscale);
  const int64_t ySteps = Nearest((y + offsetY) * m.Yscale);
  const bool sent = RapidXY(xSteps, ySteps);
  ctx_.segments.LastStepX = static_cast<int32_t>(std::clamp<int64_t>(xSteps, INT32_MIN, INT32_MAX));
  ctx_.segments.LastStepY = static_cast<int32_t>(std::clamp<int64_t>(ySteps, INT32_MIN, INT32_MAX));
  return sent;
}

bool MotionCommands::RapidToZ(double z) {
  const MachineConfig& m = ctx_.Config();
  const int64_t zSteps = -Nearest(z * m.Zscale);
  const auto speed = static_cast<uint8_t>(ctx_.tables.SpeedIndexOf(m.Z_1st_drop));
  const bool sent = MoveZ(zSteps, speed, true);
  ctx_.segments.LastStepZ = static_cast<int32_t>(std::clamp<int64_t>(zSteps, INT32_MIN, INT32_MAX));
  return sent;
}

}  // namespace wendlar
