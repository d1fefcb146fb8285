// Tool touch-off and the corner finder against the simulated controller on virtual time:
// where the machine ends, what Z, X and Y are set to, and that a stop at any step ends the
// routine with nothing moving after it and the operator's speeds back.
#include <gtest/gtest.h>

#include "support/SimSystem.h"

namespace wendlar::testing {
namespace {

constexpr uint8_t kSetPositionRecord = 10;

bool MovesOrSets(uint8_t code) {
  switch (code) {
    case 10: case 20: case 21: case 24: case 29: case 61: case 62: case 63:
      return true;
    default:
      return false;
  }
}

int32_t Value24(const std::array<uint8_t, 11>& r, int first) {
  int32_t v = r[first] | (r[first + 1] << 8) | (r[first + 2] << 16);
  return (v & 0x800000) != 0 ? v - 0x1000000 : v;
}

struct TouchOffRig : ::testing::Test {
  explicit TouchOffRig(sim::SimOptions options = {}) : rig(std::move(options)) {}
  SimSystem rig;
  System& sys = *rig.sys;
  MachineConfig& c = sys.config.Config;

  void SetUp() override {
    ASSERT_TRUE(rig.ConnectAndInitialise());
    c.Tpad_Size = 0.1;  // the simulated pad is 800 Z steps thick
    c.TP_Seek_vel = 20;
    c.Zscale = 8;
  }
  std::vector<std::array<uint8_t, 11>> Motion(size_t from) {
    std::vector<std::array<uint8_t, 11>> out;
    for (const auto& r : rig.Records(from)) {
      if (MovesOrSets(r[0])) out.push_back(r);
    }
    return out;
  }
};

TEST_F(TouchOffRig, ATouchOnAPointOneInchPadSetsZToMinus800AndLiftsToMinus4800) {
  const size_t from = rig.sim.TraceRecords().size();
  ASSERT_TRUE(sys.touchOff.ToolTouchOff()) << sys.touchOff.Failure();
  rig.RunMs(3000);
  const auto records = Motion(from);
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[0][0], 62);
  EXPECT_EQ(records[0][1], 20);
  EXPECT_EQ(records[0][2], 20);
  EXPECT_EQ(records[1][0], kSetPositionRecord);
  EXPECT_EQ(records[1][1], 3);
  EXPECT_EQ(Value24(records[1], 2), -800);
  EXPECT_EQ(rig.sim.Position()[sim::kZ], -4800);
  // The pad's top is Z = 0.1: the tool stands 0.5 above it, 0.6 above the stock.
  const sim::SimWorld& w = rig.sim.Options().world;
  EXPECT_EQ(rig.sim.MachinePosition()[sim::kZ], w.stockTopZ - w.padThickness - 4000);
  EXPECT_EQ(sys.console.State.Operation, LongOperation::None);
}

TEST_F(TouchOffRig, TheTouchPadButtonAsksFirstAndCancelSendsNothing) {
  const size_t from = rig.sim.TraceRecords().size();
  rig.prompts.Answers.push_back(false);
  sys.touchOff.TouchClick();
  ASSERT_EQ(rig.prompts.Asked.size(), 1u);
  EXPECT_EQ(rig.prompts.Asked[0], "yes/cancel: Tool Touch off, Are you sure ?");
  EXPECT_TRUE(Motion(from).empty());

  rig.prompts.Answers.push_back(true);
  sys.touchOff.TouchClick();
  rig.RunMs(3000);
  EXPECT_EQ(rig.sim.Position()[sim::kZ], -4800);
}

TEST_F(TouchOffRig, AStopDuringTheTouchLeavesZUnset) {
  const size_t from = rig.sim.TraceRecords().size();
  auto stop = rig.loop.CreateTimer(1, true, [&] {
    if ((rig.sim.StateByte() & 0x08) != 0 && sys.flags.AbortRun == 0) sys.run.EmergencyStop();
  });
  EXPECT_FALSE(sys.touchOff.ToolTouchOff());
  stop.reset();
  rig.RunMs(2000);
  for (const auto& r : Motion(from)) EXPECT_EQ(r[0], 62) << "record " << int(r[0]) << " after the stop";
}

TEST_F(TouchOffRig, TheCornerSearchEndsAtTheCornerAboveThePadWithTheSpeedsRestored) {
  const size_t from = rig.sim.TraceRecords().size();
  ASSERT_TRUE(sys.touchOff.FindCorner()) << sys.touchOff.Failure();
  rig.RunMs(3000);
  const sim::Steps4 at = rig.sim.Position();
  EXPECT_EQ(at[sim::kX], 0);
  EXPECT_EQ(at[sim::kY], 0);
  EXPECT_EQ(at[sim::kZ], -4000);  // 0.1 pad + 0.4
  EXPECT_EQ(c.R_vel_max, 80);
  EXPECT_EQ(c.Z_raise_vel, 80);
  // Y and X were set where the tool touched each edge: 0.1 + tool radius (0.125) off it.
  int sets = 0;
  for (const auto& r : Motion(from)) {
    if (r[0] != kSetPositionRecord) continue;
    ++sets;
    if (sets == 4) {
      EXPECT_EQ(Value24(r, 2), -1800) << "Y at the edge";
    }
    if (sets == 5) {
      EXPECT_EQ(Value24(r, 2), -1800) << "X at the edge";
    }
  }
  EXPECT_EQ(sets, 5);
  // The two edge probes carry their axis and speeds.
  const auto records = Motion(from);
  std::vector<std::array<uint8_t, 11>> edges;
  for (const auto& r : records) {
    if (r[0] == 63) edges.push_back(r);
  }
  ASSERT_EQ(edges.size(), 2u);
  EXPECT_EQ((std::array<int, 5>{edges[0][1], edges[0][2], edges[0][3], edges[0][4], edges[0][5]}),
            (std::array<int, 5>{0, 20, 2, 15, 15}));
  EXPECT_EQ((std::array<int, 5>{edges[1][1], edges[1][2], edges[1][3], edges[1][4], edges[1][5]}),
            (std::array<int, 5>{0, 20, 1, 15, 0}));
}

// A stop after the k-th record of the search: the rest is skipped, nothing moves after the
// stop, and the speeds are the operator's again.
struct CornerStop : TouchOffRig, ::testing::WithParamInterface<int> {};

TEST_P(CornerStop, EndsTheSearchAndRestoresTheSpeeds) {
  const size_t from = rig.sim.TraceRecords().size();
  size_t stopAt = 0;
  auto stop = rig.loop.CreateTimer(1, true, [&] {
    if (stopAt == 0 && Motion(from).size() >= static_cast<size_t>(GetParam())) {
      stopAt = rig.sim.TraceRecords().size();
      sys.run.EmergencyStop();
    }
  });
  EXPECT_FALSE(sys.touchOff.FindCorner());
  stop.reset();
  rig.RunMs(3000);
  ASSERT_GT(stopAt, 0u);
  EXPECT_TRUE(Motion(stopAt).empty());
  EXPECT_EQ(c.R_vel_max, 80);
  EXPECT_EQ(c.Z_raise_vel, 80);
  EXPECT_EQ(sys.console.State.Operation, LongOperation::None);
}

INSTANTIATE_TEST_SUITE_P(EveryStep, CornerStop, ::testing::Range(1, 17));

TEST(CornerFinderMenu, IsEnabledOnlyAboveFirmware64) {
  for (int firmware : {64, 65}) {
    sim::SimOptions o;
    o.firmware = firmware;
    SimSystem rig(o);
    ASSERT_TRUE(rig.ConnectAndInitialise()) << firmware;
    EXPECT_EQ(rig.sys->console.View.CornerFinder1.Enabled(), firmware > 64) << firmware;
  }
}

}  // namespace
}  // namespace wendlar::testing
