#include "link/Commands.h"

#include <algorithm>
#include <cstdlib>

namespace wendlar::commands {

namespace {

uint8_t Lo(uint16_t v) { return static_cast<uint8_t>(v & 0xFF); }
uint8_t Hi(uint16_t v) { return static_cast<uint8_t>(v >> 8); }

// A record with a 24-bit value at b1..b3 followed by further bytes from b4 on.
std::optional<CommandRecord> WithLong3At1(uint8_t code, int64_t value, std::initializer_list<uint8_t> rest) {
  const auto v = EncodeLong3(value);
  if (!v) return std::nullopt;
  CommandRecord r(code, {(*v)[0], (*v)[1], (*v)[2]});
  int i = 4;
  for (uint8_t b : rest) r.SetB(i++, b);
  return r;
}

// The record layout shared by 22 and 23: three 16-bit magnitudes, flags, speed, direction, feed.
std::optional<CommandRecord> SegmentRecord(uint8_t code, int64_t a, int64_t b, int64_t c, uint8_t segFlags,
                                           uint8_t speed, uint8_t direction, uint8_t feedIndex) {
  const int64_t ma = std::llabs(a), mb = std::llabs(b), mc = std::llabs(c);
  if (ma > 0xFFFF || mb > 0xFFFF || mc > 0xFFFF) return std::nullopt;
  const auto wa = static_cast<uint16_t>(ma), wb = static_cast<uint16_t>(mb), wc = static_cast<uint16_t>(mc);
  return CommandRecord(code, {Lo(wa), Hi(wa), Lo(wb), Hi(wb), Lo(wc), Hi(wc), segFlags, speed, direction,
                              feedIndex});
}

}  // namespace

std::optional<std::array<uint8_t, 3>> EncodeLong3(int64_t v) {
  if (!FitsLong3(v)) return std::nullopt;
  const auto u = static_cast<uint32_t>(static_cast<int32_t>(v));
  return std::array<uint8_t, 3>{static_cast<uint8_t>(u & 0xFF), static_cast<uint8_t>((u >> 8) & 0xFF),
                                static_cast<uint8_t>((u >> 16) & 0xFF)};
}

std::array<uint8_t, 2> EncodeWord(uint16_t v) { return {Lo(v), Hi(v)}; }

uint8_t SignedPercentByte(int percent) {
  const int magnitude = std::min(std::abs(percent), 127);
  return static_cast<uint8_t>((percent < 0 ? 0x80 : 0x00) | magnitude);
}

uint8_t SegmentDirectionByte(int64_t dx, int64_t dy, int64_t dz) {
  uint8_t dir = 0;
  if (dx >= 0) dir |= 0x08;
  if (dy >= 0) dir |= 0x04;
  if (dz >= 0) dir |= 0x02;
  const int64_t ax = std::llabs(dx), ay = std::llabs(dy), az = std::llabs(dz);
  uint8_t dominant = ay < ax ? 1 : 2;
  if (ax < az && ay < az) dominant = 4;
  return static_cast<uint8_t>(dir | (dominant << 4));
}

uint8_t SegmentWDirectionByte(int64_t dx, int64_t dy, int64_t w) {
  uint8_t dir = 0;
  if (dx >= 0) dir |= 0x08;
  if (dy >= 0) dir |= 0x04;
  if (w >= 0) dir |= 0x02;
  const uint8_t dominant = std::llabs(dy) < std::llabs(dx) ? 1 : 2;
  return static_cast<uint8_t>(dir | (dominant << 4));
}

bool MovesMachine(const CommandRecord& r) {
  switch (r.Code()) {
    case kJogStep: case kJogStart: case kHomeZ: case kHomeXY: case kHomeW: case kSetPosition:
    case kSpindleOn: case kMoveXY: case kMoveZ: case kSegment: case kSegmentW: case kMoveW:
    case kMoveAxis: case kProbeMove: case kCornerFind: case kCornerFindStep:
    case kHomeXYToPosition: case kHomeZToPosition:
      return true;
    case kAux1: case kAux2:
      return r.B(2) != 0;
    case kLaser:
      return r.B(1) != 0;
    default:
      return false;
  }
}

bool EntersBuffer(uint8_t code) {
  switch (code) {
    case kReset: case kStartBuffer: case kClearProgramCounter: case kJogStop: case kMiscSettings:
    case kClearBuffer: case kBuildTable: case kCommand67: case kCommand68: case kSelectVariable:
    case kToolChangerSpi: case kToolChangerSelect: case kToolChangerMode: case kSetHeadTail: case kReadTail:
    case kOutputTest: case kStop: case kStopRelease: case kCommand131: case kMiscFlags: case kSpindleSpeed:
    case kOverrides: case kCommand136: case kPause: case kReadMemory:
      return false;
    default:
      return true;
  }
}

CommandRecord Reset() { return CommandRecord(kReset, {}); }
CommandRecord JogStep(uint8_t axisDir, uint8_t speed) { return CommandRecord(kJogStep, {axisDir, speed}); }
CommandRecord StartBuffer() { return CommandRecord(kStartBuffer, {}); }
CommandRecord ClearProgramCounter() { return CommandRecord(kClearProgramCounter, {}); }
CommandRecord JogStart(uint8_t axisDir, uint8_t speed) { return CommandRecord(kJogStart, {axisDir, speed}); }
CommandRecord JogStop() { return CommandRecord(kJogStop, {}); }

CommandRecord HomeZ(uint8_t speed, uint16_t clearanceSteps) {
  return CommandRecord(kHomeZ, {0, 5, speed, Lo(clearanceSteps), Hi(clearanceSteps)});
}

CommandRecord HomeXY(uint8_t speed, uint16_t clearanceSteps) {
  return CommandRecord(kHomeXY, {0, 5, speed, Lo(clearanceSteps), Hi(clearanceSteps)});
}

CommandRecord HomeW(uint8_t p3, uint8_t p4, uint8_t p5) { return CommandRecord(kHomeW, {0, 4, p3, p4, p5}); }

std::optional<CommandRecord> SetPosition(uint8_t axis, int64_t posSteps) {
  const auto v = EncodeLong3(posSteps);
  if (!v) return std::nullopt;
  return CommandRecord(kSetPosition, {axis, (*v)[0], (*v)[1], (*v)[2], 0});
}

CommandRecord MiscSettings(uint8_t contourAccel, uint8_t arg, uint8_t settings3, uint8_t settings4) {
  return CommandRecord(kMiscSettings, {contourAccel, arg, settings3, settings4, 0, 25, 150});
}

CommandRecord ClearBuffer() { return CommandRecord(kClearBuffer, {}); }
CommandRecord SelectSpindle(uint8_t output) { return CommandRecord(kSelectSpindle, {output}); }
CommandRecord SpindleOn() { return CommandRecord(kSpindleOn, {}); }
CommandRecord SpindleOff() { return CommandRecord(kSpindleOff, {}); }

CommandRecord SpindleSpeedFromJob(uint8_t pwmCode, uint16_t rpm) {
  return CommandRecord(kSpindleSpeedFromJob, {pwmCode, Lo(rpm), Hi(rpm)});
}

CommandRecord Aux1(bool on) { return CommandRecord(kAux1, {1, static_cast<uint8_t>(on ? 1 : 0)}); }
CommandRecord Aux2(bool on) { return CommandRecord(kAux2, {1, static_cast<uint8_t>(on ? 1 : 0)}); }
CommandRecord Dwell(uint16_t hundredths) { return CommandRecord(kDwell, {Lo(hundredths), Hi(hundredths)}); }

std::optional<CommandRecord> MoveXY(int64_t xSteps, int64_t ySteps, uint8_t speed, uint8_t startVel) {
  const auto x = EncodeLong3(xSteps);
  const auto y = EncodeLong3(ySteps);
  if (!x || !y) return std::nullopt;
  return CommandRecord(kMoveXY, {(*x)[0], (*x)[1], (*x)[2], (*y)[0], (*y)[1], (*y)[2], speed, startVel});
}

std::optional<CommandRecord> MoveZ(int64_t zSteps, uint8_t speed, uint16_t zStartVel, bool flag) {
  const auto startSpeed = static_cast<uint8_t>(std::min<uint16_t>(speed, zStartVel));
  return WithLong3At1(kMoveZ, zSteps, {speed, startSpeed, static_cast<uint8_t>(flag ? 1 : 0)});
}

std::optional<CommandRecord> MoveW(int64_t wSteps, uint8_t speed, uint16_t zStartVel, bool flag) {
  const auto startSpeed = static_cast<uint8_t>(std::min<uint16_t>(speed, zStartVel));
  return WithLong3At1(kMoveW, wSteps, {speed, startSpeed, static_cast<uint8_t>(flag ? 1 : 0)});
}

std::optional<CommandRecord> Segment(int64_t dx, int64_t dy, int64_t dz, uint8_t segFlags, uint8_t speed,
                                     uint8_t feedIndex) {
  if (dx == 0 && dy == 0 && dz == 0) return std::nullopt;
  return SegmentRecord(kSegment, dx, dy, dz, segFlags, speed, SegmentDirectionByte(dx, dy, dz), feedIndex);
}

std::optional<CommandRecord> SegmentW(int64_t dx, int64_t dy, int64_t w, uint8_t segFlags, uint8_t speed,
                                      uint8_t feedIndex) {
  if (dx == 0 && dy == 0) return std::nullopt;
  return SegmentRecord(kSegmentW, dx, dy, w, segFlags, speed, SegmentWDirectionByte(dx, dy, w), feedIndex);
}

std::optional<CommandRecord> MoveAxis(int64_t valueSteps, uint8_t speed, uint16_t zStartVel, uint8_t axisCode) {
  return WithLong3At1(kMoveAxis, valueSteps, {speed, Lo(zStartVel), axisCode});
}

CommandRecord BuildTable() { return CommandRecord(kBuildTable, {1}); }
CommandRecord Laser(bool on) { return CommandRecord(kLaser, {static_cast<uint8_t>(on ? 1 : 0)}); }
CommandRecord SetPwm(uint16_t value) { return CommandRecord(kSetPwm, {Lo(value), Hi(value)}); }
CommandRecord Command54(uint8_t head) { return CommandRecord(kCommand54, {head}); }

std::optional<CommandRecord> ProbeMove(int64_t xSteps, int64_t ySteps, uint8_t xySpeed, uint8_t zSpeed) {
  const auto x = EncodeLong3(xSteps);
  const auto y = EncodeLong3(ySteps);
  if (!x || !y) return std::nullopt;
  return CommandRecord(kProbeMove, {(*x)[0], (*x)[1], (*x)[2], (*y)[0], (*y)[1], (*y)[2], xySpeed, zSpeed});
}

CommandRecord CornerFind(uint8_t b1, uint8_t b2) { return CommandRecord(kCornerFind, {b1, b2}); }

CommandRecord CornerFindStep(uint8_t b2, uint8_t b3, uint8_t b4, uint8_t b5) {
  return CommandRecord(kCornerFindStep, {0, b2, b3, b4, b5});
}

CommandRecord Command67(uint8_t mode) { return CommandRecord(kCommand67, {mode}); }
CommandRecord Command68() { return CommandRecord(kCommand68, {64}); }
CommandRecord SelectVariable(uint8_t n, uint8_t b2) { return CommandRecord(kSelectVariable, {n, b2}); }
CommandRecord EndOfJob() { return CommandRecord(kEndOfJob, {}); }
CommandRecord ToolChangerSpi(uint8_t value, uint8_t b2) { return CommandRecord(kToolChangerSpi, {value, b2}); }
CommandRecord ToolChangerSelect(uint8_t value) { return CommandRecord(kToolChangerSelect, {value}); }
CommandRecord ToolChangerMode(uint8_t value) { return CommandRecord(kToolChangerMode, {value}); }

CommandRecord SetHeadTail(uint16_t head, uint16_t tail) {
  return CommandRecord(kSetHeadTail, {Lo(head), Hi(head), Lo(tail), Hi(tail)});
}

CommandRecord ReadTail() { return CommandRecord(kReadTail, {}); }

CommandRecord RamTestFill(int n) {
  const int span = kRamTestFillLast - kRamTestFillFirst + 1;
  const auto code = static_cast<uint8_t>(kRamTestFillFirst + ((n % span) + span) % span);
  const auto lo = static_cast<uint8_t>(n & 0xFF);
  const auto hi = static_cast<uint8_t>((n / 256) & 0xFF);
  auto add = [](uint8_t b, int k) { return static_cast<uint8_t>((b + k) & 0xFF); };
  return CommandRecord(code, {lo, hi, add(lo, 3), add(hi, 3), add(lo, 5), add(hi, 5), add(lo, 8), add(hi, 8),
                              add(lo, 12), add(hi, 12)});
}

CommandRecord OutputTest(uint8_t pattern) { return CommandRecord(kOutputTest, {pattern}); }

CommandRecord HomeXYToPosition(uint8_t head, uint8_t mode, uint8_t speed, uint16_t clearanceSteps) {
  return CommandRecord(kHomeXYToPosition, {head, mode, speed, Lo(clearanceSteps), Hi(clearanceSteps)});
}

CommandRecord HomeZToPosition(uint8_t b1, uint8_t speed, uint16_t clearanceSteps) {
  return CommandRecord(kHomeZToPosition, {b1, 5, speed, Lo(clearanceSteps), Hi(clearanceSteps)});
}

CommandRecord Stop() { return CommandRecord(kStop, {}); }
CommandRecord StopRelease() { return CommandRecord(kStopRelease, {}); }
CommandRecord Command131() { return CommandRecord(kCommand131, {1}); }
CommandRecord MiscFlags(uint8_t flags) { return CommandRecord(kMiscFlags, {flags}); }

CommandRecord SpindleSpeed(uint8_t pwmCode, uint16_t rpm) {
  return CommandRecord(kSpindleSpeed, {pwmCode, Lo(rpm), Hi(rpm)});
}

CommandRecord Overrides(int feedOverridePercent, uint8_t rapidSpeed, uint8_t slowSafe, uint8_t cvMax) {
  return CommandRecord(kOverrides, {SignedPercentByte(feedOverridePercent), rapidSpeed, slowSafe, cvMax});
}

CommandRecord Command136(uint8_t value) { return CommandRecord(kCommand136, {value}); }
CommandRecord Pause() { return CommandRecord(kPause, {1, 1, 1, 1}); }
CommandRecord Resume() { return CommandRecord(kPause, {0, 0, 0, 0}); }

CommandRecord ReadMemory(uint8_t sel1, uint8_t sel2, uint8_t sel3) {
  return CommandRecord(kReadMemory, {sel1, sel2, sel3});
}

}  // namespace wendlar::commands
