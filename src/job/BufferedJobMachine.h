// The segment side of JobMachine routed to the real segment buffer and speed tables.
#pragma once

#include "job/JobMachine.h"
#include "motion/SegmentBuffer.h"
#include "motion/SpeedTables.h"

namespace wendlar {

// The console (for runs) and the checker derive from this and add the machine operations.
class BufferedJobMachine : public JobMachine {
 public:
  BufferedJobMachine(SegmentBuffer& buffer, SpeedTables& tables) : buffer_(buffer), tables_(tables) {}

  void QueueMove(int32_t x, int32_t y, int32_t z, double speed) override { buffer_.QueueMove(x, y, z, speed); }
  void QueueMoveW(int32_t x, int32_t y, int32_t w, double speed) override { buffer_.QueueMoveW(x, y, w, speed); }
  void FlushSegments() override { buffer_.FlushSegments(); }
  void ClearSegments() override {
    buffer_.SegCount = 1;
    buffer_.SegmentsPending = false;
  }
  bool SegmentsPending() const override { return buffer_.SegmentsPending; }
  void SetLastStep(int32_t x, int32_t y, int32_t z) override {
    buffer_.LastStepX = x;
    buffer_.LastStepY = y;
    buffer_.LastStepZ = z;
  }
  int32_t LastStepX() const override { return buffer_.LastStepX; }
  int32_t LastStepY() const override { return buffer_.LastStepY; }
  int32_t LastStepZ() const override { return buffer_.LastStepZ; }
  int FeedIdx() const override { return buffer_.FeedIdx; }
  void SetLaserSegments(bool on) override { buffer_.LaserSegments = on; }
  int SpeedIndexOf(int velocity) const override { return tables_.SpeedIndexOf(velocity); }

  SegmentBuffer& Buffer() { return buffer_; }

 private:
  SegmentBuffer& buffer_;
  SpeedTables& tables_;
};

}  // namespace wendlar
