#include "core/TimerLoop.h"

#include <algorithm>
#include <limits>

namespace wendlar {

struct TimerLoop::TimerState {
  TimerLoop* loop = nullptr;
  uint64_t id = 0;
  int intervalMs = 0;
  bool enabled = false;
  bool inHandler = false;
  bool removed = false;  // destroyed by its own handler: the pass drops it afterwards
  uint64_t firedInPass = 0;  // the RunDue pass that last fired it
  int64_t dueUs = 0;
  Handler handler;
};

class TimerLoop::TimerHandle : public Timer {
 public:
  explicit TimerHandle(std::shared_ptr<TimerState> state) : state_(std::move(state)) {}
  ~TimerHandle() override {
    if (state_->loop != nullptr) {
      if (state_->inHandler) {
        // The list keeps it alive until its handler has returned.
        state_->removed = true;
      } else {
        auto& list = state_->loop->timers_;
        list.erase(std::remove(list.begin(), list.end(), state_), list.end());
      }
      state_->loop->MarkTimersChanged();
    }
    state_->enabled = false;
    state_->loop = nullptr;
  }
  void SetInterval(int intervalMs) override {
    state_->intervalMs = std::max(intervalMs, 1);
    Restart();
  }
  int Interval() const override { return state_->intervalMs; }
  void SetEnabled(bool enabled) override {
    if (enabled == state_->enabled) return;
    state_->enabled = enabled;
    Restart();
  }
  bool Enabled() const override { return state_->enabled; }
  bool InHandler() const override { return state_->inHandler; }

 private:
  void Restart() {
    if (state_->loop == nullptr) return;
    state_->dueUs = state_->loop->NowUs() + int64_t{state_->intervalMs} * 1000;
    state_->loop->MarkTimersChanged();
  }
  std::shared_ptr<TimerState> state_;
};

TimerLoop::TimerLoop() = default;

TimerLoop::~TimerLoop() {
  for (auto& t : timers_) t->loop = nullptr;
}

std::unique_ptr<Timer> TimerLoop::CreateTimer(int intervalMs, bool enabled, Handler handler) {
  auto state = std::make_shared<TimerState>();
  state->loop = this;
  state->id = nextTimerId_++;
  state->intervalMs = std::max(intervalMs, 1);
  state->enabled = enabled;
  state->handler = std::move(handler);
  state->dueUs = NowUs() + int64_t{state->intervalMs} * 1000;
  timers_.push_back(state);
  MarkTimersChanged();
  return std::make_unique<TimerHandle>(state);
}

void TimerLoop::Post(Handler work) { posted_.push_back(std::move(work)); }

bool TimerLoop::RunDue() {
  bool ran = false;
  // Work posted by the work run here waits for the next pass.
  for (size_t n = posted_.size(); n > 0 && !posted_.empty(); --n) {
    Handler work = std::move(posted_.front());
    posted_.pop_front();
    work();
    ran = true;
  }
  // Fire due timers in order of due time (then creation), each once per pass.
  if (NowUs() < EarliestDueUs()) return ran;
  const uint64_t pass = ++passes_;
  for (;;) {
    const int64_t now = NowUs();
    if (now < EarliestDueUs()) break;
    // One look at every timer finds the one to fire and the earliest due time of the rest,
    // so a handler that leaves the timers alone needs no second look.
    TimerState* due = nullptr;
    int64_t othersDueUs = std::numeric_limits<int64_t>::max();
    for (const auto& t : timers_) {
      if (!t->enabled || t->inHandler) continue;
      if (t->dueUs > now || t->firedInPass == pass) {
        othersDueUs = std::min(othersDueUs, t->dueUs);
      } else if (due == nullptr || t->dueUs < due->dueUs || (t->dueUs == due->dueUs && t->id < due->id)) {
        if (due != nullptr) othersDueUs = std::min(othersDueUs, due->dueUs);
        due = t.get();
      } else {
        othersDueUs = std::min(othersDueUs, t->dueUs);
      }
    }
    if (due == nullptr) {
      // Every timer due now has fired in this pass; the rest are known.
      earliestDueUs_ = othersDueUs;
      timersChanged_ = false;
      break;
    }
    // A timer its own handler destroys stays in the list until the handler returns.
    TimerState* const next = due;
    next->firedInPass = pass;
    next->inHandler = true;
    timersChanged_ = true;
    const uint64_t editsBefore = ++timerEdits_;
    next->handler();
    next->inHandler = false;
    if (next->loop != nullptr) next->dueUs = NowUs() + int64_t{next->intervalMs} * 1000;
    if (next->removed) {
      const auto at = std::find_if(timers_.begin(), timers_.end(), [next](const auto& t) { return t.get() == next; });
      if (at != timers_.end()) timers_.erase(at);
    }
    if (timerEdits_ == editsBefore && !next->removed && next->loop != nullptr) {
      // Nothing else changed while it ran: only its own due time moved.
      earliestDueUs_ = next->enabled ? std::min(othersDueUs, next->dueUs) : othersDueUs;
      timersChanged_ = false;
    } else {
      timersChanged_ = true;
    }
    ran = true;
  }
  return ran;
}

int64_t TimerLoop::RecomputeEarliestDueUs() const {
  earliestDueUs_ = std::numeric_limits<int64_t>::max();
  for (const auto& t : timers_) {
    if (t->enabled && !t->inHandler) earliestDueUs_ = std::min(earliestDueUs_, t->dueUs);
  }
  timersChanged_ = false;
  return earliestDueUs_;
}

int64_t TimerLoop::UsUntilNextEvent() const {
  if (!posted_.empty()) return 0;
  const int64_t best = EarliestDueUs();
  if (best == std::numeric_limits<int64_t>::max()) return -1;
  return std::max<int64_t>(0, best - NowUs());
}

}  // namespace wendlar
