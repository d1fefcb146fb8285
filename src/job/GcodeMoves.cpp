// The reader's moves: rapids, feeds, arcs, drilling cycles and M codes, in controller steps.
#include <algorithm>
#include <cmath>

#include "core/Numbers.h"
#include "job/GcodeReader.h"
#include "job/GcodeValues.h"

namespace wendlar {

namespace {

// The controller's 24-bit position range, in steps.
constexpr int64_t kLong3Min = -8388608;
constexpr int64_t kLong3Max = 8388607;

// The laser power of an L word, in the controller's units.
int32_t LaserPower(double wordL) {
  return static_cast<int32_t>(std::clamp<int64_t>(Nearest(wordL * 50 / 17) + 20, 0, kLong3Max));
}

}  // namespace

std::optional<int32_t> GcodeReader::Steps(double v, double scale) const {
  if (!std::isfinite(v)) return std::nullopt;
  double fileUnits = static_cast<double>(Nearest(v * config_.Units.UnitsFactor));
  int64_t steps = Nearest(fileUnits * scale);
  if (steps < kLong3Min || steps > kLong3Max) return std::nullopt;
  return static_cast<int32_t>(steps);
}

std::optional<int32_t> GcodeReader::StepsDirect(double v, double scale) const {
  if (!std::isfinite(v)) return std::nullopt;
  int64_t steps = Nearest(v * config_.Units.UnitsFactor * scale);
  if (steps < kLong3Min || steps > kLong3Max) return std::nullopt;
  return static_cast<int32_t>(steps);
}

int GcodeReader::FeedValue() const {
  int64_t v = m_.UseFeed() ? m_.FeedIdx() : Nearest(s_.CurrentFeed);
  // Below 1 would mean no cap for a segment and a standstill for a Z move.
  return static_cast<int>(std::clamp<int64_t>(v, 1, 100));
}

bool GcodeReader::Rapid() {
  const MachineConfig& c = config_.Config;
  if (m_.SegmentsPending()) m_.FlushSegments();
  double x = s_.TargetX - OffX(), y = s_.TargetY - OffY();
  auto xs = Steps(x, c.Xscale), ys = Steps(y, c.Yscale), zs = Steps(s_.TargetZ, c.Zscale);
  if (!xs || !ys || !zs) {
    Refuse(kMsgLong3);
    return false;
  }
  bool any = false;
  // Where the tool really is: a drilling cycle or a tool change may have left it off PrevZ.
  int32_t zNow = m_.LastStepZ();
  // Z first, up or down, so a rapid never drags the tool through the work.
  if (s_.TargetZ != s_.PrevZ) {
    m_.MoveZ(-*zs, m_.SpeedIndexOf(c.Z_1st_drop), false);
    zNow = -*zs;
    any = true;
  }
  if (x != s_.PrevX || y != s_.PrevY) {
    m_.RapidXY(*xs, *ys);
    any = true;
  }
  if (any) ++stats_.Rapids;
  m_.SetLastStep(*xs, *ys, zNow);
  return true;
}

bool GcodeReader::Feed() {
  const MachineConfig& c = config_.Config;
  auto xs = Steps(s_.TargetX - OffX(), c.Xscale), ys = Steps(s_.TargetY - OffY(), c.Yscale);
  auto zs = Steps(s_.TargetZ, c.Zscale);
  if (!xs || !ys || !zs) {
    Refuse(kMsgLong3);
    return false;
  }
  int speed = FeedValue();
  if (s_.LaserMode) {
    m_.QueueMoveW(*xs, *ys, LaserPower(s_.WordL), speed);
  } else {
    m_.QueueMove(*xs, *ys, -*zs, speed);
  }
  ++stats_.Feeds;
  return true;
}

bool GcodeReader::Arc() {
  if (s_.LineHasR && !s_.LineHasIJ) {
    Refuse(kMsgRArc);
    return false;
  }
  const MachineConfig& c = config_.Config;
  const double uf = config_.Units.UnitsFactor;
  const double endX = s_.ArcEndX - OffX(), endY = s_.ArcEndY - OffY();
  if (!s_.LineHasIJ) {
    // Without a centre there is no arc: a line that stays put is harmless, any other is refused.
    if (endX != s_.PrevX || endY != s_.PrevY) {
      Refuse(kMsgArcNoCentre);
      return false;
    }
    s_.TargetX = s_.PrevX + OffX();
    s_.TargetY = s_.PrevY + OffY();
    return s_.TargetZ == s_.PrevZ || Feed();
  }
  {
    // An end off the circle would be cut as a jump from the circle to the end.
    const double r0 = std::hypot(s_.WordI, s_.WordJ);
    const double r1 = std::hypot(endX - (s_.PrevX + s_.WordI), endY - (s_.PrevY + s_.WordJ));
    const double tolerance = std::max(uf == 1000.0 ? 0.002 : 0.05, 0.001 * r0);
    if (std::isfinite(r0) && std::isfinite(r1) && std::fabs(r1 - r0) > tolerance) {
      Refuse(kMsgArcEnd);
      return false;
    }
  }
  ArcResolution res;
  res.Res = c.Arc_rez;
  res.Scale = c.Xscale;
  res.CoarseRadius = 30;
  res.MinRes = 0.5 / uf;  // a chord of at least one step
  res.MinRadius = c.Xscale > 0 ? 0.5 / (uf * c.Xscale) : 0;
  ArcPlan plan = PlanArc(s_.PrevX, s_.PrevY, s_.PrevX + s_.WordI, s_.PrevY + s_.WordJ, endX, endY,
                         s_.MotionMode == 2, res);
  // Every point of the arc must fit the step range. Its extremes are its ends and the axis
  // crossings it passes; with the chord floor this also bounds the number of chords.
  bool inRange = StepsDirect(s_.PrevZ, c.Zscale) && StepsDirect(s_.TargetZ, c.Zscale) && std::isfinite(endX) &&
                 std::isfinite(endY) && std::isfinite(plan.Radius);
  // Well inside the range the extremes need no sines: the centre plus the radius bounds them.
  const double units = uf * std::max(std::fabs(c.Xscale), std::fabs(c.Yscale));
  const bool wellInside = (std::max(std::fabs(plan.CentreX), std::fabs(plan.CentreY)) + plan.Radius) * units <
                          static_cast<double>(kLong3Max - 1);
  if (inRange && !plan.Empty && !wellInside) {
    const double quarter = M_PI / 2;
    for (double a : {plan.StartAngle, plan.EndAngle, 0.0, quarter, 2 * quarter, 3 * quarter}) {
      if (a == plan.StartAngle || a == plan.EndAngle || plan.Sweeps(a)) {
        inRange = inRange && StepsDirect(plan.XAt(a), c.Xscale) && StepsDirect(plan.YAt(a), c.Yscale);
      }
    }
  }
  if (!inRange) {
    Refuse(kMsgLong3);
    return false;
  }
  if (plan.Empty) {
    // Nothing to cut: the machine stays at the start, and so does the position.
    s_.TargetX = s_.PrevX + OffX();
    s_.TargetY = s_.PrevY + OffY();
    return true;
  }
  const int speed = FeedValue();
  const int32_t power = LaserPower(s_.WordL);
  const int64_t n = std::max<int64_t>(plan.Chords, 1);
  const double zStep = (s_.TargetZ - s_.PrevZ) / static_cast<double>(n);
  const bool helix = s_.TargetZ != s_.PrevZ;
  const int32_t flatZ = -*StepsDirect(s_.TargetZ, c.Zscale);
  // Every point is in range (checked above): the rounding alone is StepsDirect's.
  auto xSteps = [&](double v) { return static_cast<int32_t>(Nearest(v * uf * c.Xscale)); };
  auto ySteps = [&](double v) { return static_cast<int32_t>(Nearest(v * uf * c.Yscale)); };
  ArcWalk walk(plan);
  do {
    const int64_t k = walk.Index();
    const int32_t xs = walk.RoundedX(xSteps), ys = walk.RoundedY(ySteps);
    if (s_.LaserMode) {
      m_.QueueMoveW(xs, ys, power, speed);
    } else if (!helix || k >= n) {
      m_.QueueMove(xs, ys, flatZ, speed);
    } else {
      m_.QueueMove(xs, ys, -*StepsDirect(s_.PrevZ + zStep * static_cast<double>(k), c.Zscale), speed);
    }
    ++stats_.ArcPoints;
  } while (flags_.AbortRun == 0 && walk.Next());
  ++stats_.Arcs;
  s_.TargetX = s_.ArcEndX;
  s_.TargetY = s_.ArcEndY;
  return true;
}

bool GcodeReader::DrillPosition(int32_t& xs, int32_t& ys) {
  const MachineConfig& c = config_.Config;
  double x = s_.TargetX - OffX(), y = s_.TargetY - OffY();
  auto sx = Steps(x, c.Xscale), sy = Steps(y, c.Yscale);
  if (!sx || !sy || !Steps(s_.WordR, c.Zscale) || !Steps(s_.CycleZ, c.Zscale) || !Steps(s_.TopZ, c.Zscale)) {
    Refuse(kMsgLong3);
    return false;
  }
  xs = *sx;
  ys = *sy;
  return true;
}

bool GcodeReader::CycleStart(int32_t xs, int32_t ys) {
  const MachineConfig& c = config_.Config;
  const int drop = m_.SpeedIndexOf(c.Z_1st_drop);
  m_.FlushSegments();
  // The tool never travels to the hole below the R level.
  bool atR = s_.PrevZ == s_.WordR;
  if (s_.PrevZ < s_.WordR) {
    m_.MoveZ(-*Steps(s_.WordR, c.Zscale), drop, false);
    atR = true;
  }
  if (s_.TargetX - OffX() != s_.PrevX || s_.TargetY - OffY() != s_.PrevY) m_.RapidXY(xs, ys);
  return atR;
}

bool GcodeReader::Peck() {
  const MachineConfig& c = config_.Config;
  const double uf = config_.Units.UnitsFactor;
  if (s_.Incremental) {
    Refuse(kMsgDrillG91);
    return false;
  }
  if (!(s_.WordQ > 0)) {
    Refuse(kMsgPeckQ);
    return false;
  }
  if (c.Zscale > 0 && s_.WordQ < 1.0 / (uf * c.Zscale)) {
    Refuse(kMsgPeckStep);
    return false;
  }
  // The bottom is the programmed Z, as for G81, not a depth below R.
  const double bottom = s_.CycleZ;
  int32_t xs = 0, ys = 0;
  if (!DrillPosition(xs, ys)) return false;
  // A peck below one file unit would only repeat the same step position.
  const double peck = std::max(s_.WordQ, 1.0 / uf);
  if (!((s_.WordR - bottom) / peck <= static_cast<double>(kMaxPecks))) {
    Refuse(kMsgPeckCount);
    return false;
  }
  const bool atR = CycleStart(xs, ys);
  const int feed = FeedValue();
  const int drop = m_.SpeedIndexOf(c.Z_1st_drop), raise = m_.SpeedIndexOf(c.Z_raise_vel);
  const double retract = uf == 1000.0 ? kG73RetractInch : kG73RetractMm;
  auto zSteps = [&](double z) { return -*Steps(z, c.Zscale); };
  double level = s_.WordR;
  if (!atR) m_.MoveZ(zSteps(level), drop, false);
  do {
    level = std::max(level - peck, bottom);
    m_.MoveZ(zSteps(level), feed, false);
    if (s_.MotionMode == 83) {
      m_.MoveZ(zSteps(s_.WordR), raise, false);
    } else if (level > bottom) {
      m_.MoveZ(zSteps(std::min(level + retract, s_.WordR)), raise, false);
    }
  } while (level > bottom && flags_.AbortRun == 0);
  m_.MoveZ(zSteps(s_.TopZ), drop, false);
  // Later moves start from where the cycle left the tool, not from the hole's bottom.
  m_.SetLastStep(xs, ys, zSteps(s_.TopZ));
  s_.TargetZ = s_.TopZ;
  ++stats_.DrillCycles;
  return true;
}

bool GcodeReader::Drill() {
  const MachineConfig& c = config_.Config;
  if (s_.Incremental) {
    Refuse(kMsgDrillG91);
    return false;
  }
  const double bottom = s_.CycleZ;
  int32_t xs = 0, ys = 0;
  if (!DrillPosition(xs, ys)) return false;
  const bool atR = CycleStart(xs, ys);
  auto zSteps = [&](double z) { return -*Steps(z, c.Zscale); };
  if (!atR) m_.MoveZ(zSteps(s_.WordR), m_.SpeedIndexOf(c.Z_1st_drop), false);
  m_.Dwell(0.2);
  m_.MoveZ(zSteps(bottom), FeedValue(), false);
  if (s_.MotionMode == 82) m_.Dwell(0.4);
  double up = s_.ReturnToR ? s_.WordR : s_.TopZ;
  m_.MoveZ(zSteps(up), m_.SpeedIndexOf(c.Z_raise_vel), false);
  // Later moves start from where the cycle left the tool, not from the hole's bottom.
  m_.SetLastStep(xs, ys, zSteps(up));
  s_.TargetZ = up;
  ++stats_.DrillCycles;
  return true;
}

bool GcodeReader::Mcode() {
  const MachineConfig& c = config_.Config;
  switch (s_.McodeWord) {
    case 0:
      if (m_.PauseonM0()) {
        m_.FlushSegments();
        m_.WaitForContinue();
      }
      break;
    case 3:
      if (!m_.SpindleRunning()) {
        m_.FlushSegments();
        m_.SpindleOn(0);
        if (m_.UseRpm()) m_.SetJobSpindleSpeed(m_.SpindleRpm());
      }
      break;
    case 5: m_.FlushSegments(); m_.SpindleOff(); break;
    case 6: {
      m_.FlushSegments();
      s_.HeadOffsetX = s_.HeadOffsetY = 0;
      if (s_.ToolWord > 0 && s_.ToolWord < 30 && c.Man_toolch == 1) {
        auto xs = StepsDirect(c.Toolch_xpos, c.Xscale), ys = StepsDirect(c.Toolch_ypos, c.Yscale);
        auto zs = StepsDirect(c.Toolch_Zpos, c.Zscale);
        if (!xs || !ys || !zs) {
          Refuse(kMsgLong3);
          return false;
        }
        m_.MoveZ(-*zs, m_.SpeedIndexOf(c.Z_raise_vel), true);
        m_.RapidXY(*xs, *ys);
        m_.SetLastStep(*xs, *ys, -*zs);
        run_.ToolNumber = ClampInt(s_.ToolWord);
        run_.ToolChangeStop = true;
      }
      if (s_.ToolWord > 0) m_.ToolChanged(ClampInt(s_.ToolWord));
      if (s_.WordH == 1) {
        s_.HeadOffsetX = c.Aux1R_xoff;
        s_.HeadOffsetY = c.Aux1R_yoff;
      } else if (s_.WordH == 2) {
        s_.HeadOffsetX = c.Aux2R_xoff;
        s_.HeadOffsetY = c.Aux2R_yoff;
      }
      break;
    }
    case 8: m_.FlushSegments(); m_.SetAux1(true); break;
    case 9: m_.FlushSegments(); m_.SetAux1(false); break;
    case 10: m_.FlushSegments(); m_.SetAux2(true); break;
    case 11: m_.FlushSegments(); m_.SetAux2(false); break;
    case 24:
      m_.FlushSegments();
      s_.LaserMode = true;
      m_.SetLaserSegments(true);
      m_.SetLaser(true);
      break;
    case 26: m_.FlushSegments(); m_.SetLaser(false); break;
    // The program ends here: what follows (subprograms after M30, leftovers) is not run.
    case 2: case 30: s_.ProgramEnded = true; break;
    default: break;
  }
  return true;
}

}  // namespace wendlar
