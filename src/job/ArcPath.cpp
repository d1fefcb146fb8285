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

}  // namespace wendlar
