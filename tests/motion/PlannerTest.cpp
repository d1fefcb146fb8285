#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "MotionRig.h"
#include "motion/Planner.h"

namespace wendlar {
namespace {

using testing::MotionRig;

struct Target {
  int32_t x, y, z;
};

// Queues moves to the targets from the origin and plans them without sending.
void Plan(MotionRig& rig, const std::vector<Target>& targets, double cap = 0) {
  for (const Target& t : targets) rig.buffer.QueueMove(t.x, t.y, t.z, cap);
  rig.buffer.PlanSegments(rig.buffer.SegCount - 1);
}

std::vector<int> Flags(const MotionRig& rig, int n) {
  std::vector<int> v;
  for (int i = 1; i <= n; ++i) v.push_back(rig.buffer.Segments().SegFlags[i]);
  return v;
}
std::vector<int> Corners(const MotionRig& rig, int n) {  // severities at the starts of 2..n+1
  std::vector<int> v;
  for (int i = 2; i <= n + 1; ++i) v.push_back(rig.buffer.Segments().SegCorner[i]);
  return v;
}
std::vector<int> Speeds(const MotionRig& rig, int n) {
  std::vector<int> v;
  for (int i = 1; i <= n; ++i) v.push_back(rig.buffer.Segments().SegSpeed[i]);
  return v;
}
using V = std::vector<int>;

TEST(Planner, CollinearSegmentsRunAtTheCornerTableTopOrTheCeiling) {
  MotionRig rig;
  Plan(rig, {{1000, 0, 0}, {2000, 0, 0}, {3000, 0, 0}});
  EXPECT_EQ(Flags(rig, 3), (V{1, 1, 1}));
  EXPECT_EQ(Corners(rig, 3), (V{1, 1, 255}));
  EXPECT_EQ(Speeds(rig, 3), (V{100, 100, 1}));
  EXPECT_EQ(rig.config.Config.Vel_ceiling, 100);

  MotionRig slow;
  slow.feeds.feedIndex = 60;
  Plan(slow, {{0, -1000, 0}, {0, -2000, 0}});
  EXPECT_EQ(Flags(slow, 2), (V{2, 2}));
  EXPECT_EQ(Speeds(slow, 2), (V{60, 1}));
  EXPECT_EQ(slow.config.Config.Vel_ceiling, 60);
}

TEST(Planner, FullReversalOnXIsASharpStop) {
  MotionRig rig;  // Sharp_ang_paz 30
  Plan(rig, {{1000, 0, 0}, {0, 0, 0}});
  EXPECT_EQ(Flags(rig, 2), (V{0x41, 1}));
  EXPECT_EQ(Corners(rig, 2), (V{101, 255}));
  EXPECT_EQ(Speeds(rig, 2), (V{1, 1}));

  // Without the corner pause the severity of 200 is kept whole and limited to 100.
  MotionRig lax;
  lax.config.Config.Sharp_ang_paz = 101;
  Plan(lax, {{1000, 0, 0}, {0, 0, 0}});
  EXPECT_EQ(Flags(lax, 2), (V{1, 1}));
  EXPECT_EQ(Corners(lax, 2), (V{100, 255}));
  EXPECT_EQ(Speeds(lax, 2), (V{35, 1}));
}

TEST(Planner, RightAngleAndShallowCorners) {
  MotionRig rig;
  // +X then +Y: both shares change by 99.999, halved to 50, which is past the pause angle.
  Plan(rig, {{1000, 0, 0}, {1000, 1000, 0}});
  EXPECT_EQ(Flags(rig, 2), (V{0x41, 2}));
  EXPECT_EQ(Corners(rig, 2), (V{101, 255}));

  MotionRig lax;
  lax.config.Config.Sharp_ang_paz = 60;
  Plan(lax, {{1000, 0, 0}, {1000, 1000, 0}});
  EXPECT_EQ(Corners(lax, 2), (V{50, 255}));
  EXPECT_EQ(Speeds(lax, 2), (V{40, 1}));

  // A 10% sideways turn: severity 5, corner speed 90.
  MotionRig shallow;
  Plan(shallow, {{1000, 0, 0}, {2000, 100, 0}});
  EXPECT_EQ(Flags(shallow, 2), (V{1, 1}));
  EXPECT_EQ(Corners(shallow, 2), (V{5, 255}));
  EXPECT_EQ(Speeds(shallow, 2), (V{90, 1}));

  // A diagonal tie goes to Y, a three-way tie to Z.
  MotionRig ties;
  ties.config.Config.Sharp_ang_paz = 101;
  Plan(ties, {{500, 500, 0}, {500, 500, 600}, {1000, 1000, 1100}});
  EXPECT_EQ(Flags(ties, 3), (V{2, 3, 3}));
}

TEST(Planner, ShortSegmentsAreMarked) {
  MotionRig rig;  // Short_vlen_steps 50 x Xscale 8: shorter than 400 steps is short
  rig.config.Config.Sharp_ang_paz = 101;
  Plan(rig, {{399, 0, 0}, {799, 0, 0}, {799, 0, -100}, {799, 5000, -100}});
  EXPECT_EQ(Flags(rig, 4), (V{0x81, 1, 0x83, 2}));
}

TEST(Planner, MassCompensationSlowsRunsOfShortSegmentsThroughModerateCorners) {
  // A zigzag of 300-step segments turning by 40% of their length: severity 20 at every corner.
  const std::vector<Target> zigzag = {{300, 0, 0}, {600, 120, 0}, {900, 120, 0}, {1200, 240, 0}};
  MotionRig plain;
  Plan(plain, zigzag);
  EXPECT_EQ(Flags(plain, 4), (V{0x81, 0x81, 0x81, 0x81}));
  EXPECT_EQ(Corners(plain, 4), (V{20, 20, 20, 255}));
  EXPECT_EQ(Speeds(plain, 4), (V{60, 60, 60, 1}));

  MotionRig heavy;
  heavy.config.Config.Mass_comp = 5;  // segments under round(40 x 8) = 320 steps count as short
  Plan(heavy, zigzag);
  EXPECT_EQ(Corners(heavy, 4), (V{50, 50, 20, 255}));
  EXPECT_EQ(Speeds(heavy, 4), (V{40, 40, 60, 1}));

  // 330-step segments are long enough to be left alone.
  MotionRig longer;
  longer.config.Config.Mass_comp = 10;
  Plan(longer, {{330, 0, 0}, {660, 132, 0}, {990, 132, 0}, {1320, 264, 0}});
  EXPECT_EQ(Corners(longer, 4), (V{20, 20, 20, 255}));
}

TEST(Planner, DecelerationIsLimitedByTheControllerRampTable) {
  // Ramp of 10 steps per index: a 90-step segment sheds exactly 9 indices, its length included.
  auto ramp = [](MotionRig& rig) {
    for (int k = 1; k <= 100; ++k) rig.tables.ControllerTable[k] = static_cast<uint16_t>(10 * k);
  };
  const std::vector<Target> line = {{90, 0, 0}, {180, 0, 0}, {270, 0, 0}};
  MotionRig rig;
  ramp(rig);
  Plan(rig, line);
  EXPECT_EQ(Speeds(rig, 3), (V{19, 10, 1}));

  MotionRig capped;  // the walk never climbs past the feed ceiling
  capped.feeds.feedIndex = 15;
  ramp(capped);
  Plan(capped, line);
  EXPECT_EQ(Speeds(capped, 3), (V{15, 10, 1}));

  // Per-segment caps apply before the deceleration pass.
  MotionRig limited;
  ramp(limited);
  Plan(limited, line, 8);
  EXPECT_EQ(Speeds(limited, 3), (V{8, 8, 1}));
}

TEST(Planner, UnfitRampTablesScaleOrFeedStayWithinTheTable) {
  struct Case {
    const char* what;
    double xscale;
    int feedIndex;
    std::array<int, 3> ramp;  // entries 1, 2 and the rest
  };
  const Case cases[] = {{"empty ramp table", 8, 100, {0, 0, 0}},
                        {"falling ramp table", 8, 100, {60000, 30000, 5}},
                        {"zero scale", 0, 100, {1, 2, 3}},
                        {"zero feed index", 8, 0, {1, 2, 3}},
                        {"feed index past the table", 8, 255, {1, 2, 3}}};
  for (const Case& c : cases) {
    MotionRig rig;
    rig.config.Config.Xscale = c.xscale;
    rig.feeds.feedIndex = c.feedIndex;
    rig.config.Config.Mass_comp = 10;
    for (int k = 1; k <= 100; ++k) {
      rig.tables.ControllerTable[k] = static_cast<uint16_t>(k <= 2 ? c.ramp[k - 1] : c.ramp[2]);
    }
    Plan(rig, {{100, 0, 0}, {200, 0, 0}, {200, 100, 0}, {250, 50, 7}});
    for (int s : Speeds(rig, 4)) {
      EXPECT_GE(s, 1) << c.what;
      EXPECT_LE(s, 100) << c.what;
    }
    EXPECT_GE(rig.config.Config.Vel_ceiling, 1) << c.what;
    EXPECT_LE(rig.config.Config.Vel_ceiling, 100) << c.what;
  }
}

TEST(Planner, LaserSegmentsKeepTheirOwnSpeedsAndEndAtTen) {
  MotionRig rig;
  rig.buffer.LaserSegments = true;
  rig.buffer.QueueMoveW(1000, 0, 200, 30);
  rig.buffer.QueueMoveW(0, 0, 180, 40);  // a reversal that would otherwise stop
  rig.buffer.QueueMoveW(0, 800, 180, 0); // no speed given: the plan stands
  rig.buffer.QueueMoveW(0, 900, 150, 50);
  rig.buffer.PlanSegments(4);
  EXPECT_EQ(Speeds(rig, 4), (V{30, 40, 100, 10}));
}

}  // namespace
}  // namespace wendlar
