#include "job/ArcPath.h"

#include <algorithm>
#include <cmath>

namespace wendlar {

namespace {
constexpr double kTwoPi = 2.0 * M_PI;
// Start and end angles closer than this are one point: a full circle.
constexpr double kSameAngle = 1e-9;
// The finest chord angle: a turn in 16384 chords keeps every chord within 0.16 step of the
// circle for any radius the 24-bit step range allows, so finer would only multiply packets
// (and a huge radius would make a count no integer holds).
constexpr double kMinStepAngle = kTwoPi / 16384;
// Points a rotation carries before it is seeded again. Each rotation adds well under 1e-15
// to the sine and cosine, and the angles of the exact points are rounded by a few 1e-15:
// kRotationError bounds the drift with a wide margin.
constexpr int64_t kReseedEvery = 32;
constexpr double kRotationError = 1e-12;
// The rounding of the centre plus radius times the sine, in units of their size.
constexpr double kSumError = 1e-15;
}  // namespace

double ArcAngle(double dx, double dy) {
  if (dy == 0.0) dy = 0.00001;
  double a = std::atan(dx / dy);
  if (dy < 0) {
    a += M_PI;
  } else if (dx < 0) {
    a += kTwoPi;
  }
  return a;
}

double ArcPlan::AngleAt(int64_t k) const {
  if (k > Chords) return EndAngle;
  double d = static_cast<double>(k) * Step;
  return Clockwise ? StartAngle + d : StartAngle - d;
}

bool ArcPlan::Sweeps(double angle) const {
  double from = Clockwise ? angle - StartAngle : StartAngle - angle;
  from = std::fmod(from, kTwoPi);
  if (from < 0) from += kTwoPi;
  return from <= Sweep;
}

double ArcPlan::XAt(double angle) const { return CentreX + Radius * std::sin(angle); }
double ArcPlan::YAt(double angle) const { return CentreY + Radius * std::cos(angle); }

ArcPlan PlanArc(double startX, double startY, double centreX, double centreY, double endX, double endY,
                bool clockwise, const ArcResolution& res) {
  ArcPlan p;
  p.CentreX = centreX;
  p.CentreY = centreY;
  p.Clockwise = clockwise;
  p.Radius = std::hypot(startX - centreX, startY - centreY);
  if (!std::isfinite(p.Radius) || p.Radius <= res.MinRadius) return p;

  double start = ArcAngle(startX - centreX, startY - centreY);
  double end = ArcAngle(endX - centreX, endY - centreY);
  if (std::fabs(start - end) < kSameAngle) {
    // Back at the start: the whole circle, as CAM programs write a round hole.
    end = start;
    if (clockwise) end += kTwoPi; else start += kTwoPi;
  } else if (clockwise) {
    if (start > end) end += kTwoPi;
  } else if (end > start) {
    start += kTwoPi;
  }
  p.StartAngle = start;
  p.EndAngle = end;
  p.Sweep = clockwise ? end - start : start - end;

  double r = p.Radius;
  double rez = res.Res;
  if (!(rez >= res.MinRes)) rez = res.MinRes;  // also catches NaN
  if (r > res.CoarseRadius) rez *= 2;
  if (r > 2 * res.CoarseRadius) rez *= 4;
  if (r > res.CoarseRadius * 100.0 / 30.0) rez *= 8;
  double step = 6.28 / ((3.14 * r * res.Scale) / rez);
  if (!std::isfinite(step) || step <= 0) step = p.Sweep;  // a scale of 0: one chord
  if (res.MaxStep > 0 && step > res.MaxStep) step = res.MaxStep;
  step = std::max(step, kMinStepAngle);
  p.Step = step;
  p.Chords = step > 0 ? static_cast<int64_t>(std::floor(p.Sweep / step)) : 0;
  p.Empty = false;
  return p;
}

ArcWalk::ArcWalk(const ArcPlan& plan) : plan_(plan) {
  const double delta = plan.Clockwise ? plan.Step : -plan.Step;
  stepSin_ = std::sin(delta);
  stepCos_ = std::cos(delta);
  const double size = std::max(std::fabs(plan.CentreX), std::fabs(plan.CentreY)) + plan.Radius;
  error_ = plan.Radius * kRotationError + size * kSumError;
  Seed();
}

void ArcWalk::Seed() {
  const double a = plan_.AngleAt(k_);
  sin_ = std::sin(a);
  cos_ = std::cos(a);
  x_ = plan_.CentreX + plan_.Radius * sin_;
  y_ = plan_.CentreY + plan_.Radius * cos_;
}

bool ArcWalk::Next() {
  ++k_;
  if (k_ > plan_.Chords + 1) return false;
  if (k_ > plan_.Chords || k_ % kReseedEvery == 0) {
    Seed();
    return true;
  }
  const double s = sin_ * stepCos_ + cos_ * stepSin_;
  cos_ = cos_ * stepCos_ - sin_ * stepSin_;
  sin_ = s;
  x_ = plan_.CentreX + plan_.Radius * sin_;
  y_ = plan_.CentreY + plan_.Radius * cos_;
  return true;
}

}  // namespace wendlar
