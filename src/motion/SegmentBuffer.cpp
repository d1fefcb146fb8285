#include "motion/SegmentBuffer.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>

#include "core/Numbers.h"

namespace wendlar {

namespace {

uint32_t Magnitude(int32_t v) { return static_cast<uint32_t>(std::abs(static_cast<int64_t>(v))); }
uint8_t Lo(uint32_t v) { return static_cast<uint8_t>(v & 0xFF); }
uint8_t Hi(uint32_t v) { return static_cast<uint8_t>((v >> 8) & 0xFF); }

// Step targets are 24-bit on the wire, so a delta always fits; the wide subtraction only keeps
// a wild target from overflowing.
int32_t Delta(int32_t to, int32_t from) {
  return static_cast<int32_t>(std::clamp<int64_t>(int64_t{to} - from, INT32_MIN, INT32_MAX));
}

}  // namespace

SegmentBuffer::SegmentBuffer(ConfigState& config, SpeedTables& tables, CommandSink& sink,
                             ControllerBuffer& buffer, RunFlags& flags)
    : config_(config), tables_(tables), sink_(sink), buffer_(buffer), flags_(flags) {}

void SegmentBuffer::Store(int32_t dx, int32_t dy, int32_t dz, int32_t w, double speed) {
  const size_t i = static_cast<size_t>(SegCount);
  store_.SegDX[i] = dx;
  store_.SegDY[i] = dy;
  store_.SegDZ[i] = dz;
  store_.SegW[i] = w;
  store_.SegMaxSpeed[i] = static_cast<uint8_t>(Nearest(speed) & 0xFF);
  store_.SegLine[i] = LineTag;
  ++SegmentsQueued;
  ++SegCount;
  SegmentsPending = true;
}

void SegmentBuffer::QueueMove(int32_t x, int32_t y, int32_t z, double speed) {
  const int32_t dx = Delta(x, LastStepX), dy = Delta(y, LastStepY), dz = Delta(z, LastStepZ);
  if (dx != 0 || dy != 0 || dz != 0) Store(dx, dy, dz, 0, speed);
  LastStepX = x;
  LastStepY = y;
  LastStepZ = z;
  if (SegCount > SegmentStore::kMaxSegments) FlushSegments();
}

void SegmentBuffer::QueueMoveW(int32_t x, int32_t y, int32_t w, double speed) {
  const int32_t dx = Delta(x, LastStepX), dy = Delta(y, LastStepY);
  if (dx != 0 || dy != 0 || w != LastStepZ) Store(dx, dy, 0, w, speed);
  LastStepX = x;
  LastStepY = y;
  LastStepZ = w;
  if (SegCount > SegmentStore::kMaxSegments) FlushSegments();
}

void SegmentBuffer::PlanSegments(int k) {
  wendlar::PlanSegments(store_, k, tables_, config_.Config, LaserSegments);
}

bool SegmentBuffer::SendPiece(int i, int32_t dx, int32_t dy, int32_t dz, int speed) {
  // A stop may come during any wait of the piece before: nothing more of the flush goes out.
  if (flags_.StopWaiting()) return false;
  const uint8_t index = static_cast<uint8_t>(tables_.ClampIndex(speed));
  const uint8_t flags = store_.SegFlags[static_cast<size_t>(i)];
  sendingLine_ = store_.SegLine[static_cast<size_t>(i)];
  if (LaserSegments) {
    SendSegmentW(dx, dy, store_.SegW[static_cast<size_t>(i)], flags, index, FeedIdx);
  } else {
    SendSegment(dx, dy, dz, flags, index, FeedIdx);
  }
  // Nothing was queued while disconnected, so there is no room to wait for.
  if (!sink_.Connected()) return true;
  return WaitBufferRoom() && !flags_.StopWaiting();
}

void SegmentBuffer::FlushSegments() {
  FeedIdx = static_cast<uint8_t>(tables_.ClampIndex(tables_.FeedSpeedIndex()));
  if (SegCount <= 1) return;
  const int n = SegCount - 1;
  PlanSegments(n);
  SegCount = 1;

  const int slowSafe = config_.Config.Slow_safe;
  for (int i = 1; i <= n && !flags_.StopWaiting(); ++i) {
    const size_t e = static_cast<size_t>(i);
    const int32_t dx = store_.SegDX[e], dy = store_.SegDY[e], dz = store_.SegDZ[e];
    if (KnifeMode) SendKnifeAngle(dx, dy);
    // The controller cannot end a segment at its slowest step.
    int speed = store_.SegSpeed[e] == 1 ? 5 : store_.SegSpeed[e];
    const int axis = store_.SegFlags[e] & kSegAxisMask;
    const uint32_t dominant = Magnitude(axis == 1 ? dx : axis == 2 ? dy : dz);
    if (dominant > static_cast<uint32_t>(kMaxPieceSteps)) {
      // Cut into equal pieces whose rounding telescopes, so they add up to the delta exactly.
      const int pieces = static_cast<int>(dominant / kMaxPieceSteps) + 1;
      const double sx = static_cast<double>(dx) / pieces, sy = static_cast<double>(dy) / pieces,
                   sz = static_cast<double>(dz) / pieces;
      double rx = dx, ry = dy, rz = dz;
      bool go = true;
      for (int p = 1; p <= pieces && go; ++p) {
        const auto px = static_cast<int32_t>(Nearest(rx) - Nearest(rx - sx));
        const auto py = static_cast<int32_t>(Nearest(ry) - Nearest(ry - sy));
        const auto pz = static_cast<int32_t>(Nearest(rz) - Nearest(rz - sz));
        rx -= sx;
        ry -= sy;
        rz -= sz;
        go = SendPiece(i, px, py, pz, p < pieces ? FeedIdx : speed);
      }
      if (!go) break;
    } else {
      speed = std::max(speed, slowSafe);
      if (!SendPiece(i, dx, dy, dz, speed)) break;
    }
  }
  SegmentsPending = false;
  SegCount = 1;
}

void SegmentBuffer::SendSegment(int32_t dx, int32_t dy, int32_t dz, uint8_t flags, uint8_t speedIndex,
                                uint8_t feedIndex) {
  ++PacketsSent;
  const uint32_t ax = Magnitude(dx), ay = Magnitude(dy), az = Magnitude(dz);
  uint8_t axis = ay < ax ? 1 : 2;
  if (ax < az && ay < az) axis = 4;
  const uint8_t dir = static_cast<uint8_t>((axis << 4) | (dx >= 0 ? 0x08 : 0) | (dy >= 0 ? 0x04 : 0) |
                                           (dz >= 0 ? 0x02 : 0));
  CommandRecord r(kCmdSegment, {Lo(ax), Hi(ax), Lo(ay), Hi(ay), Lo(az), Hi(az), flags, speedIndex, dir, feedIndex});
  if ((r.B(1) | r.B(2) | r.B(3) | r.B(4) | r.B(5) | r.B(6)) == 0) return;
  if (sink_.Connected()) sink_.QueueFromLine(r, sendingLine_);
}

void SegmentBuffer::SendSegmentW(int32_t dx, int32_t dy, int32_t w, uint8_t flags, uint8_t speedIndex,
                                 uint8_t feedIndex) {
  ++PacketsSent;
  ++LaserCount;
  const uint32_t ax = Magnitude(dx), ay = Magnitude(dy), aw = Magnitude(w);
  const uint8_t axis = ax > ay ? 1 : 2;
  const uint8_t dir = static_cast<uint8_t>((axis << 4) | (dx >= 0 ? 0x08 : 0) | (dy >= 0 ? 0x04 : 0) |
                                           (w >= 0 ? 0x02 : 0));
  CommandRecord r(kCmdSegmentW, {Lo(ax), Hi(ax), Lo(ay), Hi(ay), Lo(aw), Hi(aw), flags, speedIndex, dir, feedIndex});
  if (debug_ != nullptr && debug_->DebugOn()) {
    std::string line = std::to_string(LaserCount) + "burn ";
    for (int b = 1; b <= 6; ++b) line += std::to_string(r.B(b)) + ",";
    debug_->WriteDebugLine(line);
  }
  if ((r.B(1) | r.B(2) | r.B(3) | r.B(4)) == 0) return;
  if (sink_.Connected()) sink_.QueueFromLine(r, sendingLine_);
}

int32_t SegmentBuffer::KnifeAngleUnits(int32_t dx, int32_t dy) {
  // 57.2928 degrees per radian is what the knife tables were calibrated with.
  double a;
  if (dy == 0) {
    a = dx >= 0 ? 90.0 : 270.0;
  } else {
    a = std::atan(static_cast<double>(dx) / dy) * 57.2928;
    if (dy < 0) a += 180.0;
    else if (dx < 0) a += 360.0;
  }
  return static_cast<int32_t>(Nearest(a * 2.2222222222222223));
}

void SegmentBuffer::SendKnifeAngle(int32_t dx, int32_t dy) {
  if (!sink_.Connected()) return;
  const uint32_t w = static_cast<uint32_t>(KnifeAngleUnits(dx, dy));
  constexpr uint8_t kKnifeSpeed = 20;
  const uint8_t start = static_cast<uint8_t>(std::min<int>(kKnifeSpeed, config_.Config.Z_start_vel));
  // The W move of the console: absolute position, speed, start speed, no wait.
  sink_.QueueCommand(CommandRecord(kCmdMoveW, {Lo(w), Hi(w), static_cast<uint8_t>((w >> 16) & 0xFF),
                                               kKnifeSpeed, start, 0}));
}

bool SegmentBuffer::HasRoom(int head, int tail, int size) {
  if (head > tail) return head - tail < size - kRoomMargin;
  if (tail > head) return tail - head > kRoomMargin;
  return true;
}

bool SegmentBuffer::WaitBufferRoom() {
  const StopMark stop(flags_);
  while (!HasRoom(buffer_.BufHead(), buffer_.BufTail(), buffer_.BufferSize())) {
    if (flags_.StopWaiting() || stop.Stopped()) return false;
    // A link that no longer polls will never report a moved tail.
    if (!buffer_.PollWhileWaiting()) {
      return !stop.Stopped() && HasRoom(buffer_.BufHead(), buffer_.BufTail(), buffer_.BufferSize());
    }
  }
  return !stop.Stopped();
}

}  // namespace wendlar
