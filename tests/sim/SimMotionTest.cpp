#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "SimTestSupport.h"

namespace wendlar::sim {
namespace {

using testing::Bench;

// Milliseconds until the machine stops being busy, looked at every millisecond.
int64_t MsUntilIdle(Bench& bench, int64_t limitMs) {
  for (int64_t ms = 0; ms < limitMs; ++ms) {
    if (!(bench.sim.StateByte() & kStateBusy)) return ms;
    bench.RunMs(1);
  }
  return limitMs;
}

TEST(SimMotion, StepRoundingMatchesTheLibraryEverywhere) {
  // Halves, their neighbours one ulp away, and a sweep of fractions over the axis range.
  std::vector<double> values = {0.0, -0.0, 0.5, -0.5, 1.5, -1.5, 2.5, -2.5, 8388607.5, -8388608.5,
                                0.49999999999999994, -0.49999999999999994, 4503599627370495.5, 1e15 + 0.5};
  for (double half = 0.5; half < 1e7; half = half * 3 + 1) {
    values.push_back(std::nextafter(half, 0.0));
    values.push_back(std::nextafter(half, 1e300));
    values.push_back(-std::nextafter(half, 0.0));
  }
  for (int i = -200000; i <= 200000; ++i) values.push_back(i * 41.943 / 7.0);
  for (double v : values) ASSERT_EQ(RoundSteps(v), std::llround(v)) << v;
}

TEST(SimMotion, AMoveTakesTheTimeItsSpeedAndRampImply) {
  Bench bench;
  bench.Initialise();
  // X 20000, Y 10000 at index 100 (6000 steps/s on the 32-bit family), starting at index 1.
  bench.Send(20, {0x20, 0x4E, 0x00, 0x10, 0x27, 0x00, 100, 1});
  EXPECT_EQ(bench.sim.StateByte(), kStateBusy);
  // 3.33 s at full speed plus about 0.45 s lost to the ramps at both ends.
  const int64_t ms = MsUntilIdle(bench, 10000);
  EXPECT_GT(ms, 3650);
  EXPECT_LT(ms, 3950);
  EXPECT_EQ(bench.Line("R3"), "3.204E0010270000000000\r\n");

  // Back to 0 and watch it half way: the ramps are symmetric, so both axes are at half.
  bench.Send(20, {0, 0, 0, 0, 0, 0, 100, 1});
  bench.RunMs(ms / 2);
  const Steps4 half = bench.sim.Position();
  EXPECT_NEAR(half[kX], 10000, 300);
  EXPECT_NEAR(half[kY], 5000, 150);
  EXPECT_EQ(bench.sim.CurrentSpeedIndex(), 100);
  bench.RunMs(ms);
  EXPECT_EQ(bench.sim.Position(), (Steps4{0, 0, 0, 0}));
  EXPECT_EQ(bench.sim.CurrentSpeedIndex(), 0);
}

TEST(SimMotion, EightBitRatesFollowTheListAndTheContourRangeHalvesThem) {
  const auto timeFor = [](int cutRange) {
    SimOptions options;
    options.firmware = 60;
    Bench bench(options);
    bench.Send(11, {210, 210, static_cast<uint8_t>(cutRange), 1});
    bench.Send(30, {1});
    bench.Send(29, {0x40, 0x0D, 0x03, 100, 1, 1});  // X to 200000 at index 100
    return MsUntilIdle(bench, 60000);
  };
  const int64_t full = timeFor(0);
  const int64_t half = timeFor(1);
  // 21810 steps/s at index 100: a little over 9.2 s.
  EXPECT_GT(full, 9200);
  EXPECT_LT(full, 9800);
  EXPECT_NEAR(static_cast<double>(half) / static_cast<double>(full), 2.0, 0.1);
}

TEST(SimMotion, SegmentsMoveByTheirMagnitudesWithSignsFromTheDirectionByte) {
  Bench bench;
  bench.Initialise();
  bench.Send(3);
  // +1000 X, -500 Y: X and Z signs set, X dominant.
  bench.Send(22, {0xE8, 0x03, 0xF4, 0x01, 0, 0, 0x01, 20, 0x1A, 50});
  // +200 X, +100 Y, -300 Z: only X and Y signs set, Z dominant.
  bench.Send(22, {0xC8, 0x00, 0x64, 0x00, 0x2C, 0x01, 0x03, 5, 0x4C, 50});
  // Laser segment: -400 X, laser value 1500 in the fourth channel.
  bench.Send(23, {0x90, 0x01, 0, 0, 0xDC, 0x05, 0x01, 10, 0x16, 50});
  bench.Send(80);
  MsUntilIdle(bench, 10000);
  EXPECT_EQ(bench.sim.Position(), (Steps4{800, -400, -300, 0}));
  EXPECT_EQ(bench.sim.LaserValue(), 1500);
  EXPECT_EQ(bench.Line("R2"), "2.040004005C00\r\n");
  EXPECT_EQ(bench.Line("R3"), "3.20030070FEFFD4FEFF00\r\n");
}

TEST(SimMotion, FeedOverrideSlowsCuttingMovesButNotRapids) {
  const auto positionAfter = [](uint8_t code, uint8_t overrideByte) {
    Bench bench;
    bench.Initialise();
    bench.Send(135, {overrideByte, 0, 0, 0});
    if (code == 22) {
      bench.Send(22, {0x30, 0x75, 0, 0, 0, 0, 0x01, 1, 0x1E, 100});  // +30000 X at feed 100
    } else {
      bench.Send(29, {0x30, 0x75, 0, 100, 1, 1});
    }
    bench.RunMs(2000);
    return static_cast<double>(bench.sim.Position()[kX]);
  };
  EXPECT_NEAR(positionAfter(22, 0x9E) / positionAfter(22, 0), 0.7, 0.03);  // -30 %
  EXPECT_NEAR(positionAfter(29, 0x9E), positionAfter(29, 0), 1.0);
}

TEST(SimMotion, JogsRunUntilStoppedAndSingleStepsMoveOneStep) {
  Bench bench;
  bench.Initialise();
  bench.Send(5, {0x1F, 50});  // X plus, 3000 steps/s
  bench.RunMs(500);
  const int64_t early = bench.sim.Position()[kX];
  EXPECT_GT(early, 1000);
  bench.RunMs(500);
  const int64_t later = bench.sim.Position()[kX];
  EXPECT_GT(later, early + 1200);
  bench.Send(6);
  EXPECT_EQ(bench.sim.StateByte() & kStateBusy, 0);
  bench.RunMs(1000);
  EXPECT_EQ(bench.sim.Position()[kX], later);

  // Z plus is up, which counts steps down; W minus counts them up.
  bench.Send(5, {0x40, 20});
  bench.RunMs(300);
  bench.Send(6);
  EXPECT_LT(bench.sim.Position()[kZ], 0);
  bench.Send(5, {0x8F, 20});
  bench.RunMs(300);
  bench.Send(6);
  EXPECT_GT(bench.sim.Position()[kW], 0);

  bench.Send(2, {0x20, 5});  // Y minus, one step
  bench.Send(2, {0x20, 5});
  bench.RunMs(50);
  EXPECT_EQ(bench.sim.Position()[kY], -2);

  // A jog released while it still waited behind a dwell never starts.
  bench.Send(19, {50, 0});
  bench.Send(5, {0x2F, 50});
  bench.Send(6);
  bench.RunMs(2000);
  EXPECT_EQ(bench.sim.Position()[kY], -2);
  EXPECT_EQ(bench.sim.StateByte() & kStateBusy, 0);
}

TEST(SimMotion, HomingRunsToTheSwitchesAndEndsAtTheClearance) {
  Bench bench;
  bench.Initialise();
  bench.Send(8, {0, 5, 50, 0xE8, 0x03});  // X and Y, clearance 1000
  bench.Send(7, {0, 5, 30, 0x00, 0x00});  // Z, no clearance: it stays on its switch
  MsUntilIdle(bench, 60000);
  EXPECT_EQ(bench.sim.Position(), (Steps4{1000, 1000, 0, 0}));
  EXPECT_EQ(bench.sim.MachinePosition(), (Steps4{1000, 1000, 0, 1000}));
  EXPECT_EQ(bench.sim.InputsByte(), 0x54);  // Z switch made: bit 3 clear

  // Dual homing followed at once by set-position records: they wait for the homing.
  bench.Send(5, {0x1F, 80});
  bench.RunMs(500);
  bench.Send(6);
  bench.Send(110, {1, 5, 50, 0, 0});
  bench.Send(10, {1, 0, 0, 0, 0});
  bench.Send(10, {2, 0x00, 0x01, 0x00, 0});
  MsUntilIdle(bench, 60000);
  EXPECT_EQ(bench.sim.Position()[kX], 0);
  EXPECT_EQ(bench.sim.Position()[kY], 256);
  EXPECT_EQ(bench.sim.InputsByte(), 0x64);  // X (set) and Y (clear) and Z switches made

  bench.Send(10, {3, 0x9C, 0xFF, 0xFF, 0});  // Z = -100
  EXPECT_EQ(bench.sim.Position()[kZ], -100);
}

TEST(SimMotion, ProbingStopsAtTheSurfaceThePadAndTheEdge) {
  SimOptions options;
  options.world.stockSlopeX = 0.01;
  Bench bench(options);
  bench.Initialise();
  // Power-up stands over the pad at machine (43000, 43000, 10000).
  bench.Send(62, {20, 20});
  MsUntilIdle(bench, 60000);
  EXPECT_EQ(bench.sim.MachinePosition()[kZ], 30030 - 800);

  // A probing touch beside the pad, on the tilted stock.
  bench.Send(61, {0xB8, 0x0B, 0, 0, 0, 0, 30, 20});  // X +3000
  EXPECT_EQ(bench.sim.StateByte() & kStateBusy, kStateBusy);
  MsUntilIdle(bench, 60000);
  EXPECT_EQ(bench.sim.MachinePosition(), (Steps4{46000, 43000, 30060, 1000}));

  // Off the stock in Y and below its top, then probe towards the Y edge.
  bench.Send(20, {0xB8, 0x0B, 0, 0x78, 0xEC, 0xFF, 50, 1});  // Y -5000: machine Y 38000
  bench.Send(21, {0xA8, 0x61, 0x00, 30, 5, 0});              // Z 25000: machine Z 35000
  bench.Send(63, {0, 20, 2, 15, 15});
  MsUntilIdle(bench, 60000);
  EXPECT_EQ(bench.sim.MachinePosition()[kY], 40000);
  // Facing no edge, an edge probe gives up after its travel.
  bench.Send(63, {0, 20, 1, 15, 0});
  MsUntilIdle(bench, 60000);
  EXPECT_EQ(bench.sim.MachinePosition()[kX], 66000);
}

TEST(SimMotion, PauseHoldsMotionAndResumeContinuesIt) {
  Bench bench;
  bench.Initialise();
  bench.Send(29, {0x50, 0xC3, 0x00, 100, 1, 1});  // X 50000
  bench.RunMs(1000);
  bench.Send(137, {1, 1, 1, 1});
  const Steps4 held = bench.sim.Position();
  bench.RunMs(3000);
  EXPECT_EQ(bench.sim.Position(), held);
  EXPECT_EQ(bench.sim.StateByte() & kStateBusy, kStateBusy);
  bench.Send(137, {0, 0, 0, 0});
  bench.RunMs(1000);
  EXPECT_GT(bench.sim.Position()[kX], held[kX] + 5000);
}

TEST(SimMotion, LimitsTripOvertravelWhereTheTravelEnds) {
  Bench bench;
  bench.Initialise();
  bench.Send(132, {0xC4});
  bench.Send(5, {0x10, 100});  // X minus towards the end of travel at -400
  MsUntilIdle(bench, 60000);
  EXPECT_EQ(bench.sim.MachinePosition()[kX], -400);
  EXPECT_EQ(bench.sim.StateByte(), kStateOvertravel);
  EXPECT_EQ(bench.sim.InputsByte() & kInSwitchX, kInSwitchX);
  // Latched until a reset; afterwards moving back in is allowed, further out is not.
  bench.Send(2, {0x1F, 5});
  bench.RunMs(100);
  EXPECT_EQ(bench.sim.MachinePosition()[kX], -400);
  bench.Send(1);
  EXPECT_EQ(bench.sim.StateByte(), 0);
  bench.Send(2, {0x1F, 5});
  bench.RunMs(100);
  EXPECT_EQ(bench.sim.MachinePosition()[kX], -399);
  bench.Send(2, {0x10, 5});
  bench.Send(2, {0x10, 5});
  bench.RunMs(100);
  EXPECT_EQ(bench.sim.StateByte(), kStateOvertravel);
}

}  // namespace
}  // namespace wendlar::sim
