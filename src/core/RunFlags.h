// The program-wide flags that every engine, flush and wait loop tests.
#pragma once

#include <atomic>
#include <cstdint>

namespace wendlar {

struct RunFlags {
  uint8_t AbortRun = 0;  // set by the operator's stop, job errors and fault reactions
  bool Closing = false;  // the program is shutting down: every nested wait ends
  // +1 at every stop of the machine (operator, door, servo, silence, signal). A sequence of
  // several records compares it across its waits: a stop in between ends the sequence, even
  // where AbortRun was already set by an earlier job.
  uint32_t StopCount = 0;
  // A stop asked for from outside the loop (a signal handler sets it). Once set, nothing
  // that moves the machine leaves the host and every wait ends.
  const std::atomic<bool>* StopSignal = nullptr;

  bool StopSignalled() const { return StopSignal != nullptr && StopSignal->load(std::memory_order_relaxed); }
  // True when a wait loop must stop at once.
  bool StopWaiting() const { return AbortRun != 0 || Closing || StopSignalled(); }
};

// Notes the stops so far; Stopped() turns true once the machine has been stopped since.
class StopMark {
 public:
  explicit StopMark(const RunFlags& flags) : flags_(flags), at_(flags.StopCount) {}
  bool Stopped() const { return flags_.StopCount != at_ || flags_.Closing || flags_.StopSignalled(); }

 private:
  const RunFlags& flags_;
  uint32_t at_;
};

}  // namespace wendlar
