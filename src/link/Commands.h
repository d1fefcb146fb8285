// The controller's command set: command lines, command-record builders and their encoders.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "link/CommandRecord.h"

namespace wendlar::commands {

// --- Command lines ("\n\r" is LF then CR) ---
inline constexpr std::string_view kRequestInfo = "R1\n\r";       // "1." information report
inline constexpr std::string_view kRequestBuffer = "R2\n\r";     // "2." buffer report
inline constexpr std::string_view kRequestPositions = "R3\n\r";  // "3." position report
inline constexpr std::string_view kRequestIo = "R4\n\r";         // "4." input and variable report
inline constexpr std::string_view kRequestMemory = "R5\n\r";     // "5." memory read result
inline constexpr std::string_view kIdentityRequest = "V12345\n\r";
inline constexpr std::string_view kHandshakeHighRead = "U1\n\r";
inline constexpr std::string_view kHandshakeLowRead = "U1 \n\r";
inline constexpr std::string_view kHandshakeHigh = "S6\n\r";   // sent raw
inline constexpr std::string_view kHandshakeLow = "S7 \n\r";   // sent raw
inline constexpr std::string_view kIdentityReply = "Tovrel1.0";

// Shown by the console in `Progress` when a position does not fit 24 bits.
inline constexpr std::string_view kLong3OverflowText = "Long3 overflow";

// --- Record codes ---
enum Code : uint8_t {
  kReset = 1,
  kJogStep = 2,
  kStartBuffer = 3,
  kClearProgramCounter = 4,
  kJogStart = 5,
  kJogStop = 6,
  kHomeZ = 7,
  kHomeXY = 8,
  kHomeW = 9,
  kSetPosition = 10,
  kMiscSettings = 11,
  kClearBuffer = 12,
  kSelectSpindle = 13,
  kSpindleOn = 14,
  kSpindleOff = 15,
  kSpindleSpeedFromJob = 16,
  kAux1 = 17,
  kAux2 = 18,
  kDwell = 19,
  kMoveXY = 20,
  kMoveZ = 21,
  kSegment = 22,
  kSegmentW = 23,
  kMoveW = 24,
  kMoveAxis = 29,
  kBuildTable = 30,
  kLaser = 47,
  kSetPwm = 48,
  kCommand54 = 54,
  kProbeMove = 61,
  kCornerFind = 62,
  kCornerFindStep = 63,
  kCommand67 = 67,
  kCommand68 = 68,
  kSelectVariable = 70,
  kEndOfJob = 80,
  kToolChangerSpi = 81,
  kToolChangerSelect = 83,
  kToolChangerMode = 85,
  kSetHeadTail = 91,
  kReadTail = 93,
  kOutputTest = 95,
  kHomeXYToPosition = 110,
  kHomeZToPosition = 111,
  kRamTestFillFirst = 115,
  kRamTestFillLast = 126,
  kStop = 128,
  kStopRelease = 130,
  kCommand131 = 131,
  kMiscFlags = 132,
  kSpindleSpeed = 134,
  kOverrides = 135,
  kCommand136 = 136,
  kPause = 137,
  kReadMemory = 138,
};

// --- Jog axis-direction bytes: high nibble the axis, low nibble the direction ---
// (Z and W carry 0 for plus and F for minus, the reverse of X and Y.)
inline constexpr uint8_t kJogXPlus = 0x1F;
inline constexpr uint8_t kJogXMinus = 0x10;
inline constexpr uint8_t kJogYPlus = 0x2F;
inline constexpr uint8_t kJogYMinus = 0x20;
inline constexpr uint8_t kJogZPlus = 0x40;
inline constexpr uint8_t kJogZMinus = 0x4F;
inline constexpr uint8_t kJogWPlus = 0x80;
inline constexpr uint8_t kJogWMinus = 0x8F;

// True for a record that moves an axis, redefines a position or switches the spindle, the
// laser or an auxiliary output on: what must never leave the host after a stop.
bool MovesMachine(const CommandRecord& record);
// True for a record the controller keeps in its buffer and executes in turn (and counts as
// executed); the others act the moment they arrive.
bool EntersBuffer(uint8_t code);

// --- Encoders ---
inline constexpr int64_t kLong3Min = -8388608;
inline constexpr int64_t kLong3Max = 8388607;

// True when v fits a signed 24-bit field; the console checks it before building a move
// and shows kLong3OverflowText (and sets AbortRun) when it does not.
constexpr bool FitsLong3(int64_t v) { return v >= kLong3Min && v <= kLong3Max; }
// Two's-complement lo, mid, hi of a signed 24-bit value; nothing when it does not fit.
[[nodiscard]] std::optional<std::array<uint8_t, 3>> EncodeLong3(int64_t v);
// Low byte, high byte.
std::array<uint8_t, 2> EncodeWord(uint16_t v);
// Sign in bit 7, magnitude (at most 127) in bits 0..6.
uint8_t SignedPercentByte(int percent);

// b9 of record 22: bits 3/2/1 set for X/Y/Z zero or positive; bits 4..6 the dominant axis
// (1 X, 2 Y, 4 Z).
uint8_t SegmentDirectionByte(int64_t dx, int64_t dy, int64_t dz);
// b9 of record 23: bit 1 follows the fourth channel; the dominant axis is only X or Y.
uint8_t SegmentWDirectionByte(int64_t dx, int64_t dy, int64_t w);

// --- Records. Builders that carry a 24-bit value return nothing when it does not fit. ---
CommandRecord Reset();
CommandRecord JogStep(uint8_t axisDir, uint8_t speed);
CommandRecord StartBuffer();
CommandRecord ClearProgramCounter();
CommandRecord JogStart(uint8_t axisDir, uint8_t speed);
CommandRecord JogStop();
CommandRecord HomeZ(uint8_t speed, uint16_t clearanceSteps);
CommandRecord HomeXY(uint8_t speed, uint16_t clearanceSteps);
// b3..b5 are the homing parameters of the caller (menu: 20, 5, 0).
CommandRecord HomeW(uint8_t p3, uint8_t p4, uint8_t p5);
// axis 1..4 = X, Y, Z, W.
[[nodiscard]] std::optional<CommandRecord> SetPosition(uint8_t axis, int64_t posSteps);
CommandRecord MiscSettings(uint8_t contourAccel, uint8_t arg, uint8_t settings3, uint8_t settings4);
CommandRecord ClearBuffer();
// output 0 spindle 1, 1 spindle 2.
CommandRecord SelectSpindle(uint8_t output);
CommandRecord SpindleOn();
CommandRecord SpindleOff();
CommandRecord SpindleSpeedFromJob(uint8_t pwmCode, uint16_t rpm);
CommandRecord Aux1(bool on);
CommandRecord Aux2(bool on);
CommandRecord Dwell(uint16_t hundredths);
[[nodiscard]] std::optional<CommandRecord> MoveXY(int64_t xSteps, int64_t ySteps, uint8_t speed,
                                                  uint8_t startVel);
// b5 is the smaller of the speed index and zStartVel.
[[nodiscard]] std::optional<CommandRecord> MoveZ(int64_t zSteps, uint8_t speed, uint16_t zStartVel,
                                                 bool flag);
[[nodiscard]] std::optional<CommandRecord> MoveW(int64_t wSteps, uint8_t speed, uint16_t zStartVel,
                                                 bool flag);
// Nothing when all six magnitude bytes are zero or a magnitude exceeds 16 bits.
[[nodiscard]] std::optional<CommandRecord> Segment(int64_t dx, int64_t dy, int64_t dz, uint8_t segFlags,
                                                   uint8_t speed, uint8_t feedIndex);
// Nothing when the four X and Y bytes are zero or a magnitude exceeds 16 bits.
[[nodiscard]] std::optional<CommandRecord> SegmentW(int64_t dx, int64_t dy, int64_t w, uint8_t segFlags,
                                                    uint8_t speed, uint8_t feedIndex);
// axisCode 1 X, 2 Y, 4 Z; b5 is the low byte of zStartVel.
[[nodiscard]] std::optional<CommandRecord> MoveAxis(int64_t valueSteps, uint8_t speed, uint16_t zStartVel,
                                                    uint8_t axisCode);
CommandRecord BuildTable();
CommandRecord Laser(bool on);
CommandRecord SetPwm(uint16_t value);
CommandRecord Command54(uint8_t head);
[[nodiscard]] std::optional<CommandRecord> ProbeMove(int64_t xSteps, int64_t ySteps, uint8_t xySpeed,
                                                     uint8_t zSpeed);
CommandRecord CornerFind(uint8_t b1, uint8_t b2);
CommandRecord CornerFindStep(uint8_t b2, uint8_t b3, uint8_t b4, uint8_t b5);
CommandRecord Command67(uint8_t mode);
CommandRecord Command68();
CommandRecord SelectVariable(uint8_t n, uint8_t b2 = 0);
CommandRecord EndOfJob();
CommandRecord ToolChangerSpi(uint8_t value, uint8_t b2);
CommandRecord ToolChangerSelect(uint8_t value);
CommandRecord ToolChangerMode(uint8_t value);
CommandRecord SetHeadTail(uint16_t head, uint16_t tail);
CommandRecord ReadTail();
// Block n of the buffer-RAM fill: codes 115..126 in turn and the test pattern of n.
CommandRecord RamTestFill(int n);
CommandRecord OutputTest(uint8_t pattern);
CommandRecord HomeXYToPosition(uint8_t head, uint8_t mode, uint8_t speed, uint16_t clearanceSteps);
CommandRecord HomeZToPosition(uint8_t b1, uint8_t speed, uint16_t clearanceSteps);
CommandRecord Stop();
CommandRecord StopRelease();
CommandRecord Command131();
CommandRecord MiscFlags(uint8_t flags);
CommandRecord SpindleSpeed(uint8_t pwmCode, uint16_t rpm);
CommandRecord Overrides(int feedOverridePercent, uint8_t rapidSpeed, uint8_t slowSafe, uint8_t cvMax);
CommandRecord Command136(uint8_t value);
// Pause is sent at once; Resume is queued.
CommandRecord Pause();
CommandRecord Resume();
CommandRecord ReadMemory(uint8_t sel1, uint8_t sel2, uint8_t sel3);

}  // namespace wendlar::commands
