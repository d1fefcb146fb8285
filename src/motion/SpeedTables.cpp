#include "motion/SpeedTables.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "core/Numbers.h"

namespace wendlar {

namespace {

// The 8-bit controller's timer rates for its 100 speed steps: a hand-tuned slow start,
// then four straight runs.
uint16_t Rate100(int k) {
  static constexpr uint16_t kSlowStart[24] = {112,  121,  135,  155,  160,  212,  248,  290,
                                              338,  392,  451,  517,  589,  667,  751,  841,
                                              940,  1042, 1154, 1274, 1399, 1524, 1652, 1781};
  static constexpr uint16_t kTop[5] = {17051, 17593, 18810, 20182, 21810};
  if (k <= 24) return kSlowStart[k - 1];
  if (k <= 49) return static_cast<uint16_t>(1912 + 152 * (k - 25));
  if (k <= 74) return static_cast<uint16_t>(5708 + 215 * (k - 50));
  if (k <= 95) return static_cast<uint16_t>(11073 + 272 * (k - 75));
  return kTop[k - 96];
}

// A velocity in user units per minute, held in 16 bits. A zero scale would mean infinitely
// fast steps; saturating keeps every look-up on the slowest index instead of dividing by 0.
uint16_t Velocity(double rate, double factor, double scale, double unitsFactor) {
  const double stepsPerUnit = scale * unitsFactor;
  if (!(stepsPerUnit > 0.0)) return UINT16_MAX;
  const int64_t v = Nearest(rate * 60.0 * factor / stepsPerUnit);
  return static_cast<uint16_t>(std::clamp<int64_t>(v, 0, UINT16_MAX));
}

}  // namespace

SpeedTables::SpeedTables(ConfigState& config, const HomeDir& home, const FeedSource& feeds)
    : config_(config), home_(home), feeds_(feeds) {
  BuildCornerTable();
}

bool SpeedTables::BuildSpeedTable(int n) {
  n = std::clamp(n, 1, kMaxSteps);
  const MachineConfig& cfg = config_.Config;
  const bool steps100 = n == 100;
  const double factor = steps100 ? 1.0 : 0.6;
  std::vector<std::string> lines;
  lines.reserve(static_cast<size_t>(n));
  RateTable.fill(0);
  VelTableX.fill(0);
  VelTableZ.fill(0);
  for (int k = 1; k <= n; ++k) {
    uint16_t rate;
    if (steps100) {
      rate = Rate100(k);
      if (cfg.Cut_timer == 1) rate = static_cast<uint16_t>(rate / 2);
    } else {
      rate = static_cast<uint16_t>(100 * k);
    }
    RateTable[k] = rate;
    VelTableX[k] = Velocity(rate, factor, cfg.Xscale, config_.Units.UnitsFactor);
    VelTableZ[k] = Velocity(rate, factor, cfg.Zscale, config_.Units.UnitsFactor);
    lines.push_back(std::to_string(rate) + "   " + std::to_string(VelTableX[k]));
  }
  speedSteps_ = n;
  MaxSpeedValue = VelTableX[n];
  // The caption reads ipm in metric units too.
  if (ShowMaxVelocity) ShowMaxVelocity("Max avail Velocity " + std::to_string(MaxSpeedValue) + " ipm");
  std::string why;
  if (home_.WriteLinesAtomic(kSpeedTableFile, lines, &why)) return true;
  if (ReportWriteError) ReportWriteError("Cannot save " + home_.Resolve(kSpeedTableFile).string() + ": " + why);
  return false;
}

int SpeedTables::Search(const std::array<uint16_t, kMaxSteps + 1>& table, int v) const {
  for (int k = 1; k <= speedSteps_; ++k) {
    if (table[k] >= v) return k;
  }
  return speedSteps_;
}

int SpeedTables::SpeedIndexOf(int v) const {
  return Search(VelTableX, std::min(v, static_cast<int>(config_.Config.Z_raise_vel)));
}

int SpeedTables::VelocityIndexOf(int v) const { return Search(VelTableX, v); }

int SpeedTables::FeedSpeedIndex() const {
  if (feeds_.UseFeed()) return ClampIndex(feeds_.FeedIndex());
  int64_t feed = feeds_.JobMode() == 1 ? feeds_.SpoolXYFeed() : Nearest(feeds_.CurrentFeed());
  feed = std::min<int64_t>(feed, config_.Config.CV_Max);
  return Search(VelTableX, static_cast<int>(std::max<int64_t>(feed, INT32_MIN)));
}

int SpeedTables::PlungeSpeedIndex(int feedIdx) const {
  int feed = feeds_.UseFeed() ? feedIdx : feeds_.SpoolZFeed();
  feed = std::min(feed, static_cast<int>(config_.Config.Z_raise_vel));
  // The index found is looked up once more as if it were a velocity, as the controller's
  // plunge speeds have always been chosen.
  return SpeedIndexOf(Search(VelTableZ, feed));
}

void SpeedTables::BuildCornerTable() {
  CornerTable[0] = 0;
  for (int c = 1; c <= kCornerEntries; ++c) {
    uint8_t v;
    if (c <= 2) v = 100;
    else if (c <= 5) v = 90;
    else if (c <= 10) v = 70;
    else if (c <= 20) v = 60;
    else if (c <= 40) v = 50;
    else if (c <= 61) v = 40;
    else v = 35;
    CornerTable[c] = v;
  }
}

int SpeedTables::ClampIndex(int v) const { return std::clamp(v, 1, speedSteps_); }

}  // namespace wendlar
