#include "job/SpoolEngine.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "core/Numbers.h"
#include "job/ArcPath.h"
#include "job/GcodeReader.h"
#include "link/Commands.h"

namespace wendlar {

namespace {

int32_t ToInt32(double v) {
  if (!std::isfinite(v)) return 0;
  return static_cast<int32_t>(std::clamp<int64_t>(Nearest(v), INT32_MIN, INT32_MAX));
}

}  // namespace

SpoolStepper::SpoolStepper(JobMachine& machine, SpoolOps& ops, const ConfigState& config, RunFlags& flags,
                           SpoolEngineState& state)
    : m_(machine), ops_(ops), config_(config), flags_(flags), s_(state) {}

int32_t SpoolStepper::StepX(int64_t a) const {
  return ToInt32(static_cast<double>(a + s_.HeadOffX + s_.FixtureOffX) * config_.Config.Xscale);
}

int32_t SpoolStepper::StepY(int64_t b) const {
  return ToInt32(static_cast<double>(b + s_.HeadOffY + s_.FixtureOffY) * config_.Config.Yscale);
}

int32_t SpoolStepper::ZSteps(double v) const { return ToInt32(v * config_.Config.Zscale); }

void SpoolStepper::ZMove(int32_t steps, int speedIndex, bool wait) {
  if (s_.SecondHead) {
    ops_.MoveW(steps, speedIndex, wait);
  } else {
    m_.MoveZ(steps, speedIndex, wait);
  }
  m_.SetLastStep(m_.LastStepX(), m_.LastStepY(), steps);
}

void SpoolStepper::SetHeadOffsets(double x, double y) {
  const double uf = config_.Units.UnitsFactor;
  s_.HeadOffX = ToInt32(x * uf);
  s_.HeadOffY = ToInt32(y * uf);
}

void SpoolStepper::Refuse(const std::string& text) {
  if (refusals_ != nullptr) {
    refusals_->push_back({recordNumber_, text});
    return;
  }
  m_.ShowMessage(recordNumber_ > 0 ? "record " + std::to_string(recordNumber_) + ": " + text : text);
  flags_.AbortRun = 1;
}

bool SpoolStepper::InRange(const SpoolRecord& r) const {
  const MachineConfig& c = config_.Config;
  auto fits = [](double steps) { return std::isfinite(steps) && std::fabs(steps) <= commands::kLong3Max; };
  auto fitsX = [&](int64_t a) { return fits(static_cast<double>(a + s_.HeadOffX + s_.FixtureOffX) * c.Xscale); };
  auto fitsY = [&](int64_t b) { return fits(static_cast<double>(b + s_.HeadOffY + s_.FixtureOffY) * c.Yscale); };
  auto fitsZ = [&](int64_t z) { return fits(static_cast<double>(z) * c.Zscale); };
  switch (r.Kind) {
    case kSpoolRapidXY: case kSpoolLaserLinear: return fitsX(r.A) && fitsY(r.B);
    case kSpoolLinear: return fitsX(r.A) && fitsY(r.B) && fitsZ(r.C);
    case kSpoolZRaise: return fits(config_.ToolAboveWorkNow * config_.Units.UnitsFactor * c.Zscale);
    case kSpoolLowerZ:
      return fits(s_.WorkTopZ * config_.Units.UnitsFactor * c.Zscale) && (!s_.LaserSegments || fitsZ(r.C));
    case kSpoolZFeed: return fitsZ(r.A);
    case kSpoolPeck: return fitsZ(std::llabs(static_cast<int64_t>(r.C)));
    case kSpoolArcCw: case kSpoolArcCcw: return fitsX(r.A) && fitsY(r.B) && fitsX(r.C) && fitsY(r.D);
    default: return true;
  }
}

void SpoolStepper::Execute(const SpoolRecord& r) {
  const MachineConfig& c = config_.Config;
  const double uf = config_.Units.UnitsFactor;
  if (!InRange(r)) {
    Refuse(kMsgLong3);
    return;
  }
  switch (r.Kind) {
    case kSpoolLayerStart:
      s_.HeadOffX = s_.HeadOffY = 0;
      break;
    case kSpoolRapidXY: {
      m_.FlushSegments();
      const int32_t x = StepX(r.A), y = StepY(r.B);
      m_.RapidXY(x, y);
      m_.SetLastStep(x, y, m_.LastStepZ());
      ++stats_.Rapids;
      break;
    }
    case kSpoolLinear:
      m_.QueueMove(StepX(r.A), StepY(r.B), -ZSteps(r.C), ops_.FeedSpeedIndex());
      ++stats_.Feeds;
      break;
    case kSpoolLaserLinear: {
      const int64_t power = Nearest(r.C * 50.0 / 17.0) + 20;
      s_.LaserPower = static_cast<int32_t>(std::clamp<int64_t>(power, 0, commands::kLong3Max));
      m_.QueueMoveW(StepX(r.A), StepY(r.B), s_.LaserPower, ops_.FeedSpeedIndex());
      ++stats_.Feeds;
      break;
    }
    case kSpoolZRaise:
      m_.FlushSegments();
      ZMove(-ZSteps(config_.ToolAboveWorkNow * uf), m_.SpeedIndexOf(c.Z_raise_vel), true);
      break;
    case kSpoolLowerZ: {
      m_.FlushSegments();
      const int32_t work = -ZSteps(s_.WorkTopZ * uf);
      if (!s_.SecondHead && s_.LaserSegments) {
        // The laser focuses at the record's own height; feeds still start from the work top.
        m_.MoveZ(-ZSteps(r.C), m_.SpeedIndexOf(c.Z_1st_drop), true);
        m_.SetLastStep(m_.LastStepX(), m_.LastStepY(), work);
      } else {
        ZMove(work, m_.SpeedIndexOf(c.Z_1st_drop), true);
      }
      break;
    }
    case kSpoolZFeed:
      m_.FlushSegments();
      ZMove(-ZSteps(r.A), ops_.PlungeSpeedIndex(), false);
      if (c.Drop_pause != 0) m_.Dwell(c.Drop_pause);
      break;
    case kSpoolPeck:
      m_.FlushSegments();
      Peck(r);
      break;
    case kSpoolArcCw:
    case kSpoolArcCcw:
      Arc(r);
      break;
    case kSpoolHomeR:
      if (ops_.KnifeMode()) {
        ops_.HomeW();
        m_.Dwell(0.5);
      }
      break;
    case kSpoolTangent:
      if (ops_.KnifeMode()) ops_.SendKnifeAngle(r.A, r.B);
      break;
    case kSpoolChangeTool:
      m_.FlushSegments();
      if (ops_.SecondHeadMachine()) {
        if (r.A == 1) {
          m_.QueueCommand(commands::Command54(1));
          s_.SecondHead = false;
          s_.HeadOffX = s_.HeadOffY = 0;
        } else if (r.A == 2) {
          m_.QueueCommand(commands::Command54(2));
          s_.SecondHead = true;
          SetHeadOffsets(c.W_xof, c.W_yof);
        }
      }
      break;
    case kSpoolSpindleOn:
      if (c.Auto_Spindle_Start == 1 && !m_.SpindleRunning()) {
        m_.FlushSegments();
        m_.SpindleOn(s_.SecondHead ? 1 : 0);
        m_.Dwell(2 * c.Spindle_delay);
      }
      break;
    case kSpoolSetRpm:
      if (!m_.UseRpm()) {
        m_.SetJobSpindleSpeed(r.A);
        ops_.ShowRpm(r.A);
      }
      break;
    case kSpoolSpindleOff:
      if (c.Auto_Spindle_Stop == 1) {
        m_.FlushSegments();
        m_.SpindleOff();
      }
      break;
    case kSpoolLaserModeOn:
      m_.FlushSegments();
      s_.LaserSegments = true;
      m_.SetLaserSegments(true);
      m_.SetLaser(true);
      SetHeadOffsets(-c.Laser_Xoff, -c.Laser_Yoff);
      break;
    case kSpoolLaserModeOff:
      m_.FlushSegments();
      s_.LaserSegments = false;
      m_.SetLaserSegments(false);
      m_.SetLaser(false);
      s_.HeadOffX = s_.HeadOffY = 0;
      break;
    case kSpoolLaserOn:
    case kSpoolLaserOff:
      m_.FlushSegments();
      m_.SetLaser(r.Kind == kSpoolLaserOn);
      break;
    case kSpoolDwell:
      m_.FlushSegments();
      m_.Dwell(r.A / 1000.0);
      break;
    case kSpoolAux1Head:
    case kSpoolAux2Head:
      m_.FlushSegments();
      AuxHead(r, r.Kind == kSpoolAux1Head);
      break;
    case kSpoolAux1:
      m_.FlushSegments();
      m_.SetAux1(r.A != 0);
      break;
    case kSpoolAux2:
      m_.FlushSegments();
      m_.SetAux2(r.A != 0);
      break;
    case kSpoolPause:
      m_.FlushSegments();
      m_.WaitForContinue();
      break;
    case kSpoolFeed:
      if (r.B == 1) {
        s_.SpoolXYFeed = r.A;
      } else {
        s_.SpoolZFeed = r.A;
      }
      break;
    default:
      break;
  }
}

void SpoolStepper::AuxHead(const SpoolRecord& r, bool first) {
  const MachineConfig& c = config_.Config;
  auto set = [&](bool on) { first ? m_.SetAux1(on) : m_.SetAux2(on); };
  if (r.A == 0) {
    set(false);
    m_.Dwell(first ? c.Aux1_dw_up : c.Aux2_dw_up);
  } else if (r.A == 1) {
    set(true);
    m_.Dwell(first ? c.Aux1_dw_down : c.Aux2_dw_down);
  } else if (r.A == 2) {
    SetHeadOffsets(first ? c.Aux1R_xoff : c.Aux2R_xoff, first ? c.Aux1R_yoff : c.Aux2R_yoff);
    set(false);
  }
}

void SpoolStepper::Peck(const SpoolRecord& r) {
  const MachineConfig& c = config_.Config;
  const double uf = config_.Units.UnitsFactor;
  // Z is measured downward from the work top, step 0 of this cycle, so no negation here.
  const int64_t depth = std::llabs(static_cast<int64_t>(r.C));
  int64_t peck = std::llabs(static_cast<int64_t>(r.D));
  // A peck of 0 would never reach the depth: drill it in one.
  if (peck == 0) peck = std::max<int64_t>(depth, 1);
  const int drop = m_.SpeedIndexOf(c.Z_1st_drop), raise = m_.SpeedIndexOf(c.Z_raise_vel);
  // The approach stops just above the work: going into it at the drop speed would plunge.
  ZMove(-ZSteps(kPeckClearance * uf), drop, false);
  int64_t level = 0;
  do {
    ZMove(ZSteps(static_cast<double>(level)), drop, false);
    level = std::min(level + peck, depth);
    ZMove(ZSteps(static_cast<double>(level)), ops_.PlungeSpeedIndex(), false);
    ZMove(0, raise, true);
  } while (level < depth && flags_.AbortRun == 0);
  ZMove(-ZSteps(config_.ToolAboveWorkNow * uf), raise, true);
  ++stats_.Drills;
}

void SpoolStepper::Arc(const SpoolRecord& r) {
  const MachineConfig& c = config_.Config;
  const double uf = config_.Units.UnitsFactor;
  ArcResolution res;
  res.Res = c.Arc_rez * uf * c.Xscale;
  res.Scale = c.Xscale;
  res.CoarseRadius = 30000;
  res.MinRes = 0.5;
  res.MinRadius = c.Xscale > 0 ? 0.5 / c.Xscale : 0;
  res.MaxStep = 1.0;
  const double sx = c.Xscale > 0 ? m_.LastStepX() / c.Xscale : 0;
  const double sy = c.Yscale > 0 ? m_.LastStepY() / c.Yscale : 0;
  const double ox = static_cast<double>(s_.HeadOffX) + s_.FixtureOffX;
  const double oy = static_cast<double>(s_.HeadOffY) + s_.FixtureOffY;
  ArcPlan plan = PlanArc(sx, sy, r.A + ox, r.B + oy, r.C + ox, r.D + oy, r.Kind == kSpoolArcCw, res);
  ++stats_.Arcs;
  if (plan.Empty) return;
  // The record's fields are 32-bit, so a circle beyond the step range is refused here.
  // Every point of the circle must fit the step range, not only its centre and end.
  const double cx = (r.A + ox) * c.Xscale, cy = (r.B + oy) * c.Yscale;
  if (!(std::fabs(cx) + std::fabs(plan.Radius * c.Xscale) <= commands::kLong3Max) ||
      !(std::fabs(cy) + std::fabs(plan.Radius * c.Yscale) <= commands::kLong3Max)) {
    Refuse(kMsgLong3);
    return;
  }
  const int32_t z = m_.LastStepZ();
  for (int64_t k = 0; k <= plan.Chords + 1 && flags_.AbortRun == 0; ++k) {
    const double a = plan.AngleAt(k);
    const int32_t x = ToInt32(plan.XAt(a) * c.Xscale), y = ToInt32(plan.YAt(a) * c.Yscale);
    // In laser mode the chords cut like the laser feeds around them: same power, same speed.
    if (s_.LaserSegments) {
      m_.QueueMoveW(x, y, s_.LaserPower, ops_.FeedSpeedIndex());
    } else {
      m_.QueueMove(x, y, z, 100);
    }
  }
}

}  // namespace wendlar
