// The event-loop seam: timers, posted work, message pumping and the clock, all on one thread.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>

namespace wendlar {

using Handler = std::function<void()>;

// A periodic timer. It never fires again while its own handler is on the stack, so a
// handler that pumps messages cannot re-enter itself.
class Timer {
 public:
  virtual ~Timer() = default;
  // Changing the interval of a running timer restarts its period from now.
  virtual void SetInterval(int intervalMs) = 0;
  virtual int Interval() const = 0;
  // Enabling a stopped timer starts a full period from now.
  virtual void SetEnabled(bool enabled) = 0;
  virtual bool Enabled() const = 0;
  virtual bool InHandler() const = 0;
};

// Everything the logic needs from the user-interface thread's loop.
class EventLoop {
 public:
  virtual ~EventLoop() = default;

  // Creates a timer owned by the caller; destroying it unregisters it.
  virtual std::unique_ptr<Timer> CreateTimer(int intervalMs, bool enabled, Handler handler) = 0;
  // Processes what is due (posted work, due timers) and returns; never sleeps.
  virtual void PumpMessages() = 0;
  // Runs `work` from the loop after the current handler has returned.
  virtual void Post(Handler work) = 0;
  // Monotonic time in microseconds since the loop was made.
  virtual int64_t NowUs() const = 0;
  // Time of day, for fault-history lines and the transfer test's clock.
  virtual std::chrono::system_clock::time_point WallClock() const = 0;
  // Accounts for busy work done outside the loop (calibration units, line exchanges);
  // only the virtual clock moves, a real clock has already moved by itself.
  virtual void Charge(int64_t costUs) { (void)costUs; }
  // Pumps until done() holds. Returns false when timeoutMs passes first or, on virtual
  // time, when nothing left in the loop can ever make done() true.
  virtual bool WaitUntil(const std::function<bool()>& done, int64_t timeoutMs) = 0;
  // WaitUntil for a done() that only the loop's timers (and the stop flags) can make true:
  // the link reads serial bytes only inside its exchanges, which timers start. A real clock
  // then sleeps until the next timer instead of waking every millisecond to look.
  virtual bool WaitForTimers(const std::function<bool()>& done, int64_t timeoutMs) {
    return WaitUntil(done, timeoutMs);
  }
  // True for the deterministic virtual clock of tests and --fast runs.
  virtual bool IsVirtual() const { return false; }
  // Pumps messages for `durationUs`, sleeping in between rather than computing: a pause
  // that must not keep a core busy. The virtual clock jumps from one due event to the next.
  virtual void PumpFor(int64_t durationUs);
  // `passes` passes of busy work that costs `workCostUs` each, every pass followed by
  // PumpMessages(), without doing the work itself: a calibrated pause on the clock that
  // charges work. A real clock has nothing to charge and just pumps the passes.
  virtual void BusyPasses(int passes, int64_t workCostUs);
};

}  // namespace wendlar
