#include "console/Homing.h"

#include "core/Numbers.h"
#include "link/Commands.h"

namespace wendlar {

void Homing::HomeXYChoice() {
  const MachineConfig& m = ctx_.Config();
  if (ctx_.hooks.HomeXNYP && ctx_.hooks.HomeXNYP()) {
    motion_.HomeXYDual();
    motion_.SetAxisPosition(kAxisX, 0);
    motion_.SetAxisPosition(kAxisY, Nearest(kDualHomeY * m.Xscale * ctx_.UnitsFactor()));
  } else {
    motion_.HomeXY();
  }
}

void Homing::HomeXYbutClick() {
  if (!ctx_.CheckManual()) return;
  if (!ctx_.prompts.AskYesCancel("Home XY axis, Are you sure ?")) return;
  // The answer may have taken a while; something else may hold the console by now.
  if (!ctx_.CheckManual()) return;
  HomeXYChoice();
}

void Homing::HomeZbutClick() {
  if (!ctx_.CheckManual()) return;
  if (!ctx_.prompts.AskYesCancel("Home Z axis, Are you sure ?")) return;
  if (!ctx_.CheckManual()) return;
  motion_.HomeZ();
}

void Homing::HomeWaxisClick() {
  if (!ctx_.CheckManual()) return;
  if (!ctx_.prompts.AskYesCancel("Home W axis, Are you sure ?")) return;
  if (!ctx_.CheckManual()) return;
  motion_.HomeWMenu();
}

void Homing::HomeAxisNonZero(uint8_t mode, uint8_t axis) {
  if (!ctx_.sender.Connected()) return;
  OperationGuard guard(ctx_.State(), LongOperation::ManualMove);
  if (!guard.Acquired()) return;
  // The flag a finished job leaves set must not cut the homing short.
  ctx_.flags.AbortRun = 0;
  ctx_.sender.Send(commands::HomeXYToPosition(0, mode, LowByte(ctx_.Config().XYhome_vel), motion_.XYClearance()));
  ++ctx_.State().SentCount;
  if (!ctx_.sender.WaitMoveDone()) return;
  ctx_.sender.SendCommand(commands::kReset, 0, 0);
  for (int i = 0; i < 3; ++i) {
    if (!ctx_.sender.WaitPolls(2) || ctx_.flags.StopWaiting()) return;
  }
  motion_.SetAxisPosition(axis, 0);
}

void Homing::HomeXNonZero() {
  if (ctx_.CheckManual()) HomeAxisNonZero(3, kAxisX);
}

void Homing::HomeYNonZero() {
  if (ctx_.CheckManual()) HomeAxisNonZero(4, kAxisY);
}

void Homing::HomeZNonZero() {
  if (!ctx_.CheckManual() || !ctx_.sender.Connected()) return;
  ctx_.flags.AbortRun = 0;
  ctx_.sender.Send(commands::HomeZToPosition(0, LowByte(ctx_.Config().Zhome_vel), motion_.XYClearance()));
  ++ctx_.State().SentCount;
}

void Homing::Z_zeroMouseDown() { ctx_.View().Z_zero.SetRaised(false); }

void Homing::Z_zeroMouseUp(MouseButton button) {
  ctx_.View().Z_zero.SetRaised(true);
  if (!ctx_.CheckManual()) return;
  const auto speed = static_cast<uint8_t>(ctx_.tables.SpeedIndexOf(ctx_.Config().Z_1st_drop));
  if (button == MouseButton::Left) {
    motion_.MoveZ(0, speed, false);
  } else {
    motion_.MoveW(0, speed, false);
  }
}

void Homing::Z_2topMouseDown() { ctx_.View().Z_2top.SetRaised(false); }

void Homing::Z_2topMouseUp(MouseButton button) {
  ctx_.View().Z_2top.SetRaised(true);
  if (!ctx_.CheckManual()) return;
  const MachineConfig& m = ctx_.Config();
  const int64_t target = -Nearest(ctx_.config.ToolAboveWorkNow * m.Zscale * ctx_.UnitsFactor());
  const auto speed = static_cast<uint8_t>(ctx_.tables.SpeedIndexOf(m.Z_raise_vel));
  if (button == MouseButton::Left) {
    motion_.MoveZ(target, speed, false);
  } else {
    motion_.MoveW(target, speed, false);
  }
}

}  // namespace wendlar
