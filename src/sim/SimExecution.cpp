// Execution in time: records taken from the ring one at a time, moves, dwells, jogs,
// homing and probing advanced lazily up to the clock's now.
#include <algorithm>
#include <cmath>
#include <utility>

#include "sim/SimController.h"

namespace wendlar::sim {
namespace {

constexpr int64_t kMax24 = (1 << 23) - 1;
constexpr int64_t kMin24 = -(1 << 23);

}  // namespace

void SimController::AdvanceTo(int64_t nowUs) {
  for (;;) {
    while (SettleInstant()) {
    }
    if (simUs_ >= nowUs) return;
    if (activity_.empty() || Held()) {
      if (activity_.empty()) {
        // A running job whose buffer ran dry is starving, not finished.
        if (running_ && jobFed_ && head_ == tail_ && !Held() && !Blocked()) {
          if (!starving_) ++starvations_;
          starving_ = true;
          starvedUs_ += nowUs - simUs_;
        }
        carryIndex_ = 0;
      }
      simUs_ = nowUs;
      return;
    }
    simUs_ += RunFrontStep(nowUs - simUs_);
  }
}

bool SimController::Held() const {
  const bool doorHold = doorOpen_ && !options_.plasma && (optionFlags_ & kOptDoorInterlock);
  return paused_ || doorHold;
}

bool SimController::Blocked() const { return stopButtonLatched_ || overtravelLatched_; }

bool SimController::SettleInstant() {
  if (Held()) return false;
  if (!activity_.empty()) {
    Step& step = activity_.front();
    if (step.kind == Step::Kind::kAction) {
      auto action = std::move(step.action);
      activity_.pop_front();
      stepStarted_ = false;
      if (action) action();
      return true;
    }
    if (!stepStarted_) {
      stepStarted_ = true;
      if (step.kind == Step::Kind::kDwell) {
        dwellLeftUs_ = step.dwellUs;
      } else {
        BeginMove(step);
      }
    }
    const bool done = step.kind == Step::Kind::kDwell ? dwellLeftUs_ <= 0 : move_.Done();
    if (done) {
      FinishFrontStep();
      return true;
    }
    return false;
  }
  if (Blocked() || abandoned_ || head_ == tail_) return false;
  const Record r = ring_[static_cast<size_t>(tail_)];
  tail_ = (tail_ + 1) % BufferSize();
  StartBuffered(r);
  return true;
}

void SimController::BeginMove(Step& step) {
  const Steps4 from = physical_;
  Steps4 to = step.target ? step.target(from) : from;
  for (int a = 0; a < kAxes; ++a) {
    // The position report is 24 bits wide: nothing travels beyond what it can show.
    to[a] = std::clamp(to[a], kMin24 - offset_[a], kMax24 - offset_[a]);
  }
  faultAtMoveEnd_ = false;
  if (optionFlags_ & kOptLimitsEnabled) {
    // Cut the move where it first leaves the travel range outward, and trip there.
    const SimWorld& w = options_.world;
    double cut = 1.0;
    for (int a = 0; a < kAxes; ++a) {
      const double d = static_cast<double>(to[a] - from[a]);
      if (to[a] > w.travelMax[a] && d > 0) {
        cut = std::min(cut, std::max(0.0, static_cast<double>(w.travelMax[a] - from[a]) / d));
      } else if (to[a] < w.travelMin[a] && d < 0) {
        cut = std::min(cut, std::max(0.0, static_cast<double>(w.travelMin[a] - from[a]) / d));
      }
    }
    if (cut < 1.0) {
      for (int a = 0; a < kAxes; ++a) {
        to[a] = from[a] + std::llround(static_cast<double>(to[a] - from[a]) * cut);
      }
      faultAtMoveEnd_ = true;
    }
  }
  const int start = step.startIndex >= 1 ? step.startIndex : std::max(1, carryIndex_);
  move_ = SimMove::Make(from, to, start, step.cruiseIndex, step.endIndex, speeds_);
  move_.followsOverride = step.feed;
  if (!step.feed) carryIndex_ = 0;
}

void SimController::FinishFrontStep() {
  const Step::Kind kind = activity_.front().kind;
  const bool feed = activity_.front().feed;
  if (kind != Step::Kind::kDwell) {
    physical_ = move_.Position();
    carryIndex_ = feed ? move_.currentIndex : 0;
  }
  activity_.pop_front();
  stepStarted_ = false;
  if (faultAtMoveEnd_) {
    faultAtMoveEnd_ = false;
    Fault(true);
  }
}

int64_t SimController::RunFrontStep(int64_t budgetUs) {
  const Step& step = activity_.front();
  if (!stepStarted_) return 0;
  if (step.kind == Step::Kind::kDwell) {
    const int64_t used = std::min(budgetUs, dwellLeftUs_);
    dwellLeftUs_ -= used;
    if (dwellLeftUs_ <= 0) FinishFrontStep();
    return used;
  }
  // Nothing looks at the machine between the chunks of one advance (each is one speed
  // index's hold or the cruise up to the slowing point), so the position is worked out once.
  const double ratePercent = 100.0 + feedOverride_;
  int64_t used = 0;
  while (used < budgetUs && !move_.Done()) used += move_.Advance(budgetUs - used, speeds_, ratePercent);
  if (move_.Done()) {
    FinishFrontStep();
  } else {
    physical_ = move_.Position();
  }
  return used;
}

void SimController::EndJob() {
  running_ = false;
  starving_ = false;
  lastJobRunUs_ = simUs_ - jobStartUs_;
}

void SimController::PushMove(std::function<Steps4(const Steps4&)> target, int startIndex, int cruiseIndex,
                             int endIndex, bool feed, bool jog) {
  Step step;
  step.kind = jog ? Step::Kind::kJog : Step::Kind::kMove;
  step.target = std::move(target);
  step.startIndex = startIndex;
  step.cruiseIndex = cruiseIndex;
  step.endIndex = endIndex;
  step.feed = feed;
  activity_.push_back(std::move(step));
}

void SimController::PushAction(std::function<void()> action) {
  Step step;
  step.kind = Step::Kind::kAction;
  step.action = std::move(action);
  activity_.push_back(std::move(step));
}

void SimController::PushDwell(int64_t us) {
  Step step;
  step.kind = Step::Kind::kDwell;
  step.dwellUs = us;
  activity_.push_back(std::move(step));
}

void SimController::StartHoming(uint8_t axisMask, int speed, int64_t clearance) {
  const SimWorld& w = options_.world;
  const Steps4 switches = w.homeSwitch;
  // Towards the switches, then the switch is zero, then back off by the clearance.
  PushMove(
      [axisMask, switches](const Steps4& p) {
        Steps4 t = p;
        for (int a = 0; a < kAxes; ++a) {
          if (axisMask & (1 << a)) t[a] = std::min(t[a], switches[a]);
        }
        return t;
      },
      1, std::max(speed, 1), 1, false);
  PushAction([this, axisMask] {
    for (int a = 0; a < kAxes; ++a) {
      if (axisMask & (1 << a)) offset_[a] = -physical_[a];
    }
  });
  PushMove(
      [axisMask, clearance](const Steps4& p) {
        Steps4 t = p;
        for (int a = 0; a < kAxes; ++a) {
          if (axisMask & (1 << a)) t[a] += clearance;
        }
        return t;
      },
      1, std::max(speed, 1), 1, false);
}

void SimController::StartJog(uint8_t direction, int speed, bool single) {
  const int axisBits = direction >> 4;
  const int a = axisBits == 1 ? kX : axisBits == 2 ? kY : axisBits == 4 ? kZ : axisBits == 8 ? kW : -1;
  if (a < 0) return;
  // A low nibble of F counts steps up on every axis, 0 counts them down.
  const int sign = (direction & 0x0F) ? 1 : -1;
  const int64_t stepSteps = options_.jogStepSteps;
  PushMove(
      [a, sign, single, stepSteps](const Steps4& p) {
        Steps4 t = p;
        t[a] = single ? p[a] + sign * stepSteps : (sign > 0 ? kMax24 * 4 : kMin24 * 4);
        return t;
      },
      1, std::max(speed, 1), 1, false, !single);
}

void SimController::CancelJogs() {
  Update();
  if (!activity_.empty() && activity_.front().kind == Step::Kind::kJog) {
    if (stepStarted_) {
      move_.StopHere();
      physical_ = move_.to;
    }
    activity_.pop_front();
    stepStarted_ = false;
    faultAtMoveEnd_ = false;
  }
  // A jog start still waiting in the ring was released before it began.
  for (int i = tail_; i != head_; i = (i + 1) % BufferSize()) {
    Record& r = ring_[static_cast<size_t>(i)];
    if (r[0] == kJogStart) r[0] = 0;
  }
}

namespace {
double Bump(const SimWorld& w, int64_t x, int64_t y) {
  if (w.bumpRadius <= 0 || w.bumpHeight == 0) return 0;
  const double d = std::hypot(static_cast<double>(x - w.bumpX), static_cast<double>(y - w.bumpY));
  if (d >= static_cast<double>(w.bumpRadius)) return 0;
  return static_cast<double>(w.bumpHeight) * 0.5 * (1 + std::cos(M_PI * d / static_cast<double>(w.bumpRadius)));
}
}  // namespace

int64_t SimController::SurfaceZ(int64_t x, int64_t y) const {
  const SimWorld& w = options_.world;
  const bool onStock = x >= w.stockEdgeX && y >= w.stockEdgeY;
  if (!onStock) return w.tableZ;
  const double top = static_cast<double>(w.stockTopZ) + w.stockSlopeX * static_cast<double>(x - w.stockEdgeX) +
                     w.stockSlopeY * static_cast<double>(y - w.stockEdgeY) - Bump(w, x, y);
  const bool onPad = x >= w.padMinX && x <= w.padMaxX && y >= w.padMinY && y <= w.padMaxY;
  return std::llround(top) - (onPad ? w.padThickness : 0);
}

Steps4 SimController::Physical(const Steps4& reported) const {
  Steps4 p{};
  for (int a = 0; a < kAxes; ++a) p[a] = reported[a] - offset_[a];
  return p;
}

void SimController::StartProbe(const Record& r) {
  const int64_t x = static_cast<int64_t>(r[1] | (r[2] << 8) | (r[3] << 16));
  const int64_t y = static_cast<int64_t>(r[4] | (r[5] << 8) | (r[6] << 16));
  const auto sx = (r[3] & 0x80) ? x - (1 << 24) : x;
  const auto sy = (r[6] & 0x80) ? y - (1 << 24) : y;
  const Steps4 target = Physical(Steps4{sx, sy, 0, 0});
  const int xySpeed = std::max<int>(r[7], 1);
  const int zSpeed = std::max<int>(r[8], 1);
  const int64_t retract = options_.world.probeRetract;
  const int64_t top = options_.world.homeSwitch[kZ];
  // Lift off the surface, go over the next point, then down until the probe touches.
  PushMove([retract, top](const Steps4& p) { Steps4 t = p; t[kZ] = std::max(top, p[kZ] - retract); return t; }, 1,
           zSpeed, 1, false);
  PushMove([target](const Steps4& p) { return Steps4{target[kX], target[kY], p[kZ], p[kW]}; }, 1, xySpeed, 1,
           false);
  PushMove([this](const Steps4& p) { Steps4 t = p; t[kZ] = std::max(p[kZ], SurfaceZ(p[kX], p[kY])); return t; },
           1, zSpeed, 1, false);
}

void SimController::StartTouchPad(const Record& r) {
  PushMove([this](const Steps4& p) { Steps4 t = p; t[kZ] = std::max(p[kZ], SurfaceZ(p[kX], p[kY])); return t; },
           1, std::max<int>(r[1], 1), 1, false);
}

void SimController::StartEdgeProbe(const Record& r) {
  const int a = r[3] == 1 ? kX : kY;
  PushMove(
      [this, a](const Steps4& p) {
        const SimWorld& w = options_.world;
        Steps4 t = p;
        const int other = a == kX ? kY : kX;
        const int64_t edge = a == kX ? w.stockEdgeX : w.stockEdgeY;
        const int64_t otherEdge = a == kX ? w.stockEdgeY : w.stockEdgeX;
        const int64_t contact = edge - w.toolRadius;
        const bool facesEdge = p[kZ] > w.stockTopZ && p[other] >= otherEdge && p[a] <= contact;
        t[a] = facesEdge ? contact : p[a] + w.probeMaxTravel;
        return t;
      },
      1, std::max<int>(r[2], 1), 1, false);
}

}  // namespace wendlar::sim
