// Which line of a job the controller is executing: every record that enters the
// controller's buffer is noted with the job line that produced it, and the controller's
// executed-record count picks the line back out. Also the execution rate, for the time the
// buffered records still need.
#pragma once

#include <cstdint>
#include <deque>
#include <utility>

#include "link/CommandRecord.h"

namespace wendlar {

class JobProgress {
 public:
  // A job starts: the controller's executed count starts again from 0 with it.
  void Start(int64_t nowUs);
  // The job is over; nothing is noted until the next Start.
  void Stop() { running_ = false; }
  bool Running() const { return running_; }
  // A record went to the controller while the job's line `line` was being carried out.
  void RecordSent(const CommandRecord& record, int32_t line);
  // The controller reported `ran` records executed at time nowUs.
  void Executed(uint32_t ran, int64_t nowUs);
  // The job line the controller is on: the line of the last record executed (0 before any).
  int32_t ExecutedLine() const { return executedLine_; }
  // Records executed per second lately; 0 while unknown.
  double RecordsPerSecond() const { return rate_; }

 private:
  bool running_ = false;
  uint32_t sent_ = 0;
  // (records sent before the line's first record, line) for lines not yet executed; a line
  // is noted once, when its first record leaves.
  std::deque<std::pair<uint32_t, int32_t>> lines_;
  int32_t executedLine_ = 0;
  uint32_t lastRan_ = 0;
  int64_t lastUs_ = 0;
  double rate_ = 0;
};

}  // namespace wendlar
