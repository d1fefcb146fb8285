// A held Alt+arrow as X11 delivers it: the key's auto-repeat arrives as release/press
// pairs about 33 ms apart, none marked as a repeat. The machine must see one jog start and
// one jog stop, and the console must say that a jog runs.
#include <gtest/gtest.h>

#include "console/ManualRig.h"

namespace wendlar::testing {
namespace {

constexpr int kRepeatMs = 33;  // the usual 30 Hz repeat rate

struct JoggingKeys : ManualTest {

  // Holds `key` with Alt for `holdMs`, its repeats as plain release/press pairs, and lets
  // it go. The pair's press comes `gapMs` after its release.
  void HoldKey(ConsoleKey key, int holdMs, int gapMs = 0) {
    const KeyEvent press{key, kModAlt, false};
    ASSERT_TRUE(m.Jog.KeyDown(press));
    for (int t = kRepeatMs; t < holdMs; t += kRepeatMs) {
      rig.RunMs(kRepeatMs - gapMs);
      m.Jog.KeyUp(press);
      rig.RunMs(gapMs);
      m.Jog.KeyDown(press);
    }
    rig.RunMs(kRepeatMs);
    m.Jog.KeyUp(press);
  }
  static int Count(const std::vector<Record>& records, uint8_t code) {
    int n = 0;
    for (const Record& r : records) n += r[0] == code ? 1 : 0;
    return n;
  }
};

TEST_F(JoggingKeys, AHeldKeySendsOneStartAndOneStopWhateverItsRepeatsLookLike) {
  for (int gapMs : {0, 5, 30}) {
    SCOPED_TRACE(gapMs);
    const size_t from = rig.Mark();
    HoldKey(ConsoleKey::Right, 3000, gapMs);
    const auto got = rig.After(from);
    EXPECT_EQ(Count(got, 5), 1);
    EXPECT_EQ(Count(got, 6), 1);
    ASSERT_FALSE(got.empty());
    EXPECT_EQ(got.back()[0], 6) << "the jog ends stopped";
    EXPECT_FALSE(s.JogRunning);
  }
}

TEST_F(JoggingKeys, TheMachineKeepsMovingWhileTheKeyIsHeldAndStopsSoonAfterItComesUp) {
  const int64_t startX = rig.sim.Position()[sim::kX];
  const KeyEvent press{ConsoleKey::Right, kModAlt, false};
  ASSERT_TRUE(m.Jog.KeyDown(press));
  int64_t lastX = startX;
  for (int i = 0; i < 30; ++i) {  // a second of repeats
    rig.RunMs(kRepeatMs);
    m.Jog.KeyUp(press);
    m.Jog.KeyDown(press);
    if (i % 10 == 9) {
      const int64_t x = rig.sim.Position()[sim::kX];
      EXPECT_GT(x, lastX) << "still moving after " << (i + 1) * kRepeatMs << " ms";
      lastX = x;
    }
  }
  m.Jog.KeyUp(press);
  EXPECT_TRUE(s.JogRunning) << "a release first waits for the key's next press";
  rig.RunMs(Jogging::kKeyReleaseGraceMs + 60);
  EXPECT_FALSE(s.JogRunning);
  rig.RunMs(300);
  const int64_t stoppedX = rig.sim.Position()[sim::kX];
  rig.RunMs(300);
  EXPECT_EQ(rig.sim.Position()[sim::kX], stoppedX);
}

TEST_F(JoggingKeys, AnotherKeyWithinTheGraceTimeStopsTheFirstJogBeforeItsOwnStarts) {
  size_t from = rig.Mark();
  m.Jog.KeyDown({ConsoleKey::Right, kModAlt, false});
  m.Jog.KeyUp({ConsoleKey::Right, kModAlt, false});
  m.Jog.KeyDown({ConsoleKey::Up, kModAlt, false});
  auto got = rig.After(from, 100);
  ASSERT_EQ(got.size(), 3u);
  EXPECT_EQ(got[0], (Record{5, 31, got[0][2], 0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(got[1][0], 6);
  EXPECT_EQ(got[2][0], 5);
  EXPECT_EQ(got[2][1], 47);

  // Releasing a key that never jogged (Alt itself) stops at once, as it always has.
  from = rig.Mark();
  m.Jog.KeyUp({ConsoleKey::Other, 0, false});
  EXPECT_FALSE(s.JogRunning);
  got = rig.After(from, 100);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0][0], 6);
  // The grace timer of the overtaken release sends no second stop.
  from = rig.Mark();
  EXPECT_TRUE(rig.After(from, 200).empty());
}

TEST_F(JoggingKeys, TheConsoleSaysWhichJogRunsAndForgetsItAtTheStop) {
  v.Progress.SetCaption("Ready");
  m.Jog.KeyDown({ConsoleKey::PageDown, kModAlt, false});
  EXPECT_EQ(v.Progress.Caption(), "Jogging Z-");
  m.Jog.KeyUp({ConsoleKey::PageDown, kModAlt, false});
  rig.RunMs(100);
  EXPECT_EQ(v.Progress.Caption(), "Ready");

  m.Jog.JogButtonDown(JogButton::WNeg);
  EXPECT_EQ(v.Progress.Caption(), "Jogging W-");
  m.Jog.JogButtonUp(JogButton::WNeg);
  EXPECT_EQ(v.Progress.Caption(), "Ready");

  m.Jog.JogButtonDown(JogButton::YPos);
  EXPECT_EQ(v.Progress.Caption(), "Jogging Y+");
  m.Jog.FocusLost();
  EXPECT_EQ(v.Progress.Caption(), "Ready");

  m.Jog.SetJogMode(2);  // a single step is no running jog
  m.Jog.JogButtonDown(JogButton::XPos);
  EXPECT_EQ(v.Progress.Caption(), "Ready");
}

}  // namespace
}  // namespace wendlar::testing
