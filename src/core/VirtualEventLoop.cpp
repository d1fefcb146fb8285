#include "core/VirtualEventLoop.h"

#include <algorithm>

namespace wendlar {

VirtualEventLoop::VirtualEventLoop(std::chrono::system_clock::time_point wallClockAtStart)
    : wallStart_(wallClockAtStart) {}

std::chrono::system_clock::time_point VirtualEventLoop::DefaultStart() {
  return std::chrono::system_clock::time_point(std::chrono::seconds(1767600000));
}

void VirtualEventLoop::PumpMessages() {
  nowUs_ += kPumpCostUs;
  RunDue();
}

std::chrono::system_clock::time_point VirtualEventLoop::WallClock() const {
  return wallStart_ + std::chrono::microseconds(nowUs_);
}

void VirtualEventLoop::Charge(int64_t costUs) { nowUs_ += std::max<int64_t>(0, costUs); }

bool VirtualEventLoop::WaitUntil(const std::function<bool()>& done, int64_t timeoutMs) {
  const int64_t deadline = nowUs_ + timeoutMs * 1000;
  for (;;) {
    if (done()) return true;
    if (nowUs_ >= deadline) return false;
    PumpMessages();
    if (done()) return true;
    // Jump to the next due event; with none left nothing can end this wait.
    const int64_t untilNext = UsUntilNextEvent();
    if (untilNext < 0) return false;
    nowUs_ = std::min(deadline, nowUs_ + untilNext);
  }
}

void VirtualEventLoop::PumpFor(int64_t durationUs) {
  const int64_t end = nowUs_ + std::max<int64_t>(0, durationUs);
  PumpMessages();
  while (nowUs_ < end) {
    const int64_t untilNext = UsUntilNextEvent();
    nowUs_ = untilNext < 0 ? end : std::min(end, nowUs_ + std::max<int64_t>(untilNext, 1));
    RunDue();
  }
}

void VirtualEventLoop::BusyPasses(int passes, int64_t workCostUs) {
  const int64_t passUs = std::max<int64_t>(0, workCostUs) + kPumpCostUs;
  while (passes > 0) {
    // The pass at which the next timer or posted work falls due, counted from this one.
    int64_t run = passes;
    const int64_t untilNext = UsUntilNextEvent();
    if (untilNext >= 0) run = std::clamp<int64_t>((untilNext + passUs - 1) / passUs, 1, passes);
    nowUs_ += run * passUs;
    passes -= static_cast<int>(run);
    RunDue();
  }
}

void VirtualEventLoop::RunFor(int64_t durationMs) {
  const int64_t end = nowUs_ + durationMs * 1000;
  while (nowUs_ < end) {
    RunDue();
    const int64_t untilNext = UsUntilNextEvent();
    if (untilNext < 0) break;
    nowUs_ = std::min(end, nowUs_ + std::max<int64_t>(untilNext, 1));
  }
  nowUs_ = std::max(nowUs_, end);
  RunDue();
}

}  // namespace wendlar
