#include "console/BorderRun.h"

#include "core/Numbers.h"
#include "link/Commands.h"

namespace wendlar {

namespace {
constexpr double kCornerDwellSeconds = 0.5;
}  // namespace

bool BorderRun::Run_BorderClick() {
  if (!ctx_.CheckManual()) return false;
  OperationGuard guard(ctx_.State(), LongOperation::ManualMove);
  if (!guard.Acquired()) return false;
  // The flag every finished job leaves set must not end the trace before it starts.
  ctx_.flags.AbortRun = 0;

  const MachineConfig& m = ctx_.Config();
  const double uf = ctx_.UnitsFactor();
  ctx_.sender.SendCommand(commands::kClearBuffer, 0, 0);
  ctx_.sender.SendCommand(commands::kStartBuffer, 0, 0);
  // Output 2 marks the trace (a pointer on the second output); on a plasma machine that
  // output is the torch, which must never fire on a dry run.
  if (!ctx_.Plasma()) {
    ctx_.sender.Queue(commands::SelectSpindle(1));
    ctx_.sender.Queue(commands::SpindleOn());
  }
  motion_.MoveZ(-Nearest(ctx_.config.ToolAboveWorkNow * uf * m.Zscale),
                static_cast<uint8_t>(ctx_.tables.SpeedIndexOf(m.Z_raise_vel)), true);

  // The trace runs where the job will: the active fixture's offset applies.
  const double offX = static_cast<double>(Nearest(ctx_.State().ActiveOffsetX * uf));
  const double offY = static_cast<double>(Nearest(ctx_.State().ActiveOffsetY * uf));
  const BorderLimits b = Limits;
  const int32_t corners[4][2] = {{b.XMin, b.YMin}, {b.XMax, b.YMin}, {b.XMax, b.YMax}, {b.XMin, b.YMax}};
  for (const auto& c : corners) {
    if (ctx_.flags.StopWaiting()) return false;
    motion_.RapidToXY(c[0], c[1], offX, offY);
    outputs_.Dwell(kCornerDwellSeconds);
  }
  if (ctx_.flags.StopWaiting()) return false;
  motion_.RapidToXY(b.XMin, b.YMin, offX, offY);
  ctx_.sender.SendCommand(commands::kEndOfJob, 0, 0);
  ctx_.State().JobCompleted = true;
  return true;
}

}  // namespace wendlar
