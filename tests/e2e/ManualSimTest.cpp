// Manual control against the simulated controller on virtual time: where the machine ends
// up, as the controller reports it and as the console's position labels show it.
#include <gtest/gtest.h>

#include "console/ManualRig.h"

namespace wendlar::testing {
namespace {

using sim::kX;
using sim::kY;
using sim::kZ;

struct ManualOnSimulator : ::testing::Test {
  ManualRig rig;
  ManualControl& m = rig.manual;
  ConsoleView& v = rig.sys.console.View;
  void SetUp() override {
    rig.Connect();
    rig.RunMs(100);
  }
  sim::Steps4 Where() { return rig.sim.Position(); }
};

TEST_F(ManualOnSimulator, RapidAndZMovesEndWhereTheyWereSent) {
  ASSERT_TRUE(m.Motion.RapidXY(8000, 16000));  // 1", 2"
  const auto zSpeed = static_cast<uint8_t>(rig.tables.SpeedIndexOf(rig.sys.config.Config.Z_raise_vel));
  ASSERT_TRUE(m.Motion.MoveZ(-4000, zSpeed, true));  // 0.5" up
  rig.Settle();
  EXPECT_EQ(Where()[kX], 8000);
  EXPECT_EQ(Where()[kY], 16000);
  EXPECT_EQ(Where()[kZ], -4000);
  EXPECT_EQ(v.XPOS.Caption(), "1.000\"");
  EXPECT_EQ(v.ypos.Caption(), "2.000\"");
  EXPECT_EQ(v.ZPOS.Caption(), "0.500\"");
}

TEST_F(ManualOnSimulator, MetricLabelsUseTwoDecimalsAndNoMark) {
  SetMetricUnits(rig.sys.config.Units);
  m.Coordinates.MoveToXY();
  m.Coordinates.View.Xedit.SetCaption("10");
  m.Coordinates.View.Yedit.SetCaption("2.5");
  m.Coordinates.Go_moveClick();
  rig.Settle();
  EXPECT_EQ(Where()[kX], 8000);  // 10 mm x 100 x 8
  EXPECT_EQ(Where()[kY], 2000);
  EXPECT_EQ(v.XPOS.Caption(), "10.00");
  EXPECT_EQ(v.ypos.Caption(), "2.50");
}

TEST_F(ManualOnSimulator, PlainHomingLeavesXAndYAtTheClearance) {
  m.Motion.RapidXY(40000, 24000);
  rig.Settle();
  m.Home.HomeXYbutClick();
  rig.Settle();
  EXPECT_EQ(Where()[kX], 2000);  // 0.25" off the switch
  EXPECT_EQ(Where()[kY], 2000);
  EXPECT_EQ(v.XPOS.Caption(), "0.250\"");
  EXPECT_EQ(v.ypos.Caption(), "0.250\"");
}

TEST_F(ManualOnSimulator, DualHeadHomingLeavesXAtZeroAndYAt32Units) {
  rig.homeXNYP = true;
  m.Motion.RapidXY(40000, 24000);
  rig.Settle();
  m.Home.HomeXYbutClick();
  rig.Settle();
  EXPECT_EQ(Where()[kX], 0);
  EXPECT_EQ(Where()[kY], 256000);
  EXPECT_EQ(v.XPOS.Caption(), "0.000\"");
  EXPECT_EQ(v.ypos.Caption(), "32.000\"");
}

TEST_F(ManualOnSimulator, SwitchDetectHomingOfXSetsXToZeroAndLeavesY) {
  m.Motion.RapidXY(40000, 24000);
  rig.Settle();
  rig.sys.flags.AbortRun = 1;  // left by an earlier job
  m.Home.HomeXNonZero();
  rig.Settle();
  EXPECT_EQ(Where()[kX], 0);
  EXPECT_EQ(Where()[kY], 24000);
  EXPECT_EQ(v.XPOS.Caption(), "0.000\"");
}

TEST_F(ManualOnSimulator, BorderRunTracesTheLimitsAtSafeHeightAndEndsAtTheFirstCorner) {
  rig.sys.console.State.ActiveOffsetX = 0.5;  // fixture offset: the trace runs where the job will
  m.Border.Limits = BorderLimits{1000, 2000, 3000, 4000};
  rig.sys.flags.AbortRun = 1;
  const size_t from = rig.Mark();
  ASSERT_TRUE(m.Border.Run_BorderClick());
  rig.Settle();
  std::vector<uint8_t> codes;
  for (const Record& r : rig.Received(from)) codes.push_back(r[0]);
  EXPECT_EQ(codes, (std::vector<uint8_t>{12, 3, 13, 14, 21, 20, 19, 20, 19, 20, 19, 20, 19, 20, 80}));
  const auto moves = rig.ReceivedCode(20);
  ASSERT_EQ(moves.size(), 5u);
  // The far corner: (3000 + 500) x 8, 4000 x 8.
  EXPECT_EQ(moves[2][1] | (moves[2][2] << 8) | (moves[2][3] << 16), 28000);
  EXPECT_EQ(moves[2][4] | (moves[2][5] << 8) | (moves[2][6] << 16), 32000);
  EXPECT_EQ(Where()[kX], 12000);
  EXPECT_EQ(Where()[kY], 16000);
  EXPECT_EQ(Where()[kZ], -4000);
  EXPECT_TRUE(rig.sys.console.State.JobCompleted);
  EXPECT_EQ(rig.sys.console.State.Operation, LongOperation::None);
  EXPECT_EQ(v.XPOS.Caption(), "1.000\"");  // 1.5" machine, 0.5" fixture

  // On a plasma machine the second output is the torch: a dry run never lights it.
  rig.plasma = true;
  const size_t again = rig.Mark();
  ASSERT_TRUE(m.Border.Run_BorderClick());
  rig.Settle();
  for (const Record& r : rig.Received(again)) EXPECT_TRUE(r[0] != 13 && r[0] != 14);
}

TEST_F(ManualOnSimulator, AJogRunsWhileHeldAndStopsOnReleaseOrLostFocus) {
  m.Jog.JogButtonDown(JogButton::XPos);
  rig.RunMs(300);
  m.Jog.JogButtonUp(JogButton::XPos);
  rig.RunMs(200);
  const int64_t stoppedAt = Where()[kX];
  EXPECT_GT(stoppedAt, 0);
  rig.RunMs(500);
  EXPECT_EQ(Where()[kX], stoppedAt);

  m.Jog.KeyDown({ConsoleKey::Up, kModAlt, false});
  rig.RunMs(300);
  m.Jog.FocusLost();  // the key-up goes to another window
  rig.RunMs(200);
  const int64_t yStopped = Where()[kY];
  EXPECT_GT(yStopped, 0);
  rig.RunMs(500);
  EXPECT_EQ(Where()[kY], yStopped);
}

}  // namespace
}  // namespace wendlar::testing
