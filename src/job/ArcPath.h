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

}  // namespace wendlar
