#include "core/RealTimeEventLoop.h"

#include <algorithm>
#include <thread>

namespace wendlar {

RealTimeEventLoop::RealTimeEventLoop() : start_(std::chrono::steady_clock::now()) {}

void RealTimeEventLoop::PumpMessages() { RunDue(); }

int64_t RealTimeEventLoop::NowUs() const {
  return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start_)
      .count();
}

std::chrono::system_clock::time_point RealTimeEventLoop::WallClock() const {
  return std::chrono::system_clock::now();
}

bool RealTimeEventLoop::WaitUntil(const std::function<bool()>& done, int64_t timeoutMs) {
  const int64_t deadline = NowUs() + timeoutMs * 1000;
  for (;;) {
    if (done()) return true;
    if (NowUs() >= deadline) return false;
    if (RunDue()) continue;
    // Outside events (serial bytes, signals) do not wake the loop, so sleep at most 1 ms.
    int64_t sleepUs = UsUntilNextEvent();
    if (sleepUs < 0 || sleepUs > 1000) sleepUs = 1000;
    sleepUs = std::min(sleepUs, std::max<int64_t>(0, deadline - NowUs()));
    if (sleepUs > 0) std::this_thread::sleep_for(std::chrono::microseconds(sleepUs));
  }
}

}  // namespace wendlar
