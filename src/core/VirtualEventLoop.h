// The deterministic loop on a virtual clock, for tests and --fast runs.
#pragma once

#include "core/TimerLoop.h"

namespace wendlar {

// Busy work costs virtual time in proportion to its work, so calibrated pauses and
// polling rates behave as on a real machine while a long job runs in milliseconds.
class VirtualEventLoop : public TimerLoop {
 public:
  // Virtual cost of one PumpMessages() pass.
  static constexpr int64_t kPumpCostUs = 2;

  explicit VirtualEventLoop(std::chrono::system_clock::time_point wallClockAtStart = DefaultStart());

  void PumpMessages() override;
  int64_t NowUs() const override { return nowUs_; }
  std::chrono::system_clock::time_point WallClock() const override;
  void Charge(int64_t costUs) override;
  bool WaitUntil(const std::function<bool()>& done, int64_t timeoutMs) override;
  bool IsVirtual() const override { return true; }
  void PumpFor(int64_t durationUs) override;
  // Passes in which nothing falls due are charged in one step, so a pause costs the same
  // virtual time and fires the same timers at the same passes as pass-by-pass pumping.
  void BusyPasses(int passes, int64_t workCostUs) override;

  // Moves the clock forward, firing every timer that falls due on the way.
  void RunFor(int64_t durationMs);

  // 2026-01-05 08:00:00 UTC: a fixed time of day so fault-history lines repeat.
  static std::chrono::system_clock::time_point DefaultStart();

 private:
  int64_t nowUs_ = 0;
  std::chrono::system_clock::time_point wallStart_;
};

}  // namespace wendlar
