// Timer bookkeeping shared by the headless loops (real time and virtual time).
#pragma once

#include <deque>
#include <vector>

#include "core/EventLoop.h"

namespace wendlar {

class TimerLoop : public EventLoop {
 public:
  TimerLoop();
  ~TimerLoop() override;

  std::unique_ptr<Timer> CreateTimer(int intervalMs, bool enabled, Handler handler) override;
  void Post(Handler work) override;

 protected:
  struct TimerState;
  class TimerHandle;

  // Runs posted work and the timers that are due now; each timer at most once.
  // Returns true when anything ran.
  bool RunDue();
  // Microseconds until the next timer or posted work is due; -1 when nothing is pending.
  int64_t UsUntilNextEvent() const;

 private:
  friend class TimerHandle;
  // The earliest due time of the timers that can fire, valid while no timer has changed
  // since: a pass with nothing due then looks at no timer.
  int64_t EarliestDueUs() const { return timersChanged_ ? RecomputeEarliestDueUs() : earliestDueUs_; }
  int64_t RecomputeEarliestDueUs() const;
  void MarkTimersChanged() {
    timersChanged_ = true;
    ++timerEdits_;
  }

  std::vector<std::shared_ptr<TimerState>> timers_;
  mutable int64_t earliestDueUs_ = 0;
  mutable bool timersChanged_ = true;
  // Counts every change to the timers, so a pass can tell whether a handler made one.
  uint64_t timerEdits_ = 0;
  std::deque<Handler> posted_;
  uint64_t nextTimerId_ = 0;
  uint64_t passes_ = 0;
};

}  // namespace wendlar
