// Step rates, the controller's own ramp-distance table, and straight moves that take time.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>

#include "sim/SimTypes.h"

namespace wendlar::sim {

// Table entries kept beyond the last speed, so a five-word read near the top stays increasing.
inline constexpr int kRampEntries = 260;
// Speed indexes of the 32-bit family, the larger one.
inline constexpr int kMostSpeeds = 250;

// Speed indexes, their step rates and how far a ramp between two of them runs.
class SimSpeeds {
 public:
  explicit SimSpeeds(bool wideFamily);

  // 100 on the 8-bit family, kMostSpeeds on the 32-bit one.
  int Count() const { return count_; }
  // Takes the acceleration setting (record 11 b1; higher is faster) and the contour speed
  // range (b3; 1 halves the 8-bit rates), and recomputes the ramps.
  void Configure(int accelSetting, bool halfRates);
  int AccelSetting() const { return accelSetting_; }
  // Step rate of a speed index (clamped to 1..Count()), in steps per second. Inline and
  // from a table: a move asks for it at every advance.
  double RateOf(int index) const { return rates_[static_cast<size_t>(std::clamp(index, 1, count_))]; }
  // Time spent at each speed index while ramping.
  int64_t HoldUs() const { return holdUs_; }
  // Steps needed to slow from index `from` down to index `to` (0 when to >= from).
  double RampSteps(int from, int to) const {
    from = std::clamp(from, 0, kRampEntries - 1);
    to = std::clamp(to, 0, kRampEntries - 1);
    return to >= from ? 0.0 : static_cast<double>(ramp_[static_cast<size_t>(from)] - ramp_[static_cast<size_t>(to)]);
  }

  // Record 30: makes the table readable. A hardware reset forgets it.
  void BuildTable() { built_ = true; }
  void ForgetTable() { built_ = false; }
  bool TableBuilt() const { return built_; }
  // Entry `i` of the table as the read-back sees it: the ramp distance up to speed index i,
  // 0 before the table is built. Entry 0 and out-of-range entries read 0.
  uint16_t TableWord(int i) const;

 private:
  void Recompute();
  double ComputeRate(int index) const;

  bool wide_;
  int count_;
  int accelSetting_ = 210;
  bool halfRates_ = false;
  int64_t holdUs_ = 0;
  bool built_ = false;
  std::array<uint16_t, kRampEntries> ramp_{};
  std::array<double, kMostSpeeds + 1> rates_{};  // by speed index, 1..count_
};

// std::llround without the library call (the position of a move is rounded at every advance):
// half away from zero, exact for |x| < 2^62. Truncation and the fraction it leaves are exact.
inline int64_t RoundSteps(double x) {
  const auto whole = static_cast<int64_t>(x);
  const double fraction = x - static_cast<double>(whole);
  if (fraction >= 0.5) return whole + 1;
  if (fraction <= -0.5) return whole - 1;
  return whole;
}

// A straight move between two physical positions, all axes arriving together, with the
// dominant axis ramping up from the start speed to the cruise speed and down to the end
// speed in time to stop at the target.
struct SimMove {
  Steps4 from{};
  Steps4 to{};
  int cruiseIndex = 1;
  int endIndex = 1;
  int currentIndex = 1;
  bool followsOverride = false;  // feed moves follow the feed override
  double length = 0;             // dominant-axis steps
  double progress = 0;
  int64_t holdLeftUs = 0;

  // Prepares a move; start, cruise and end indexes are clamped to 1..speeds.Count().
  static SimMove Make(const Steps4& from, const Steps4& to, int startIndex, int cruiseIndex,
                      int endIndex, const SimSpeeds& speeds);
  bool Done() const { return progress >= length; }
  // Where the axes are now (the target exactly once done).
  Steps4 Position() const;
  // Runs the move for at most budgetUs; returns the time used (at least 1 unless done).
  int64_t Advance(int64_t budgetUs, const SimSpeeds& speeds, double ratePercent);
  // Shortens the move so that it ends where it is now (a jog stop or a fault).
  void StopHere();
};

}  // namespace wendlar::sim
