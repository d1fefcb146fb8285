// Chord points of a circular arc in the XY plane, for the G-code reader and the spooler engine.
#pragma once

#include <cstdint>

namespace wendlar {

// Angle of (dx, dy) from the +Y direction towards +X, in [0, 2π).
double ArcAngle(double dx, double dy);

// How finely to cut: the chord resolution and where it coarsens. Lengths in the caller's unit.
struct ArcResolution {
  double Res = 0;            // Arc_rez (user units) or its step equivalent (file units)
  double Scale = 1;          // the X scale the resolution is divided by
  double CoarseRadius = 30;  // radii above 1×, 2× and 10/3× of this double the resolution
  double MinRes = 0;         // floor of Res, so the chord never shrinks to nothing
  double MinRadius = 0;      // radii at or below this make no motion
  double MaxStep = 0;        // cap of the angle step in radians; 0 none
};

// An arc cut into chords: point k (0..Chords) lies at the start angle advanced by k steps,
// then the end angle follows. A start equal to the end is a full circle.
struct ArcPlan {
  double CentreX = 0, CentreY = 0, Radius = 0;
  double StartAngle = 0, EndAngle = 0, Step = 0, Sweep = 0;
  bool Clockwise = true;
  bool Empty = true;  // no motion at all (zero radius)
  int64_t Chords = 0;

  // Angle of point k; Chords + 1 gives the end angle.
  double AngleAt(int64_t k) const;
  // True when the arc passes the angle (taken modulo a turn).
  bool Sweeps(double angle) const;
  double XAt(double angle) const;
  double YAt(double angle) const;
};

// Plans the arc from (startX, startY) about the centre towards the angle of (endX, endY).
ArcPlan PlanArc(double startX, double startY, double centreX, double centreY, double endX, double endY,
                bool clockwise, const ArcResolution& res);

// The points of a plan in order, k = 0 .. Chords + 1, without a sine and a cosine for each: a
// rotation by the step carries them from one point to the next and is seeded exactly every
// few points and at the end. Rounding a point goes through Rounded, which checks that the
// rounding cannot tell the rotated point from XAt/YAt of AngleAt(k) and takes the exact one
// when it could, so callers get the very values the exact points give.
class ArcWalk {
 public:
  // Starts at point 0.
  explicit ArcWalk(const ArcPlan& plan);
  // Moves to the next point; false past the end point.
  bool Next();
  int64_t Index() const { return k_; }
  // round(XAt(AngleAt(k))) and round(YAt(AngleAt(k))) for a rounding that never decreases
  // (or never increases) with its argument, as rounding a scaled length does.
  template <class Round>
  auto RoundedX(Round round) const {
    return Rounded(x_, true, round);
  }
  template <class Round>
  auto RoundedY(Round round) const {
    return Rounded(y_, false, round);
  }

 private:
  // Even a seeded point is checked: the compiler may take sine and cosine in one call.
  template <class Round>
  auto Rounded(double v, bool isX, Round round) const {
    auto low = round(v - error_), high = round(v + error_);
    if (low == high) return low;
    const double a = plan_.AngleAt(k_);
    return round(isX ? plan_.XAt(a) : plan_.YAt(a));
  }
  void Seed();

  const ArcPlan& plan_;
  int64_t k_ = 0;
  double sin_ = 0, cos_ = 0, stepSin_ = 0, stepCos_ = 0;
  double x_ = 0, y_ = 0, error_ = 0;
};

}  // namespace wendlar
