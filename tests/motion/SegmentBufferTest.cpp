#include <gtest/gtest.h>

#include <vector>

#include "MotionRig.h"
#include "motion/SegmentBuffer.h"

namespace wendlar {
namespace {

using testing::MotionRig;

using Bytes = std::array<uint8_t, 12>;

// The signed X, Y, Z deltas a record 22 carries.
std::array<int, 3> Deltas(const CommandRecord& r) {
  const int sx = r.B(9) & 0x08 ? 1 : -1, sy = r.B(9) & 0x04 ? 1 : -1, sz = r.B(9) & 0x02 ? 1 : -1;
  return {sx * (r.B(1) | r.B(2) << 8), sy * (r.B(3) | r.B(4) << 8), sz * (r.B(5) | r.B(6) << 8)};
}

TEST(SegmentEncoding, XyzRecordsByteForByte) {
  MotionRig rig;
  auto& buf = rig.buffer;
  buf.SendSegment(1000, -300, -5, 0x01, 60, 61);
  buf.SendSegment(-10, 20, 300, 0x83, 5, 50);  // Z dominates only when past both X and Y
  buf.SendSegment(100, 100, 0, 0x02, 7, 7);    // a tie goes to Y
  buf.SendSegment(0, 0, 0, 0x01, 7, 7);        // nothing to move: not sent, but counted
  ASSERT_EQ(rig.link.records.size(), 3u);
  EXPECT_EQ(rig.link.records[0].bytes, (Bytes{22, 0xE8, 0x03, 0x2C, 0x01, 0x05, 0x00, 0x01, 60, 0x18, 61, 0}));
  EXPECT_EQ(rig.link.records[1].bytes, (Bytes{22, 0x0A, 0x00, 0x14, 0x00, 0x2C, 0x01, 0x83, 5, 0x46, 50, 0}));
  EXPECT_EQ(rig.link.records[2].bytes, (Bytes{22, 100, 0, 100, 0, 0, 0, 0x02, 7, 0x2E, 7, 0}));
  EXPECT_EQ(buf.PacketsSent, 4u);

  rig.link.connected = false;
  buf.SendSegment(5, 5, 5, 0x02, 7, 7);
  EXPECT_EQ(rig.link.records.size(), 3u);
  EXPECT_EQ(buf.PacketsSent, 5u);
}

TEST(SegmentEncoding, LaserRecordsAndTheirDebugLines) {
  MotionRig rig;
  testing::FakeDebugLog log;
  rig.buffer.SetDebugLog(&log);
  rig.buffer.SendSegmentW(-256, 255, -7, 0x01, 10, 20);
  rig.buffer.SendSegmentW(100, 100, 3, 0x02, 10, 20);  // a tie goes to Y
  rig.buffer.SendSegmentW(0, 0, 5, 0x03, 10, 20);      // power only: logged, not sent
  ASSERT_EQ(rig.link.records.size(), 2u);
  EXPECT_EQ(rig.link.records[0].bytes, (Bytes{23, 0x00, 0x01, 0xFF, 0x00, 0x07, 0x00, 0x01, 10, 0x14, 20, 0}));
  EXPECT_EQ(rig.link.records[1].bytes, (Bytes{23, 100, 0, 100, 0, 3, 0, 0x02, 10, 0x2E, 20, 0}));
  EXPECT_EQ(log.lines, (std::vector<std::string>{"1burn 0,1,255,0,7,0,", "2burn 100,0,100,0,3,0,",
                                                  "3burn 0,0,0,0,5,0,"}));
  EXPECT_EQ(rig.buffer.LaserCount, 3u);
  EXPECT_EQ(rig.buffer.PacketsSent, 3u);

  log.on = false;
  rig.buffer.SendSegmentW(1, 1, 1, 0x02, 10, 20);
  EXPECT_EQ(log.lines.size(), 3u);
}

TEST(KnifeAngle, DirectionsInUnitsOfHalfDegreesAndTheWMove) {
  using B = SegmentBuffer;
  EXPECT_EQ(B::KnifeAngleUnits(0, 100), 0);
  EXPECT_EQ(B::KnifeAngleUnits(100, 0), 200);
  EXPECT_EQ(B::KnifeAngleUnits(0, 0), 200);
  EXPECT_EQ(B::KnifeAngleUnits(-100, 0), 600);
  EXPECT_EQ(B::KnifeAngleUnits(0, -100), 400);
  EXPECT_EQ(B::KnifeAngleUnits(100, 100), 100);
  EXPECT_EQ(B::KnifeAngleUnits(100, -100), 300);
  EXPECT_EQ(B::KnifeAngleUnits(-100, 100), 700);
  // Here the knife's 57.2928 degrees per radian gives 623 where 57.2958 would give 622.
  EXPECT_EQ(B::KnifeAngleUnits(-56, 10), 623);
  EXPECT_EQ(B::KnifeAngleUnits(-58, -31), 537);

  MotionRig rig;  // Z_start_vel 10
  rig.buffer.SendKnifeAngle(-100, 0);
  rig.config.Config.Z_start_vel = 40;
  rig.buffer.SendKnifeAngle(100, 100);
  ASSERT_EQ(rig.link.records.size(), 2u);
  EXPECT_EQ(rig.link.records[0].bytes, (Bytes{24, 0x58, 0x02, 0x00, 20, 10, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(rig.link.records[1].bytes, (Bytes{24, 100, 0, 0, 20, 20, 0, 0, 0, 0, 0, 0}));
}

TEST(SegmentBuffer, QueueingStoresDeltasAndSkipsMovesThatGoNowhere) {
  MotionRig rig;
  auto& buf = rig.buffer;
  buf.LastStepX = 50;
  buf.QueueMove(100, 0, 0, 300.6);  // the cap keeps the low byte of the rounded value
  buf.QueueMove(100, 0, 0, 20);
  buf.QueueMove(100, -40, 7, 20);
  EXPECT_EQ(buf.SegCount, 3);
  EXPECT_EQ(buf.SegmentsQueued, 2u);
  EXPECT_TRUE(buf.SegmentsPending);
  const auto& s = buf.Segments();
  EXPECT_EQ(s.SegDX[1], 50);
  EXPECT_EQ(s.SegMaxSpeed[1], 45);
  EXPECT_EQ(s.SegDY[2], -40);
  EXPECT_EQ(s.SegDZ[2], 7);
  EXPECT_EQ(buf.LastStepZ, 7);

  // Laser moves test the power against the last Z and store no Z delta.
  buf.QueueMoveW(100, -40, 7, 20);
  EXPECT_EQ(buf.SegCount, 3);
  buf.QueueMoveW(100, -40, 9, 20);
  EXPECT_EQ(buf.SegCount, 4);
  EXPECT_EQ(s.SegW[3], 9);
  EXPECT_EQ(s.SegDZ[3], 0);
  EXPECT_EQ(buf.LastStepZ, 9);
  EXPECT_TRUE(rig.link.records.empty());
}

TEST(SegmentBuffer, TheNineHundredNinetyNinthSegmentFlushes) {
  MotionRig rig;
  auto& buf = rig.buffer;
  for (int i = 1; i <= 998; ++i) buf.QueueMove(i * 10, (i % 2) * 10, 0, 0);
  EXPECT_EQ(buf.SegCount, 999);
  EXPECT_TRUE(rig.link.records.empty());
  buf.QueueMove(9990, 0, 0, 0);
  EXPECT_EQ(buf.SegCount, 1);
  EXPECT_FALSE(buf.SegmentsPending);
  EXPECT_EQ(rig.link.records.size(), 999u);
  EXPECT_EQ(buf.PacketsSent, 999u);
  buf.QueueMove(10000, 0, 0, 0);
  EXPECT_EQ(buf.SegCount, 2);
}

TEST(Flush, SlowEndsAreSentAsFiveOrSlowSafe) {
  MotionRig rig;
  rig.config.Config.Slow_safe = 3;
  rig.feeds.feedIndex = 70;
  rig.buffer.QueueMove(1000, 0, 0, 0);
  rig.buffer.QueueMove(2000, 0, 0, 0);
  rig.buffer.FlushSegments();
  ASSERT_EQ(rig.link.records.size(), 2u);
  EXPECT_EQ(rig.link.records[0].bytes, (Bytes{22, 0xE8, 0x03, 0, 0, 0, 0, 0x01, 70, 0x1E, 70, 0}));
  EXPECT_EQ(rig.link.records[1].B(8), 5);  // planned 1, sent 5
  EXPECT_EQ(rig.buffer.FeedIdx, 70);

  rig.config.Config.Slow_safe = 12;
  rig.buffer.QueueMove(3000, 0, 0, 6);
  rig.buffer.QueueMove(4000, 0, 0, 0);
  rig.buffer.FlushSegments();
  ASSERT_EQ(rig.link.records.size(), 4u);
  EXPECT_EQ(rig.link.records[2].B(8), 12);  // capped at 6, raised to Slow_safe
  EXPECT_EQ(rig.link.records[3].B(8), 12);  // planned 1, sent 5, raised to Slow_safe

  // A flush with nothing held still takes the feed index.
  rig.feeds.feedIndex = 33;
  rig.buffer.FlushSegments();
  EXPECT_EQ(rig.buffer.FeedIdx, 33);
  EXPECT_EQ(rig.link.records.size(), 4u);
}

TEST(Flush, LongMovesAreCutIntoPiecesThatAddUpExactly) {
  MotionRig rig;  // Slow_safe 10
  rig.feeds.feedIndex = 80;
  rig.buffer.QueueMove(64001, 10, -3, 0);
  rig.buffer.FlushSegments();
  const auto& r = rig.link.records;
  ASSERT_EQ(r.size(), 3u);
  EXPECT_EQ(Deltas(r[0]), (std::array<int, 3>{21334, 3, -1}));
  EXPECT_EQ(Deltas(r[1]), (std::array<int, 3>{21333, 4, -1}));
  EXPECT_EQ(Deltas(r[2]), (std::array<int, 3>{21334, 3, -1}));
  // Only the last piece ends at the planned speed (1 sent as 5, not raised to Slow_safe).
  EXPECT_EQ(r[0].B(8), 80);
  EXPECT_EQ(r[1].B(8), 80);
  EXPECT_EQ(r[2].B(8), 5);
  EXPECT_EQ(rig.buffer.PacketsSent, 3u);

  // Exactly 32000 travels whole; negative and off-axis shares add up too.
  rig.link.records.clear();
  rig.buffer.LastStepX = rig.buffer.LastStepY = rig.buffer.LastStepZ = 0;
  rig.buffer.QueueMove(0, 32000, 0, 0);
  rig.buffer.QueueMove(-1, -70001, 12345, 0);
  rig.buffer.FlushSegments();
  ASSERT_EQ(r.size(), 5u);
  EXPECT_EQ(Deltas(r[0]), (std::array<int, 3>{0, 32000, 0}));
  std::array<int, 3> sum{};
  for (size_t i = 1; i < r.size(); ++i) {
    for (int a = 0; a < 3; ++a) sum[a] += Deltas(r[i])[a];
    EXPECT_LE(r[i].B(3) | r[i].B(4) << 8, 32000);
  }
  EXPECT_EQ(sum, (std::array<int, 3>{-1, -102001, 12345}));
}

TEST(Flush, LaserPiecesCarryTheSamePowerAndKnifeTurnsPrecedeSegments) {
  MotionRig rig;
  rig.buffer.LaserSegments = true;
  rig.buffer.QueueMoveW(40000, 0, 77, 30);
  rig.buffer.FlushSegments();
  ASSERT_EQ(rig.link.records.size(), 2u);
  for (const auto& rec : rig.link.records) {
    EXPECT_EQ(rec.Code(), 23);
    EXPECT_EQ(rec.B(5), 77);
  }
  EXPECT_EQ(rig.link.records[1].B(8), 10);

  MotionRig knife;
  knife.buffer.KnifeMode = true;
  knife.buffer.QueueMove(0, 1000, 0, 0);
  knife.buffer.QueueMove(1000, 1000, 0, 0);
  knife.buffer.FlushSegments();
  std::vector<int> codes;
  for (const auto& rec : knife.link.records) codes.push_back(rec.Code());
  EXPECT_EQ(codes, (std::vector<int>{24, 22, 24, 22}));
  EXPECT_EQ(knife.link.records[2].B(1), 200);
}

TEST(Flush, NotConnectedPlansAndCountsButQueuesNothing) {
  MotionRig rig;
  rig.link.connected = false;
  rig.link.head = 3900;  // stale: must not be waited on
  rig.link.tail = 100;
  rig.buffer.QueueMove(1000, 0, 0, 0);
  rig.buffer.QueueMove(70000, 0, 0, 0);
  rig.buffer.FlushSegments();
  EXPECT_TRUE(rig.link.records.empty());
  EXPECT_EQ(rig.buffer.PacketsSent, 4u);
  EXPECT_EQ(rig.link.polls, 0);
  EXPECT_EQ(rig.buffer.SegCount, 1);
}

TEST(Flush, AbortDropsTheRestOfTheBuffer) {
  MotionRig rig;
  rig.link.onQueue = [&] {
    if (rig.link.records.size() == 2) rig.flags.AbortRun = 1;
  };
  for (int i = 1; i <= 5; ++i) rig.buffer.QueueMove(i * 1000, 0, 0, 0);
  rig.buffer.FlushSegments();
  EXPECT_EQ(rig.link.records.size(), 2u);
  EXPECT_EQ(rig.buffer.SegCount, 1);
  EXPECT_FALSE(rig.buffer.SegmentsPending);
}

TEST(WaitBufferRoom, RoomConditionsWithTheFixedMargin) {
  using B = SegmentBuffer;
  EXPECT_TRUE(B::HasRoom(0, 0, 4096));
  EXPECT_TRUE(B::HasRoom(2000, 2000, 4000));
  EXPECT_FALSE(B::HasRoom(3900, 100, 4096));  // 3800 is not below 3796
  EXPECT_TRUE(B::HasRoom(3895, 100, 4096));
  EXPECT_FALSE(B::HasRoom(3800, 100, 4000));
  EXPECT_FALSE(B::HasRoom(100, 350, 4096));   // 250 is not above 300
  EXPECT_FALSE(B::HasRoom(100, 400, 4096));
  EXPECT_TRUE(B::HasRoom(100, 401, 4096));
}

TEST(WaitBufferRoom, PollsUntilTheControllerFreesRoomAndEndsOnAbortAndWhenPollingStops) {
  MotionRig rig;
  rig.link.head = 0;
  rig.link.tail = 0;
  EXPECT_TRUE(rig.buffer.WaitBufferRoom());
  EXPECT_EQ(rig.link.polls, 0);

  rig.link.head = 3900;
  rig.link.tail = 100;
  rig.link.onPoll = [&] {
    rig.link.tail = static_cast<uint16_t>(rig.link.tail + 2);
    return true;
  };
  EXPECT_TRUE(rig.buffer.WaitBufferRoom());
  EXPECT_EQ(rig.link.polls, 3);  // tail 106: 3794 is below 3796

  rig.link.polls = 0;
  rig.link.head = 100;
  rig.link.tail = 350;
  rig.link.onPoll = [&] {
    if (rig.link.polls == 4) rig.flags.AbortRun = 1;
    return true;
  };
  EXPECT_FALSE(rig.buffer.WaitBufferRoom());
  EXPECT_EQ(rig.link.polls, 4);

  rig.flags.AbortRun = 0;
  rig.link.polls = 0;
  rig.link.onPoll = [] { return false; };  // the link has stopped: no report will come
  EXPECT_FALSE(rig.buffer.WaitBufferRoom());
  EXPECT_EQ(rig.link.polls, 1);

  // A flush into a full buffer on a silent link stops after the first packet.
  for (int i = 1; i <= 3; ++i) rig.buffer.QueueMove(i * 1000, 0, 0, 0);
  rig.buffer.FlushSegments();
  EXPECT_EQ(rig.link.records.size(), 1u);
  EXPECT_EQ(rig.buffer.SegCount, 1);
}

TEST(Flush, StreamingWaitsForRoomAfterEveryPacket) {
  MotionRig rig;
  // Every packet fills the controller; one poll drains it again.
  rig.link.onQueue = [&] {
    rig.link.head = 3900;
    rig.link.tail = 100;
  };
  rig.link.onPoll = [&] {
    rig.link.tail = rig.link.head;
    return true;
  };
  rig.buffer.QueueMove(1000, 0, 0, 0);
  rig.buffer.QueueMove(70000, 0, 0, 0);
  rig.buffer.FlushSegments();
  EXPECT_EQ(rig.link.records.size(), 4u);
  EXPECT_EQ(rig.link.polls, 4);
}

}  // namespace
}  // namespace wendlar
