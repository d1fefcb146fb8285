#include "sim/SimMotion.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace wendlar::sim {
namespace {

// Step rates of the 8-bit family's 100 speeds.
int NarrowRate(int index) {
  static constexpr int kFirst[24] = {112,  121,  135,  155,  160,  212,  248,  290,
                                     338,  392,  451,  517,  589,  667,  751,  841,
                                     940,  1042, 1154, 1274, 1399, 1524, 1652, 1781};
  static constexpr int kLast[5] = {17051, 17593, 18810, 20182, 21810};
  if (index <= 24) return kFirst[index - 1];
  if (index <= 49) return 1912 + 152 * (index - 25);
  if (index <= 74) return 5708 + 215 * (index - 50);
  if (index <= 95) return 11073 + 272 * (index - 75);
  return kLast[index - 96];
}

// The 32-bit family's speed index k steps at 60 x k per second: the host's velocity table
// for it counts 100 x k with a factor of 0.6, so a job's feed is the feed the axes really
// move at (at 100 x k every feed ran 1.67 times too fast).
constexpr double kWideRatePerIndex = 60.0;

}  // namespace

SimSpeeds::SimSpeeds(bool wideFamily) : wide_(wideFamily), count_(wideFamily ? kMostSpeeds : 100) {
  Recompute();
}

void SimSpeeds::Configure(int accelSetting, bool halfRates) {
  accelSetting_ = accelSetting;
  halfRates_ = halfRates && !wide_;
  Recompute();
}

double SimSpeeds::ComputeRate(int index) const {
  if (wide_) return kWideRatePerIndex * index;
  const int rate = NarrowRate(index);
  return halfRates_ ? rate / 2 : rate;
}

void SimSpeeds::Recompute() {
  for (int i = 1; i <= count_; ++i) rates_[static_cast<size_t>(i)] = ComputeRate(i);
  // A higher setting is a faster ramp; the clamp keeps every distance within 16 bits.
  holdUs_ = (256 - std::clamp(accelSetting_, 150, 255)) * 100;
  double sum = 0;
  ramp_[0] = 0;
  for (int i = 1; i < kRampEntries; ++i) {
    sum += RateOf(i) * static_cast<double>(holdUs_) / 1e6;
    int value = std::max(static_cast<int>(std::lround(sum)), ramp_[i - 1] + 1);
    // A true entry never looks like the marker, or the host would "repair" it.
    if (value == kMarkerWord) ++value;
    ramp_[i] = static_cast<uint16_t>(std::min(value, 65535));
  }
}

uint16_t SimSpeeds::TableWord(int i) const {
  if (!built_ || i <= 0 || i >= kRampEntries) return 0;
  return ramp_[i];
}

SimMove SimMove::Make(const Steps4& from, const Steps4& to, int startIndex, int cruiseIndex,
                      int endIndex, const SimSpeeds& speeds) {
  SimMove m;
  m.from = from;
  m.to = to;
  m.cruiseIndex = std::clamp(cruiseIndex, 1, speeds.Count());
  m.endIndex = std::min(std::clamp(endIndex, 1, speeds.Count()), m.cruiseIndex);
  m.currentIndex = std::clamp(startIndex, 1, speeds.Count());
  for (int a = 0; a < kAxes; ++a) {
    m.length = std::max(m.length, static_cast<double>(std::llabs(to[a] - from[a])));
  }
  return m;
}

Steps4 SimMove::Position() const {
  if (Done()) return to;
  Steps4 p = from;
  const double f = length > 0 ? progress / length : 1.0;
  for (int a = 0; a < kAxes; ++a) {
    // An axis that does not move stays exactly where it is.
    const int64_t d = to[a] - from[a];
    if (d != 0) p[a] += RoundSteps(static_cast<double>(d) * f);
  }
  return p;
}

int64_t SimMove::Advance(int64_t budgetUs, const SimSpeeds& speeds, double ratePercent) {
  if (Done() || budgetUs <= 0) return 0;
  const double scale = followsOverride ? std::max(ratePercent, 1.0) / 100.0 : 1.0;
  const double remaining = length - progress;
  const double toStop = speeds.RampSteps(currentIndex, endIndex) * scale;
  int ramp = 0;  // -1 slowing, +1 speeding up, 0 cruising
  if (currentIndex > endIndex && remaining <= toStop) {
    ramp = -1;
  } else if (currentIndex < cruiseIndex) {
    ramp = 1;
  } else if (currentIndex > cruiseIndex) {
    ramp = -1;
  }
  const double rate = speeds.RateOf(currentIndex) * scale;
  int64_t chunk = std::min<int64_t>(budgetUs, static_cast<int64_t>(std::ceil(remaining / rate * 1e6)));
  if (ramp != 0) {
    if (holdLeftUs <= 0) holdLeftUs = speeds.HoldUs();
    chunk = std::min(chunk, holdLeftUs);
  } else if (currentIndex > endIndex) {
    // Cruise only until the point where slowing down must begin.
    const double untilSlowing = std::ceil((remaining - toStop) / rate * 1e6);
    chunk = std::min<int64_t>(chunk, static_cast<int64_t>(std::max(untilSlowing, 1.0)));
  }
  chunk = std::max<int64_t>(chunk, 1);
  progress += rate * static_cast<double>(chunk) / 1e6;
  if (progress >= length - 1e-6) progress = length;
  if (ramp != 0) {
    holdLeftUs -= chunk;
    if (holdLeftUs <= 0) {
      currentIndex = std::max(1, currentIndex + ramp);
      holdLeftUs = speeds.HoldUs();
    }
  }
  return chunk;
}

void SimMove::StopHere() {
  const Steps4 here = Position();
  from = here;
  to = here;
  length = 0;
  progress = 0;
}

}  // namespace wendlar::sim
