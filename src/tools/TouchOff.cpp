#include "tools/TouchOff.h"

#include "core/Numbers.h"
#include "core/RunFlags.h"
#include "link/Commands.h"

namespace wendlar {

namespace {
// Time for the controller to report busy after a touch or move was sent.
constexpr int64_t kBusyAppearMs = 3000;
// Longest probe travel or move the routines wait for.
constexpr int64_t kMoveTimeoutMs = 120000;
// The speeds the corner search runs at.
constexpr uint16_t kCornerRapid = 30, kCornerRaise = 20;
// Record codes of the pad touch and the edge probe.
constexpr uint8_t kPadTouch = 62, kEdgeProbe = 63;
}  // namespace

int64_t TouchOff::ZSteps(double units) const { return -Nearest(units * ctx_.Config().Zscale * ctx_.UnitsFactor()); }

bool TouchOff::Fail(std::string text) {
  failure_ = std::move(text);
  ctx_.console.ShowMessage(failure_);
  return false;
}

bool TouchOff::WaitProbe(bool mustSeeBusy, const char* marker) {
  EventLoop& loop = ctx_.sender.LinkRef().Loop();
  Link& link = ctx_.sender.LinkRef();
  const ConsoleState& st = ctx_.State();
  auto stopped = [&] { return (mark_ != nullptr && mark_->Stopped()) || ctx_.flags.StopWaiting(); };
  // The link timer keeps polling here; its halt means no report can change Busy any more.
  auto lost = [&] { return !link.Connected || !link.UsbTimer().Enabled(); };
  const bool seen = loop.WaitUntil([&] { return st.Busy || stopped() || lost(); }, kBusyAppearMs);
  if (stopped()) return Fail("Stopped");
  if (lost()) return Fail("Controller not answering");
  if (!seen && mustSeeBusy) return Fail("Controller did not start the touch");
  if (marker != nullptr) Marker(marker);
  if (!st.Busy) return true;  // a short move finished between two reports
  const bool idle = loop.WaitUntil([&] { return !st.Busy || stopped() || lost(); }, kMoveTimeoutMs);
  if (stopped()) return Fail("Stopped");
  if (lost()) return Fail("Controller not answering");
  if (!idle) {
    // A probe that never trips would drive on; stop it before reporting.
    link.StopMotion();
    return Fail("Probe did not touch");
  }
  return true;
}

bool TouchOff::SetPosition(uint8_t axis, int64_t steps) {
  if (!motion_.SetAxisPosition(axis, steps)) return Fail("Not connected");
  for (int i = 0; i < 3; ++i) {
    if (!ctx_.sender.WaitPolls(2) || ctx_.flags.StopWaiting() || (mark_ != nullptr && mark_->Stopped())) {
      return Fail("Stopped");
    }
  }
  return true;
}

bool TouchOff::ZToPad(double abovePad, uint8_t speed) {
  if (!motion_.MoveZ(ZSteps(ctx_.Config().Tpad_Size + abovePad), speed, false)) return Fail("Stopped");
  return true;
}

bool TouchOff::ToolTouchOff() {
  failure_.clear();
  if (!ctx_.sender.Connected()) return Fail("Not connected");
  if (!ctx_.CheckManual()) return Fail(ctx_.ManualRefusal());
  OperationGuard guard(ctx_.State(), LongOperation::Probing);
  if (!guard.Acquired()) return Fail("Busy: touch-off is locked");
  StopMark mark(ctx_.flags);
  mark_ = &mark;
  const MachineConfig& m = ctx_.Config();
  ctx_.flags.AbortRun = 0;
  const uint8_t seek = LowByte(m.TP_Seek_vel);
  ctx_.sender.SendCommand(kPadTouch, seek, seek);
  bool ok = WaitProbe(true);
  // An interrupted touch leaves Z as it was: the tool is not known to sit on the pad.
  ok = ok && SetPosition(kAxisZ, ZSteps(m.Tpad_Size));
  ok = ok && ZToPad(0.5, static_cast<uint8_t>(ctx_.tables.SpeedIndexOf(m.Z_1st_drop)));
  mark_ = nullptr;
  return ok;
}

void TouchOff::TouchClick() {
  if (!ctx_.CheckManual()) return;
  if (!ctx_.prompts.AskYesCancel("Tool Touch off, Are you sure ?")) return;
  ToolTouchOff();
}

bool TouchOff::FindCorner() {
  failure_.clear();
  if (!ctx_.sender.Connected()) return Fail("Not connected");
  if (!ctx_.CheckManual()) return Fail(ctx_.ManualRefusal());
  OperationGuard guard(ctx_.State(), LongOperation::Probing);
  if (!guard.Acquired()) return Fail("Busy: corner finder is locked");
  MachineConfig& m = ctx_.Config();
  // Whatever ends the search, the operator's speeds come back.
  struct Restore {
    MachineConfig& m;
    uint16_t rapid, raise;
    ~Restore() {
      m.R_vel_max = rapid;
      m.Z_raise_vel = raise;
    }
  } restore{m, m.R_vel_max, m.Z_raise_vel};
  m.R_vel_max = kCornerRapid;
  m.Z_raise_vel = kCornerRaise;
  StopMark mark(ctx_.flags);
  mark_ = &mark;
  struct ClearMark {
    const StopMark*& m;
    ~ClearMark() { m = nullptr; }
  } clearMark{mark_};

  ctx_.flags.AbortRun = 0;
  const uint8_t seek = LowByte(m.TP_Seek_vel);
  const double uf = ctx_.UnitsFactor();
  const double r = (ToolDiameter ? ToolDiameter() : 0.25) / 2;
  const auto raiseSpeed = [&] { return static_cast<uint8_t>(ctx_.tables.SpeedIndexOf(m.Z_raise_vel)); };
  const int64_t offStock = Nearest(1000 * m.Yscale);

  ctx_.sender.SendCommand(kPadTouch, seek, seek);
  Marker("0");
  Marker("0");
  Marker("0");
  if (!WaitProbe(true)) return false;
  if (!SetPosition(kAxisZ, ZSteps(m.Tpad_Size)) || !SetPosition(kAxisX, 0) || !SetPosition(kAxisY, 0)) return false;
  Marker("1");
  if (!ZToPad(0.2, raiseSpeed())) return false;
  Marker("2");
  if (!WaitProbe(false, "20")) return false;
  Marker("21");
  if (!motion_.RapidXY(0, -offStock)) return Fail("Stopped");
  Marker("3");
  if (!WaitProbe(false)) return false;
  Marker("31");
  if (!ZToPad(-0.2, raiseSpeed()) || !WaitProbe(false)) return false;
  Marker("4");
  ctx_.sender.SendCommand5(kEdgeProbe, 0, seek, 2, 15, 15);
  if (!WaitProbe(true)) return false;
  if (!SetPosition(kAxisY, -Nearest((0.1 + r) * uf * m.Yscale))) return false;
  if (!ZToPad(0.1, raiseSpeed()) || !WaitProbe(false)) return false;
  // Both from the Y scale, as the controller's own routine does.
  if (!motion_.RapidXY(-offStock, offStock)) return Fail("Stopped");
  if (!WaitProbe(false)) return false;
  if (!ZToPad(-0.2, raiseSpeed()) || !WaitProbe(false)) return false;
  ctx_.sender.SendCommand5(kEdgeProbe, 0, seek, 1, 15, 0);
  if (!WaitProbe(true)) return false;
  if (!SetPosition(kAxisX, -Nearest((0.1 + r) * uf * m.Xscale))) return false;
  if (!ZToPad(0.4, raiseSpeed()) || !WaitProbe(false)) return false;
  if (!motion_.RapidXY(0, 0)) return Fail("Stopped");
  return WaitProbe(false);
}

}  // namespace wendlar
