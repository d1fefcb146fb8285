// Motion records, jogging and the keyboard, as the controller receives them.
#include <gtest/gtest.h>

#include "console/ManualRig.h"

namespace wendlar::testing {
namespace {

struct ManualMotion : ManualTest {};

TEST_F(ManualMotion, MoveAndPositionRecordsCarryTheirBytesLowFirst) {
  const size_t from = rig.Mark();
  EXPECT_TRUE(m.Motion.RapidXY(8000, -16000));
  EXPECT_TRUE(m.Motion.MoveW(-4000, 7, false));
  EXPECT_TRUE(m.Motion.MoveAxis(800, kAxisY, 40));
  EXPECT_TRUE(m.Motion.SetAxisPosition(kAxisY, 256000));
  const auto got = After(from);
  ASSERT_EQ(got.size(), 4u);
  EXPECT_EQ(got[0], (Record{20, 0x40, 0x1F, 0x00, 0x80, 0xC1, 0xFF, VelIdx(200), 44, 0, 0}));
  EXPECT_EQ(got[1], (Record{24, 0x60, 0xF0, 0xFF, 7, 7, 0, 0, 0, 0, 0}));
  EXPECT_EQ(got[2], (Record{29, 0x20, 0x03, 0x00, 40, 10, 2, 0, 0, 0, 0}));
  EXPECT_EQ(got[3], (Record{10, 2, 0x00, 0xE8, 0x03, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(s.SentCount, 4);
}

TEST_F(ManualMotion, ZMoveIsSentAtOnceButNeverOvertakesQueuedRecords) {
  const size_t from = rig.Mark();
  m.Motion.SetAxisPosition(kAxisX, 0);
  m.Motion.SetAxisPosition(kAxisY, 0);
  EXPECT_TRUE(m.Motion.MoveZ(-4000, 30, true));
  const auto got = After(from);
  ASSERT_EQ(got.size(), 3u);
  EXPECT_EQ(got[0][0], 10);
  EXPECT_EQ(got[1][0], 10);
  // The start speed is the lesser of the speed and Z_start_vel.
  EXPECT_EQ(got[2], (Record{21, 0x60, 0xF0, 0xFF, 30, 10, 1, 0, 0, 0, 0}));
}

// The menu's homing records are pinned with their questions in ManualDialogTest.
TEST_F(ManualMotion, MacroHomingOfWCarriesItsSpeedAndClearanceInSteps) {
  const size_t from = rig.Mark();
  m.Motion.HomeWMacro();
  // W clearance 0.1" x 1000 x R_cal 2 = 200 steps.
  EXPECT_EQ(After(from), (std::vector<Record>{{9, 0, 4, 14, 5, 200, 0, 0, 0, 0, 0}}));
}

TEST_F(ManualMotion, NothingIsSentWhileNotConnectedAndAnOverflowIsRefusedWithItsText) {
  rig.sys.link.Connected = false;
  const size_t from = rig.Mark();
  EXPECT_FALSE(m.Motion.RapidXY(0, 0));
  EXPECT_FALSE(m.Motion.MoveZ(0, 5, false));
  EXPECT_FALSE(m.Motion.HomeXY());
  EXPECT_FALSE(m.Motion.JogStart(31, 5));
  EXPECT_EQ(s.SentCount, 0);

  rig.sys.link.Connected = true;
  EXPECT_FALSE(m.Motion.SetAxisPosition(kAxisX, 8388608));
  EXPECT_EQ(v.Progress.Caption(), "Long3 overflow");
  EXPECT_TRUE(After(from).empty());
}

TEST_F(ManualMotion, RapidToXYAddsOffsetsAndRecordsTheTargetAsTheBuffersLastPosition) {
  const size_t from = rig.Mark();
  m.Motion.RapidToXY(1000, 2000, 250, -500);  // file units
  m.Motion.RapidToZ(125);
  const auto got = After(from);
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0], (Record{20, 0x10, 0x27, 0x00, 0xE0, 0x2E, 0x00, VelIdx(200), 44, 0, 0}));  // 10000, 12000
  EXPECT_EQ(got[1], (Record{21, 0x18, 0xFC, 0xFF, SpdIdx(40), 10, 1, 0, 0, 0, 0}));            // -1000
  EXPECT_EQ(rig.segments.LastStepX, 10000);
  EXPECT_EQ(rig.segments.LastStepY, 12000);
  EXPECT_EQ(rig.segments.LastStepZ, -1000);
}

TEST_F(ManualMotion, JogButtonsSendTheirDirectionCodesAndStopOnRelease) {
  rig.sys.config.Config.Zscale = 4.0;
  const size_t from = rig.Mark();
  const JogButton buttons[] = {JogButton::XPos, JogButton::XNeg, JogButton::YPos, JogButton::YNeg,
                               JogButton::ZPos, JogButton::ZNeg, JogButton::WPos, JogButton::WNeg};
  for (JogButton b : buttons) {
    m.Jog.JogButtonDown(b);
    if (b == JogButton::ZPos) {
      EXPECT_DOUBLE_EQ(s.VelocityScale, 2.0);
    }
    m.Jog.JogButtonUp(b);
    EXPECT_DOUBLE_EQ(s.VelocityScale, 1.0);
  }
  const auto got = After(from);
  ASSERT_EQ(got.size(), 16u);
  const uint8_t codes[] = {31, 16, 47, 32, 64, 79, 128, 143};
  for (int i = 0; i < 8; ++i) {
    const uint8_t speed = i < 4 ? VelIdx(150) : SpdIdx(150);  // Z and W use the capped look-up
    EXPECT_EQ(got[2 * i], (Record{5, codes[i], speed, 0, 0, 0, 0, 0, 0, 0, 0})) << i;
    EXPECT_EQ(got[2 * i + 1][0], 6);
  }
}

TEST_F(ManualMotion, SingleStepModeSendsStepsAndXCarriesNoSpeed) {
  m.Jog.SetJogMode(2);
  const size_t from = rig.Mark();
  m.Jog.JogButtonDown(JogButton::XPos);
  m.Jog.JogButtonDown(JogButton::YNeg);
  const auto got = After(from);
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0], (Record{2, 31, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(got[1], (Record{2, 32, VelIdx(20), 0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_FALSE(s.JogRunning);
}

TEST_F(ManualMotion, JogModesFromTheButtonAndTheKeys) {
  const Control& cap = v.JogSpdbut;
  m.Jog.JogSpdbutClick();  // fast -> slow
  EXPECT_EQ(cap.Caption(), "S");
  EXPECT_EQ(s.JogSpeed, 20);
  m.Jog.JogSpdbutClick();  // slow -> fast
  EXPECT_EQ(cap.Caption(), "F");
  EXPECT_EQ(s.JogSpeed, 150);

  const KeyEvent altEnd{ConsoleKey::End, kModAlt, false};
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(m.Jog.KeyDown(altEnd));
  EXPECT_EQ(s.JogMode, 2);
  EXPECT_EQ(cap.Caption(), "1");
  EXPECT_EQ(s.JogSpeed, 20);
  m.Jog.JogSpdbutClick();  // single step -> slow
  EXPECT_EQ(cap.Caption(), "S");

  m.Jog.SetJogMode(0);
  EXPECT_TRUE(m.Jog.KeyDown({ConsoleKey::Home, kModAlt, false}));
  EXPECT_EQ(s.JogMode, 0);
  EXPECT_EQ(cap.Caption(), "F");
  // End without Alt, or with Alt and Ctrl, is not the console's.
  EXPECT_FALSE(m.Jog.KeyDown({ConsoleKey::End, 0, false}));
  EXPECT_FALSE(m.Jog.KeyDown({ConsoleKey::End, kModAlt | kModCtrl, false}));
  EXPECT_EQ(s.JogMode, 0);
}

TEST_F(ManualMotion, KeyboardJogsTheReleaseThatStopsThemAndTheFunctionKeys) {
  size_t from = rig.Mark();
  // Before any keyboard jog a release sends nothing.
  m.Jog.KeyUp({ConsoleKey::Other, 0, false});
  EXPECT_TRUE(After(from).empty());

  from = rig.Mark();
  EXPECT_TRUE(m.Jog.KeyDown({ConsoleKey::PageUp, kModAlt, false}));
  EXPECT_TRUE(s.KeyJogUsed);
  // A held key repeats: nothing new starts and the repeat's release stops nothing.
  m.Jog.KeyDown({ConsoleKey::PageUp, kModAlt, true});
  m.Jog.KeyUp({ConsoleKey::PageUp, kModAlt, true});
  auto got = After(from);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0], (Record{5, 64, VelIdx(150), 0, 0, 0, 0, 0, 0, 0, 0}));  // Z by the X look-up

  // The release of any key stops it, and keeps doing so for keys that never jogged.
  from = rig.Mark();
  m.Jog.KeyUp({ConsoleKey::Other, kModShift, false});
  m.Jog.KeyUp({ConsoleKey::F9, 0, false});
  got = After(from);
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0][0], 6);
  EXPECT_EQ(got[1][0], 6);

  from = rig.Mark();
  const KeyEvent keys[] = {{ConsoleKey::Right, kModAlt, false}, {ConsoleKey::Left, kModAlt, false},
                           {ConsoleKey::Up, kModAlt, false},    {ConsoleKey::Down, kModAlt, false},
                           {ConsoleKey::PageDown, kModAlt, false}};
  for (const KeyEvent& k : keys) m.Jog.KeyDown(k);
  EXPECT_FALSE(m.Jog.KeyDown({ConsoleKey::Right, kModAlt | kModShift, false}));
  EXPECT_FALSE(m.Jog.KeyDown({ConsoleKey::Right, 0, false}));
  EXPECT_TRUE(m.Jog.KeyDown({ConsoleKey::F9, kModAlt, false}));
  EXPECT_TRUE(m.Jog.KeyDown({ConsoleKey::F10, kModAlt, false}));
  got = After(from);
  ASSERT_EQ(got.size(), 7u);
  const uint8_t codes[] = {31, 16, 47, 32, 79};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(got[i][1], codes[i]) << i;
  EXPECT_EQ(got[5], Rec({136, 0}));
  EXPECT_EQ(got[6], Rec({136, 1}));
}

TEST_F(ManualMotion, ARunningJogIsStoppedWhenItsButtonOrTheFocusIsLost) {
  size_t from = rig.Mark();
  m.Jog.FocusLost();  // nothing runs: nothing to stop
  m.Jog.JogButtonLost();
  EXPECT_TRUE(After(from).empty());

  m.Jog.JogButtonDown(JogButton::YPos);
  rig.RunMs(100);
  from = rig.Mark();
  m.Jog.JogButtonLost();
  m.Jog.FocusLost();  // already stopped
  auto got = After(from);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0][0], 6);

  m.Jog.KeyDown({ConsoleKey::Left, kModAlt, false});
  rig.RunMs(100);
  from = rig.Mark();
  m.Jog.FocusLost();
  got = After(from);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0][0], 6);
}

TEST_F(ManualMotion, ManualMotionIsRefusedWhileALongOperationHoldsTheConsole) {
  OperationGuard job(rig.sys.console.State, LongOperation::Job);
  const size_t from = rig.Mark();
  m.Jog.JogButtonDown(JogButton::XPos);
  m.Jog.KeyDown({ConsoleKey::Right, kModAlt, false});
  m.Home.HomeXYbutClick();
  m.Home.HomeXNonZero();
  m.Home.Z_zeroMouseUp(MouseButton::Left);
  m.Home.Z_2topMouseUp(MouseButton::Right);
  EXPECT_FALSE(m.Border.Run_BorderClick());
  m.Coordinates.SetNewXY();
  m.Coordinates.Go_moveClick();
  EXPECT_TRUE(After(from).empty());
  EXPECT_TRUE(rig.prompts.Asked.empty());
  EXPECT_EQ(s.Operation, LongOperation::Job);
}

}  // namespace
}  // namespace wendlar::testing
