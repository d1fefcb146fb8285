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
  // A pause watches nothing from outside, so it sleeps until its end or the next timer,
  // whichever comes first, not in slices: each wake-up costs a streaming job CPU.
  void PumpFor(int64_t durationUs) override;

 private:
  std::chrono::steady_clock::time_point start_;
};

}  // namespace wendlar
