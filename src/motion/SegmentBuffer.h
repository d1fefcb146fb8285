// The segment buffer: collects feed moves as step deltas, plans them and streams them as packets.
#pragma once

#include <cstdint>

#include "config/MachineConfig.h"
#include "core/RunFlags.h"
#include "motion/MotionPorts.h"
#include "motion/Planner.h"
#include "motion/SpeedTables.h"

namespace wendlar {

// Controller record codes produced here.
inline constexpr uint8_t kCmdSegment = 22;
inline constexpr uint8_t kCmdSegmentW = 23;
inline constexpr uint8_t kCmdMoveW = 24;

// One instance lives as long as the program; its arrays are allocated once, so streaming
// any number of segments never allocates.
class SegmentBuffer {
 public:
  // The controller's ring buffer must keep this many entries free.
  static constexpr int kRoomMargin = 300;
  // Longest dominant-axis run one packet may carry.
  static constexpr int32_t kMaxPieceSteps = 32000;

  SegmentBuffer(ConfigState& config, SpeedTables& tables, CommandSink& sink, ControllerBuffer& buffer,
                RunFlags& flags);

  // Counters read by the console.
  uint32_t PacketsSent = 0;     // every piece handed to the encoder, connected or not
  uint32_t SegmentsQueued = 0;  // every segment stored
  uint32_t LaserCount = 0;      // every laser piece encoded

  int SegCount = 1;  // 1 + segments held
  // Absolute step position of the last target queued (or rapid recorded by the engines).
  int32_t LastStepX = 0, LastStepY = 0, LastStepZ = 0;
  bool SegmentsPending = false;
  uint8_t FeedIdx = 1;         // feed index taken at the last flush
  bool LaserSegments = false;  // send as laser segments (record 23)
  bool KnifeMode = false;      // turn the knife before every segment
  int32_t LineTag = 0;         // the job line whose moves are queued now

  // The debug log for the laser lines; none by default.
  void SetDebugLog(DebugLog* log) { debug_ = log; }

  // Stores the move to absolute step target (x, y, z); speed is a speed-index cap (0 none).
  // Flushes when the buffer is full.
  void QueueMove(int32_t x, int32_t y, int32_t z, double speed);
  // Stores a laser move to (x, y) with the absolute laser power w.
  void QueueMoveW(int32_t x, int32_t y, int32_t w, double speed);
  // Plans and sends everything held; returns when all is queued, on AbortRun, or when the
  // link stops polling while the controller's buffer is full (the rest is then dropped).
  void FlushSegments();
  // Plans the k segments held without sending them (FlushSegments does it first).
  void PlanSegments(int k);

  // Encodes one XYZ segment as record 22 and queues it.
  void SendSegment(int32_t dx, int32_t dy, int32_t dz, uint8_t flags, uint8_t speedIndex, uint8_t feedIndex);
  // Encodes one laser segment as record 23 and queues it.
  void SendSegmentW(int32_t dx, int32_t dy, int32_t w, uint8_t flags, uint8_t speedIndex, uint8_t feedIndex);
  // Queues a knife rotation (an absolute W move) for the direction (dx, dy).
  void SendKnifeAngle(int32_t dx, int32_t dy);
  // Knife direction of (dx, dy) in units of 0.45 degree, 800 to a turn.
  static int32_t KnifeAngleUnits(int32_t dx, int32_t dy);

  // Returns once the controller's buffer has room; false when it has none because AbortRun
  // was set or the link stopped polling, and false when the machine was stopped meanwhile.
  bool WaitBufferRoom();
  // The three room conditions, with the fixed margin.
  static bool HasRoom(int head, int tail, int size);

  // The plunge speed index of the spooler engine, from the feed of the last flush.
  int PlungeSpeedIndex() const { return tables_.PlungeSpeedIndex(FeedIdx); }

  const SegmentStore& Segments() const { return store_; }

 private:
  void Store(int32_t dx, int32_t dy, int32_t dz, int32_t w, double speed);
  // Sends one piece and waits for room after it; false when the flush must stop.
  bool SendPiece(int i, int32_t dx, int32_t dy, int32_t dz, int speed);

  ConfigState& config_;
  SpeedTables& tables_;
  CommandSink& sink_;
  ControllerBuffer& buffer_;
  RunFlags& flags_;
  DebugLog* debug_ = nullptr;
  SegmentStore store_;
  int32_t sendingLine_ = 0;  // the line of the segment being sent
};

}  // namespace wendlar
