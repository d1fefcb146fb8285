#include "core/EventLoop.h"

#include <algorithm>
#include <thread>

namespace wendlar {

namespace {
// Longest sleep between two pumps of a pause: timers stay within a millisecond of due.
constexpr int64_t kPauseSliceUs = 1000;
}  // namespace

void EventLoop::PumpFor(int64_t durationUs) {
  const int64_t end = NowUs() + std::max<int64_t>(0, durationUs);
  for (;;) {
    PumpMessages();
    const int64_t leftUs = end - NowUs();
    if (leftUs <= 0) return;
    std::this_thread::sleep_for(std::chrono::microseconds(std::min(leftUs, kPauseSliceUs)));
  }
}

void EventLoop::BusyPasses(int passes, int64_t workCostUs) {
  for (int pass = 0; pass < passes; ++pass) {
    Charge(workCostUs);
    PumpMessages();
  }
}

}  // namespace wendlar
