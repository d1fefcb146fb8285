// The headless loop on the real monotonic clock, used by wendlar-cli.
#pragma once

#include "core/TimerLoop.h"

namespace wendlar {

class RealTimeEventLoop : public TimerLoop {
 public:
  RealTimeEventLoop();

  void PumpMessages() override;
  int64_t NowUs() const override;
  std::chrono::system_clock::time_point WallClock() const override;
  bool WaitUntil(const std::function<bool()>& done, int64_t timeoutMs) override;
  bool WaitForTimers(const std::function<bool()>& done, int64_t timeoutMs) override;

 private:
  // Sleeps at most `longestSleepUs` at a time: how late an event from outside the loop
  // (serial bytes, a signal) can be seen.
  bool Wait(const std::function<bool()>& done, int64_t timeoutMs, int64_t longestSleepUs);

  std::chrono::steady_clock::time_point start_;
};

}  // namespace wendlar
