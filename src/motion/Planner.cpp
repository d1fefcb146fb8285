#include "motion/Planner.h"

#include <algorithm>
#include <cmath>

#include "core/Numbers.h"

namespace wendlar {

namespace {

// Direction of one segment as percentages of its dominant axis, with the signs apart.
struct Profile {
  double pct[3];
  bool neg[3];
  double length;
  uint8_t axis;  // 1 X, 2 Y, 3 Z
};

Profile ProfileOf(int32_t dx, int32_t dy, int32_t dz) {
  // A zero delta counts as a hundredth of a step so every ratio is defined.
  const double d[3] = {dx != 0 ? dx : 0.01, dy != 0 ? dy : 0.01, dz != 0 ? dz : 0.01};
  const double ax = std::fabs(d[0]), ay = std::fabs(d[1]), az = std::fabs(d[2]);
  Profile p;
  int dom;
  if (ax > ay && ax > az) dom = 0;
  else if (ax <= ay && ay > az) dom = 1;
  else dom = 2;
  p.axis = static_cast<uint8_t>(dom + 1);
  p.length = std::fabs(d[dom]);
  const double scale = 100.0 / p.length;
  for (int a = 0; a < 3; ++a) {
    p.pct[a] = a == dom ? 100.0 : std::fabs(d[a]) * scale;
    p.neg[a] = d[a] < 0;
  }
  return p;
}

// Severity 1..100 of the corner from a into b: the largest change of any axis' share, a
// reversal counting as the sum of both shares.
int Severity(const Profile& a, const Profile& b) {
  double worst = 0.0;
  for (int i = 0; i < 3; ++i) {
    const double change = a.neg[i] != b.neg[i] ? a.pct[i] + b.pct[i] : std::fabs(a.pct[i] - b.pct[i]);
    worst = std::max(worst, change);
  }
  if (worst < 150.0) worst /= 2.0;
  return static_cast<int>(std::clamp<int64_t>(Nearest(worst), 1, 100));
}

}  // namespace

void PlanSegments(SegmentStore& s, int k, const SpeedTables& tables, MachineConfig& config, bool laser) {
  k = std::clamp(k, 0, SegmentStore::kMaxSegments);
  const int ceiling = tables.FeedSpeedIndex();
  config.Vel_ceiling = static_cast<uint16_t>(ceiling);
  if (k == 0) return;

  uint8_t* flags = s.SegFlags.data();
  uint8_t* corner = s.SegCorner.data();
  uint8_t* speed = s.SegSpeed.data();
  double* length = s.SegLength.data();

  // Directions, corners, sharp corners and short segments.
  const double shortLength = config.Short_vlen_steps * config.Xscale;
  const int sharp = config.Sharp_ang_paz;
  Profile prev{};
  corner[1] = kCornerStop;  // every buffer starts from rest
  for (int i = 1; i <= k; ++i) {
    const Profile cur = ProfileOf(s.SegDX[i], s.SegDY[i], s.SegDZ[i]);
    length[i] = cur.length;
    flags[i] = static_cast<uint8_t>(cur.axis | (shortLength > cur.length ? kSegShort : 0));
    if (i >= 2) {
      int c = Severity(prev, cur);
      if (sharp <= c) {
        flags[i - 1] |= kSegSharpCorner;
        c = 101;
      }
      corner[i] = static_cast<uint8_t>(c);
    }
    prev = cur;
  }
  corner[k + 1] = kCornerStop;  // the buffer ends at a stop

  // Mass compensation: a run of short segments through moderate corners slows down more.
  if (config.Mass_comp >= 5) {
    const double t = static_cast<double>(Nearest(40.0 * config.Xscale));
    for (int i = 2; i <= k - 1; ++i) {
      if (length[i] < t && length[i + 1] < t && corner[i] > 7 && corner[i + 1] > 7 && corner[i] < 30) {
        corner[i] = static_cast<uint8_t>(corner[i] + 30);
      }
    }
  }

  // End speed from the corner that follows, then the caps given with each segment.
  for (int i = 1; i <= k; ++i) {
    const int c = corner[i + 1];
    int v = c >= 1 && c < 101 ? std::min<int>(tables.CornerTable[c], ceiling) : 1;
    const int cap = s.SegMaxSpeed[i];
    if (cap != 0 && cap < v) v = cap;
    speed[i] = static_cast<uint8_t>(v);
  }

  // Deceleration, backwards: a segment must be long enough for the controller to slow from
  // its start speed to its end speed. The walk is bounded by the ceiling, so a table that is
  // still empty or not increasing cannot make it run away.
  const uint16_t* ramp = tables.ControllerTable.data();
  for (int i = k; i >= 2; --i) {
    const int e = std::clamp<int>(speed[i], 1, ceiling);
    const double base = ramp[e];
    const double room = length[i];
    // Only a limit below the previous segment's speed changes it: the walk stops there.
    const int limit = std::min<int>(ceiling, speed[i - 1]);
    int j = e;
    while (j < limit && ramp[j + 1] - base <= room) ++j;
    if (speed[i - 1] > j) speed[i - 1] = static_cast<uint8_t>(j);
  }

  // Laser segments run at the speed they were given; a segment given none keeps its plan.
  if (laser) {
    for (int i = 1; i <= k; ++i) {
      if (s.SegMaxSpeed[i] != 0) speed[i] = s.SegMaxSpeed[i];
    }
    speed[k] = 10;
  }
}

}  // namespace wendlar
