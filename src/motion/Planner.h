// Lookahead planner: the dominant axis, corner severity and end speed of every buffered segment.
#pragma once

#include <cstdint>
#include <vector>

#include "config/MachineConfig.h"
#include "motion/SpeedTables.h"

namespace wendlar {

// SegFlags bits.
inline constexpr uint8_t kSegAxisMask = 0x03;   // dominant axis: 1 X, 2 Y, 3 Z
inline constexpr uint8_t kSegSharpCorner = 0x40; // the segment ends at a sharp corner
inline constexpr uint8_t kSegShort = 0x80;       // shorter than `Short_vlen_steps`
// SegCorner value of a stop.
inline constexpr uint8_t kCornerStop = 255;

// The per-segment arrays, allocated once; entries are numbered from 1.
struct SegmentStore {
  static constexpr int kMaxSegments = 999;
  // One spare entry past the last segment holds the stop that ends every buffer.
  static constexpr size_t kEntries = kMaxSegments + 2;

  std::vector<int32_t> SegDX = std::vector<int32_t>(kEntries);
  std::vector<int32_t> SegDY = std::vector<int32_t>(kEntries);
  std::vector<int32_t> SegDZ = std::vector<int32_t>(kEntries);
  std::vector<int32_t> SegW = std::vector<int32_t>(kEntries);     // laser power, laser segments only
  std::vector<uint8_t> SegMaxSpeed = std::vector<uint8_t>(kEntries);  // cap given at queueing, 0 = none
  std::vector<uint8_t> SegSpeed = std::vector<uint8_t>(kEntries);     // planned end speed index
  std::vector<uint8_t> SegFlags = std::vector<uint8_t>(kEntries);
  std::vector<uint8_t> SegCorner = std::vector<uint8_t>(kEntries);    // severity at the start; 255 a stop
  std::vector<double> SegLength = std::vector<double>(kEntries);      // dominant length in steps (planner scratch)
  std::vector<int32_t> SegLine = std::vector<int32_t>(kEntries);      // the job line that queued it
};

// Plans segments 1..k: fills SegFlags, SegCorner and SegSpeed, and stores the feed ceiling in
// `Vel_ceiling`. laser: the segments are laser segments and keep their own speeds.
void PlanSegments(SegmentStore& s, int k, const SpeedTables& tables, MachineConfig& config, bool laser);

}  // namespace wendlar
