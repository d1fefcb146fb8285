// Constants, options and trace types of the simulated controller.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace wendlar::sim {

// Axes in the order the position report and every per-axis array use.
enum Axis : int { kX = 0, kY = 1, kZ = 2, kW = 3 };
inline constexpr int kAxes = 4;
using Steps4 = std::array<int64_t, kAxes>;

// Firmware versions from this one on belong to the 32-bit family.
inline constexpr int kWideFirmware = 100;
// From this version on the info report carries the current speed index.
inline constexpr int kSpeedInInfoFirmware = 104;
// The word the 32-bit family answers in place of entry 0 and some multiples of 5.
inline constexpr uint16_t kMarkerWord = 5653;

// Record codes the controller understands.
enum Code : uint8_t {
  kReset = 1, kJogStep = 2, kStartBuffer = 3, kClearProgramCounter = 4, kJogStart = 5,
  kJogStop = 6, kHomeZ = 7, kHomeXY = 8, kHomeW = 9, kSetPosition = 10, kMiscSettings = 11,
  kClearBuffer = 12, kSelectSpindle = 13, kSpindleOn = 14, kSpindleOff = 15,
  kSpindleSpeedFromJob = 16, kAux1 = 17, kAux2 = 18, kDwell = 19, kMoveXY = 20, kMoveZ = 21,
  kSegment = 22, kSegmentW = 23, kMoveW = 24, kMoveAxis = 29, kBuildTable = 30, kLaser = 47,
  kSetPwm = 48, kCommand54 = 54, kProbeMove = 61, kTouchPad = 62, kEdgeProbe = 63,
  kFourthAxis = 67, kCommand68 = 68, kSelectVariable = 70, kEndOfJob = 80,
  kToolChangerSpi = 81, kToolChangerSelect = 83, kToolChangerMode = 85, kSetHeadTail = 91,
  kReadTail = 93, kOutputTest = 95, kHomeXYToPosition = 110, kHomeZToPosition = 111,
  kRamFillFirst = 115, kRamFillLast = 126, kStop = 128, kStopRelease = 130, kCommand131 = 131,
  kOptionFlags = 132, kSpindleSpeed = 134, kOverrides = 135, kCommand136 = 136, kPause = 137,
  kReadMemory = 138,
};

// State byte of the buffer report.
enum StateBit : uint8_t {
  kStateNotInitialised = 0x01, kStateMemoryChecksum = 0x02, kStateDataChecksum = 0x04,
  kStateBusy = 0x08, kStateStoppedByOperator = 0x10, kStateOvertravel = 0x20,
  kStateStopButton = 0x40, kStateRunning = 0x80,
};

// Inputs byte of the buffer report. Y, Z, W switches and the servo line are active low.
enum InputBit : uint8_t {
  kInDoorOrTorchHigh = 0x02,  // set while the door is open; in plasma use clear when the torch voltage is high
  kInServoOrTorchLow = 0x04,  // clear on a servo fault; in plasma use clear when the torch voltage is low
  kInSwitchZ = 0x08, kInSwitchY = 0x10, kInSwitchX = 0x20, kInSwitchW = 0x40,
  kInStopButton = 0x80,
};

// Option flags of record 132.
inline constexpr uint8_t kOptLimitsEnabled = 0xC0;
inline constexpr uint8_t kOptDoorInterlock = 0x08;

// Where things are, in the machine's own (physical) step coordinates. Homing runs towards
// the negative end of every axis; Z and W count upward as negative, so "down" is positive.
struct SimWorld {
  Steps4 homeSwitch{0, 0, 0, 0};
  Steps4 travelMin{-400, -400, -400, -400};
  Steps4 travelMax{400000, 300000, 120000, 400000};
  // The stock occupies X >= stockEdgeX and Y >= stockEdgeY; its top is at stockTopZ.
  int64_t stockEdgeX = 40000;
  int64_t stockEdgeY = 40000;
  int64_t stockTopZ = 30000;
  // Tilt of the stock top, in Z steps per X and per Y step, so probed points differ.
  double stockSlopeX = 0.0;
  double stockSlopeY = 0.0;
  // A round bump on the stock top (height up, in Z steps; 0 for none), a cosine bell.
  int64_t bumpX = 0, bumpY = 0, bumpRadius = 0, bumpHeight = 0;
  // The machine table below the stock.
  int64_t tableZ = 90000;
  // The touch pad lies on the stock near the corner.
  int64_t padMinX = 41000, padMaxX = 45000, padMinY = 41000, padMaxY = 45000;
  int64_t padThickness = 800;
  // Radius of the tool or probe tip: an edge is touched this far before the tool centre.
  int64_t toolRadius = 0;
  // How far a probing touch lifts before moving sideways to the next point.
  int64_t probeRetract = 400;
  // How far an edge probe travels when it finds no edge.
  int64_t probeMaxTravel = 20000;
  // Where the machine stands at power-up (the position report then reads 0).
  Steps4 powerUpPosition{43000, 43000, 10000, 1000};
};

struct SimOptions {
  // Below 100 the 8-bit family (100 speeds, 4096 entries), from 100 the 32-bit family.
  int firmware = 110;
  // The answer to any line beginning "V".
  std::string identity = "Tovrel1.2";
  // Torch-height inputs instead of door and servo lines.
  bool plasma = false;
  // How long a reply takes to reach the host over USB.
  int64_t replyLatencyUs = 1000;
  // How long a spindle coasts after it is switched off before it stands still.
  int64_t spindleCoastUs = 1500000;
  // Steps moved by one single-step jog record.
  int jogStepSteps = 1;
  // Most trace entries kept (oldest dropped first); 0 keeps everything.
  size_t traceLimit = 0;
  SimWorld world;
};

// One line received or one reply sent, with the simulated time it happened.
struct TraceLine {
  int64_t timeUs = 0;
  bool fromHost = true;
  std::string text;  // without the line ends
};

// One packet line received and what became of it.
struct TraceRecord {
  int64_t timeUs = 0;
  std::array<uint8_t, 11> bytes{};  // code, b1..b10
  bool checksumOk = true;
  bool accepted = true;  // false when dropped (bad checksum or full buffer)
};

}  // namespace wendlar::sim
