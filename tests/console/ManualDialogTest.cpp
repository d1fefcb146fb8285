// Homing with its questions, the Z panels and the coordinates dialog.
#include <gtest/gtest.h>

#include "console/ManualRig.h"

namespace wendlar::testing {
namespace {

struct ManualDialogs : ManualTest {
  TCoordinatesView& d = rig.manual.Coordinates.View;
  // Without the overrides record that several openers send first.
  std::vector<Record> MovesAfter(size_t from) {
    std::vector<Record> out;
    for (const Record& r : After(from)) {
      if (r[0] != 135) out.push_back(r);
    }
    return out;
  }
};

TEST_F(ManualDialogs, HomingAsksFirstAndCancelSendsNothing) {
  size_t from = rig.Mark();
  rig.prompts.Answers = {false, false, false};
  m.Home.HomeXYbutClick();
  m.Home.HomeZbutClick();
  m.Home.HomeWaxisClick();
  EXPECT_TRUE(After(from).empty());
  EXPECT_EQ(rig.prompts.Asked,
            (std::vector<std::string>{"yes/cancel: Home XY axis, Are you sure ?", "yes/cancel: Home Z axis, Are you sure ?",
                                      "yes/cancel: Home W axis, Are you sure ?"}));

  from = rig.Mark();
  m.Home.HomeXYbutClick();
  m.Home.HomeZbutClick();
  m.Home.HomeWaxisClick();
  EXPECT_EQ(After(from), (std::vector<Record>{Rec({8, 0, 5, 0x1E, 0xD0, 0x07}), Rec({7, 0, 5, 20, 0x20, 0x03}),
                                              Rec({9, 0, 4, 20, 5, 0})}));
}

TEST_F(ManualDialogs, DualHeadHomingSetsXToZeroAndYTo32Units) {
  rig.homeXNYP = true;
  const size_t from = rig.Mark();
  m.Home.HomeXYbutClick();
  // 32" x 8 x 1000 = 256000 steps.
  EXPECT_EQ(After(from), (std::vector<Record>{Rec({110, 1, 5, 0x1E, 0xD0, 0x07}), Rec({10, 1, 0, 0, 0}),
                                              Rec({10, 2, 0x00, 0xE8, 0x03})}));
}

TEST_F(ManualDialogs, HomingToANonZeroPositionClearsTheStopFlagWaitsAndResets) {
  rig.sys.flags.AbortRun = 1;  // as a finished job leaves it
  const size_t from = rig.Mark();
  m.Home.HomeXNonZero();
  EXPECT_EQ(rig.sys.flags.AbortRun, 0);
  EXPECT_EQ(After(from), (std::vector<Record>{Rec({110, 0, 3, 0x1E, 0xD0, 0x07}), Rec({1}), Rec({10, 1, 0, 0, 0})}));
  EXPECT_EQ(s.Operation, LongOperation::None);

  const size_t fromZ = rig.Mark();
  rig.sys.flags.AbortRun = 1;
  m.Home.HomeZNonZero();  // the XY clearance, no wait
  EXPECT_EQ(rig.sys.flags.AbortRun, 0);
  EXPECT_EQ(After(fromZ), (std::vector<Record>{Rec({111, 0, 5, 20, 0xD0, 0x07})}));
}

TEST_F(ManualDialogs, HomingToANonZeroPositionEndsWhenTheLinkGoesQuiet) {
  rig.sys.link.UsbTimer().SetEnabled(false);
  const size_t from = rig.Mark();
  const int64_t start = rig.loop.NowUs();
  m.Home.HomeYNonZero();
  EXPECT_LT(rig.loop.NowUs() - start, 2'000'000);
  rig.sys.link.UsbTimer().SetEnabled(true);
  // The queued homing record leaves later; no reset and no position follow it.
  EXPECT_EQ(After(from), (std::vector<Record>{Rec({110, 0, 4, 0x1E, 0xD0, 0x07})}));
}

TEST_F(ManualDialogs, ZPanelsMoveZWithTheLeftButtonAndWWithTheRight) {
  const size_t from = rig.Mark();
  m.Home.Z_zeroMouseDown();
  EXPECT_FALSE(v.Z_zero.Raised());
  m.Home.Z_zeroMouseUp(MouseButton::Left);
  EXPECT_TRUE(v.Z_zero.Raised());
  m.Home.Z_zeroMouseUp(MouseButton::Right);
  m.Home.Z_2topMouseUp(MouseButton::Left);
  m.Home.Z_2topMouseUp(MouseButton::Right);
  const uint8_t drop = SpdIdx(40), raise = SpdIdx(0x150);
  // Safe height 0.5" = 4000 steps up, sent negative.
  EXPECT_EQ(After(from), (std::vector<Record>{Rec({21, 0, 0, 0, drop, std::min<uint8_t>(drop, 10), 0}),
                                              Rec({24, 0, 0, 0, drop, std::min<uint8_t>(drop, 10), 0}),
                                              Rec({21, 0x60, 0xF0, 0xFF, raise, 10, 0}),
                                              Rec({24, 0x60, 0xF0, 0xFF, raise, 10, 0})}));
}

TEST_F(ManualDialogs, MoveZDialogSendsTheRawLowByteOfTheRaiseSpeed) {
  m.Coordinates.MoveToZ();
  EXPECT_EQ(d.Form.Caption(), "Move to Coordinates");
  EXPECT_TRUE(d.Zedit.Visible());
  EXPECT_FALSE(d.Xedit.Visible());
  EXPECT_EQ(d.Zedit.Caption(), "0.0");
  const size_t from = rig.Mark();
  d.Zedit.SetCaption("0.5");
  m.Coordinates.Go_moveClick();
  EXPECT_TRUE(d.Form.Visible());  // stays open for the next move
  ASSERT_NE(SpdIdx(0x150), 0x50);
  EXPECT_EQ(MovesAfter(from), (std::vector<Record>{Rec({21, 0x60, 0xF0, 0xFF, 0x50, 10, 1})}));

  // Incremental adds the machine position (once the first move has ended: no move is taken
  // while the machine is busy).
  rig.Settle();
  rig.polling = false;
  s.MachineZ = 0.25;
  d.Absolute.SetChecked(false);
  const size_t from2 = rig.Mark();
  m.Coordinates.Go_moveClick();
  EXPECT_EQ(MovesAfter(from2), (std::vector<Record>{Rec({21, 0x90, 0xE8, 0xFF, 0x50, 10, 1})}));  // -6000
}

TEST_F(ManualDialogs, SetXYWithOnlyYCheckedSetsOnlyY) {
  rig.sys.console.LeaveTop();
  m.Coordinates.SetNewXY();
  EXPECT_EQ(d.Form.Caption(), "Set New XY Position");
  EXPECT_EQ(d.Go_move.Caption(), "Ok");
  EXPECT_TRUE(d.x_ck.Visible() && d.x_ck.Checked() && d.y_ck.Checked());
  EXPECT_FALSE(d.Zedit.Visible());
  d.x_ck.SetChecked(false);
  m.Coordinates.x_ckClick();
  EXPECT_FALSE(d.Xedit.Enabled());
  d.Xedit.SetCaption("2.0");
  d.Yedit.SetCaption("1.5");
  const size_t from = rig.Mark();
  m.Coordinates.Go_moveClick();
  EXPECT_EQ(After(from), (std::vector<Record>{Rec({10, 2, 0xE0, 0x2E, 0x00})}));  // 12000 steps
  EXPECT_FALSE(d.Form.Visible());
  EXPECT_TRUE(d.Xedit.Enabled());
  EXPECT_TRUE(v.Form.Checked());  // back on top
}

TEST_F(ManualDialogs, MoveXYAddsTheWorkOffsetAndInIncrementalTheMachinePosition) {
  v.Limitswitchdisable1.SetChecked(true);
  int enabled = 0;
  m.Context.hooks.EnableLimits = [&] { ++enabled; };
  m.Coordinates.MoveToXY();
  EXPECT_EQ(rig.prompts.Asked, (std::vector<std::string>{"yes/no: Limit switches are Disabled, Enable them?"}));
  EXPECT_EQ(enabled, 1);
  EXPECT_FALSE(v.Form.Checked());
  EXPECT_TRUE(d.Incremental.Visible() && d.Absolute.Visible());
  EXPECT_FALSE(d.Axis.Visible());

  rig.polling = false;  // the machine position below stays as set
  s.ActiveOffsetX = 0.5;
  s.MachineX = 1.0;
  s.MachineY = 2.0;
  d.Absolute.SetChecked(false);
  d.Xedit.SetCaption("0.25");
  d.Yedit.SetCaption("abc");  // not a number: nothing moves
  size_t from = rig.Mark();
  m.Coordinates.Go_moveClick();
  EXPECT_TRUE(MovesAfter(from).empty());
  d.Yedit.SetCaption("0");
  from = rig.Mark();
  m.Coordinates.Go_moveClick();
  const uint8_t rapid = VelIdx(200);
  // X 0.25 + 0.5 + 1.0 = 1.75" = 14000 steps, Y 2.0" = 16000.
  EXPECT_EQ(MovesAfter(from), (std::vector<Record>{Rec({20, 0xB0, 0x36, 0x00, 0x80, 0x3E, 0x00, rapid, 44})}));
  EXPECT_TRUE(d.Form.Visible());
}

TEST_F(ManualDialogs, MoveAxisNeedsAbsoluteAndNamesZByItsBit) {
  m.Coordinates.MoveXYorZ();
  EXPECT_EQ(d.Form.Caption(), "Set New Z Position");
  EXPECT_EQ(d.Zlab.Caption(), "Pos");
  EXPECT_FALSE(d.Incremental.Visible());
  EXPECT_TRUE(d.Axis.Visible() && d.Absolute.Checked());
  d.Zbut.SetChecked(true);
  d.Zedit.SetCaption("0.25");
  size_t from = rig.Mark();
  m.Coordinates.Go_moveClick();
  EXPECT_EQ(MovesAfter(from), (std::vector<Record>{Rec({29, 0x30, 0xF8, 0xFF, 40, 10, 4})}));  // -2000
  d.Zbut.SetChecked(false);
  d.Xbut.SetChecked(true);
  rig.Settle();
  from = rig.Mark();
  m.Coordinates.Go_moveClick();
  EXPECT_EQ(MovesAfter(from), (std::vector<Record>{Rec({29, 0xD0, 0x07, 0x00, 40, 10, 1})}));
  d.Absolute.SetChecked(false);
  from = rig.Mark();
  m.Coordinates.Go_moveClick();
  EXPECT_TRUE(MovesAfter(from).empty());
  m.Coordinates.Cancel_moveClick();
  EXPECT_EQ(d.Zlab.Caption(), "Zpos");
  EXPECT_FALSE(d.Form.Visible());
}

TEST_F(ManualDialogs, SetZAndSetWSendNegatedPositionsAndClose) {
  m.Coordinates.SetNewZ();
  EXPECT_EQ(d.Form.Caption(), "Set New Z Position");
  d.Zedit.SetCaption("1");
  size_t from = rig.Mark();
  m.Coordinates.Go_moveClick();
  EXPECT_FALSE(d.Form.Visible());
  m.Coordinates.SetNewW();
  EXPECT_EQ(d.Form.Caption(), "Set New W Position");
  d.Zedit.SetCaption("-0.5");
  m.Coordinates.Go_moveClick();
  EXPECT_EQ(MovesAfter(from), (std::vector<Record>{Rec({10, 3, 0xC0, 0xE0, 0xFF}), Rec({10, 4, 0xA0, 0x0F, 0x00})}));
  // An invalid value still closes the dialog.
  m.Coordinates.SetNewZ();
  d.Zedit.SetCaption("");
  from = rig.Mark();
  m.Coordinates.Go_moveClick();
  EXPECT_FALSE(d.Form.Visible());
  EXPECT_TRUE(MovesAfter(from).empty());
}

}  // namespace
}  // namespace wendlar::testing
