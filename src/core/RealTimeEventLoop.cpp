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

namespace {
// Serial bytes do not wake the loop, so a general wait looks every millisecond.
constexpr int64_t kOutsideEventSliceUs = 1000;
// A wait on timers alone still sees a Ctrl+C within this.
constexpr int64_t kSignalSliceUs = 10000;
}  // namespace

bool RealTimeEventLoop::WaitUntil(const std::function<bool()>& done, int64_t timeoutMs) {
  return Wait(done, timeoutMs, kOutsideEventSliceUs);
}

bool RealTimeEventLoop::WaitForTimers(const std::function<bool()>& done, int64_t timeoutMs) {
  return Wait(done, timeoutMs, kSignalSliceUs);
}

bool RealTimeEventLoop::Wait(const std::function<bool()>& done, int64_t timeoutMs, int64_t longestSleepUs) {
  const int64_t deadline = NowUs() + timeoutMs * 1000;
  for (;;) {
    if (done()) return true;
    if (NowUs() >= deadline) return false;
    if (RunDue()) continue;
    int64_t sleepUs = UsUntilNextEvent();
    if (sleepUs < 0 || sleepUs > longestSleepUs) sleepUs = longestSleepUs;
    sleepUs = std::min(sleepUs, std::max<int64_t>(0, deadline - NowUs()));
    if (sleepUs > 0) std::this_thread::sleep_for(std::chrono::microseconds(sleepUs));
  }
}

}  // namespace wendlar
