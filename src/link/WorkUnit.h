// The calibration work unit: the busy work that packet pacing and the CPU-speed test count.
#pragma once

#include <cstdint>

#include "core/EventLoop.h"

namespace wendlar {

// Virtual time one work unit costs, so calibrated pauses take time on the virtual clock.
inline constexpr int64_t kWorkUnitCostUs = 4;

// Runs one unit (20 x ten sine and cosine evaluations) and charges its cost to the loop.
// Used by PacketDelay and by the CPU-speed measurement of the connection sequence.
void CalibrationWorkUnit(EventLoop& loop);

}  // namespace wendlar
