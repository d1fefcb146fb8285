// Which records act the moment they arrive and which wait their turn in the ring buffer.
#pragma once

#include <cstdint>

#include "sim/SimTypes.h"

namespace wendlar::sim {

enum class Handling : uint8_t {
  kIgnored,    // unknown code: traced, otherwise without effect
  kImmediate,  // acts on arrival, never enters the ring
  kBuffered,   // enters the ring and executes in arrival order
};

// The one place where the split is decided.
//
//   immediate  1 reset, 3 start, 4 clear program counter, 6 jog stop (ends a running jog
//              at once), 11 acceleration settings, 12 clear buffer, 30 build table,
//              67 fourth axis, 68, 70 variable select, 81/83/85 tool changer,
//              91 set head/tail, 93 read tail, 95 output test, 128 stop, 130 release,
//              131, 132 option flags, 134 spindle speed, 135 overrides, 136, 137 pause,
//              138 read memory
//   buffered   2/5 jogs, 7/8/9/110/111 homing, 10 set position, 13-18 spindle and aux,
//              19 dwell, 20/21/24/29 moves, 22/23 segments, 47/48 laser, 54,
//              61/62/63 probing, 80 end of job, 115-126 RAM test pattern
inline constexpr Handling HandlingOf(uint8_t code) {
  switch (code) {
    case kReset: case kStartBuffer: case kClearProgramCounter: case kJogStop:
    case kMiscSettings: case kClearBuffer: case kBuildTable: case kFourthAxis: case kCommand68:
    case kSelectVariable: case kToolChangerSpi: case kToolChangerSelect: case kToolChangerMode:
    case kSetHeadTail: case kReadTail: case kOutputTest: case kStop: case kStopRelease:
    case kCommand131: case kOptionFlags: case kSpindleSpeed: case kOverrides:
    case kCommand136: case kPause: case kReadMemory:
      return Handling::kImmediate;
    case kJogStep: case kJogStart: case kHomeZ: case kHomeXY: case kHomeW: case kSetPosition:
    case kSelectSpindle: case kSpindleOn: case kSpindleOff: case kSpindleSpeedFromJob:
    case kAux1: case kAux2: case kDwell: case kMoveXY: case kMoveZ: case kSegment:
    case kSegmentW: case kMoveW: case kMoveAxis: case kLaser: case kSetPwm: case kCommand54:
    case kProbeMove: case kTouchPad: case kEdgeProbe: case kEndOfJob:
    case kHomeXYToPosition: case kHomeZToPosition:
      return Handling::kBuffered;
    default:
      return code >= kRamFillFirst && code <= kRamFillLast ? Handling::kBuffered : Handling::kIgnored;
  }
}

}  // namespace wendlar::sim
