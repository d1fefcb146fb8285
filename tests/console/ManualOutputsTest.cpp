// Outputs, dwell, spindle speed and the operator's speed controls, as the controller gets them.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "console/ManualRig.h"

namespace wendlar::testing {
namespace {

struct ManualOutputs : ManualTest {};

TEST_F(ManualOutputs, PwmCodeRoundsHalfToEvenAndIsBitReversedOnTheHundredStepController) {
  rig.Rebuild(100);
  size_t from = rig.Mark();
  m.Out.SendSpindleSpeed(16000);  // 63 x 0.5 = 31.5 -> 32 -> 0x04 reversed
  EXPECT_EQ(After(from), (std::vector<Record>{Rec({134, 0x04, 0x80, 0x3E})}));
  EXPECT_EQ(m.Out.PwmCode(8000 + 16000 / 63), 0x80);  // p = 1 lands in bit 7

  rig.Rebuild(250);
  from = rig.Mark();
  m.Out.SendSpindleSpeed(16000);
  m.Out.SendSpindleSpeed(30000);  // above the range: sent and shown as Spind_hi
  EXPECT_EQ(After(from), (std::vector<Record>{Rec({134, 32, 0x80, 0x3E}), Rec({134, 63, 0xC0, 0x5D})}));
  EXPECT_EQ(s.SpindleRpm, 24000);
  EXPECT_EQ(v.Rpmlab.Caption(), "Rpm 24000");
}

TEST_F(ManualOutputs, SpindleSpeedNeedsUseRpmAndARange) {
  size_t from = rig.Mark();
  v.Use_rpm.SetChecked(false);
  m.Out.SendSpindleSpeed(12000);
  EXPECT_EQ(v.Rpmlab.Caption(), "Rpm 8000");
  v.Use_rpm.SetChecked(true);
  rig.sys.config.Config.Spind_hi = 8000;  // an empty range sends nothing, the label follows
  m.Out.SendSpindleSpeed(12000);
  EXPECT_EQ(v.Rpmlab.Caption(), "Rpm 12000");
  EXPECT_TRUE(After(from).empty());

  // The job's speed ignores Use_rpm and leaves the label alone.
  rig.sys.config.Config.Spind_hi = 24000;
  v.Use_rpm.SetChecked(false);
  rig.polling = false;  // buffer head stays 0 for the debug line
  from = rig.Mark();
  m.Out.SetJobSpindleSpeed(16000);
  EXPECT_EQ(After(from), (std::vector<Record>{Rec({16, 32, 0x80, 0x3E})}));
  EXPECT_EQ(s.SpindleRpm, 16000);
  EXPECT_EQ(v.Rpmlab.Caption(), "Rpm 12000");
  EXPECT_EQ(rig.debug.lines, (std::vector<std::string>{"0Setrpm16000"}));
}

TEST_F(ManualOutputs, RpmButtonsStepWithinTheRangeAndSendTheSpeed) {
  s.SpindleRpm = 23950;
  size_t from = rig.Mark();
  m.Speeds.rpmspinClick(true);  // clamps at Spind_hi
  m.Speeds.rpmspinClick(true);  // stays there
  EXPECT_EQ(s.SpindleRpm, 24000);
  s.SpindleRpm = 8000;
  m.Speeds.rpmspinClick(false);
  EXPECT_EQ(s.SpindleRpm, 8000);
  m.Speeds.rpmspinClick(true);
  EXPECT_EQ(v.Rpmlab.Caption(), "Rpm 8100");
  const auto got = After(from);
  ASSERT_EQ(got.size(), 4u);
  EXPECT_EQ(got[0], Rec({134, 63, 0xC0, 0x5D}));
  EXPECT_EQ(got[2], Rec({134, 0, 0x40, 0x1F}));
  EXPECT_EQ(got[3], Rec({134, 0, 0xA4, 0x1F}));
}

TEST_F(ManualOutputs, DwellIsInHundredthsAndClampedToTenSeconds) {
  rig.polling = false;
  const size_t from = rig.Mark();
  m.Out.Dwell(12.5);
  m.Out.Dwell(0.5);
  m.Out.Dwell(-3);  // never wraps into a long dwell
  m.Out.Dwell(std::numeric_limits<double>::quiet_NaN());
  EXPECT_EQ(After(from), (std::vector<Record>{Rec({19, 0xE8, 0x03}), Rec({19, 50, 0}), Rec({19, 0, 0}),
                                              Rec({19, 0, 0})}));
  EXPECT_EQ(s.SentCount, 4);
  EXPECT_EQ(rig.debug.lines.at(1), "0 Dwell 50");
  rig.debug.on = false;
  m.Out.Dwell(1);
  EXPECT_EQ(rig.debug.lines.size(), 4u);
}

TEST_F(ManualOutputs, FeedOverrideIsSignMagnitudeClampedAndSentAtOnce) {
  size_t from = rig.Mark();
  for (int i = 0; i < 31; ++i) m.Speeds.FRO_spinClick(false);
  // Sent directly: there before any link tick.
  auto got = rig.Received(from);
  ASSERT_EQ(got.size(), 31u);
  const uint8_t rapid = VelIdx(200);
  EXPECT_EQ(got.back(), Rec({135, 0x9E, rapid, 0x0A, 120}));
  EXPECT_EQ(s.FeedOverride, -30);
  EXPECT_EQ(v.Fro_lab.Caption(), "Feed  -30");

  for (int i = 0; i < 45; ++i) m.Speeds.FRO_spinClick(true);
  EXPECT_EQ(s.FeedOverride, 10);
  EXPECT_EQ(rig.Received().back(), Rec({135, 0x0A, rapid, 0x0A, 120}));

  // The rapid choice: the feed's index with "Feed", R_vel_max's with "100%".
  s.FeedIndex = 50;
  m.Speeds.fv50Click();
  EXPECT_EQ(rig.Received().back()[2], rig.tables.VelocityIndexOf(50));
  EXPECT_TRUE(v.fv50.Checked());
  EXPECT_FALSE(v.fv100.Checked());
  m.Speeds.fv100Click();
  EXPECT_EQ(rig.Received().back()[2], rapid);
}

TEST_F(ManualOutputs, FeedSelectionStaysWithinTheTableAndUnderCVMax) {
  int k = 120;  // the last index of a run of equal velocities
  while (rig.tables.VelTableX[k] == rig.tables.VelTableX[k + 1]) ++k;
  const int cvMax = rig.tables.VelTableX[k];
  rig.sys.config.Config.CV_Max = static_cast<uint16_t>(cvMax);
  s.FeedIndex = 0;
  for (int i = 0; i < 300; ++i) m.Speeds.FeedspinClick(true);
  const int top = s.FeedIndex;
  EXPECT_EQ(top, k);
  EXPECT_EQ(v.Feedlab.Caption(), std::to_string(rig.tables.VelTableX[top]) + " ipm");
  for (int i = 0; i < 300; ++i) m.Speeds.FeedspinClick(false);
  EXPECT_EQ(s.FeedIndex, 1);
}

TEST_F(ManualOutputs, UseFeedAndUseRpmToggleAndGreyTheirLabels) {
  EXPECT_FALSE(v.Use_feed.Checked()) << "a job's own feeds rule until the operator chooses";
  m.Speeds.FeedlClick();
  EXPECT_TRUE(v.Use_feed.Checked());
  EXPECT_EQ(v.Feedlab.FontColor(), kBlack);
  m.Speeds.FeedlClick();
  EXPECT_FALSE(v.Use_feed.Checked());
  EXPECT_EQ(v.Feedlab.FontColor(), kGray);
  m.Speeds.RpmlabClick();
  EXPECT_FALSE(v.Use_rpm.Checked());
  EXPECT_EQ(v.Rpmlab.FontColor(), kGray);
  rig.plasma = true;  // a plasma machine always uses them
  m.Speeds.RpmlabClick();
  m.Speeds.RpmlabClick();
  m.Speeds.FeedlClick();
  EXPECT_TRUE(v.Use_rpm.Checked());
  EXPECT_TRUE(v.Use_feed.Checked());
}

TEST_F(ManualOutputs, SpindleButtonsAdvanceTheirStatesAndSpindleOffResetsOnlySpindleOne) {
  size_t from = rig.Mark();
  m.Out.SpindlebutClick();
  EXPECT_EQ(v.Spindlebut.Caption(), "Spindle1 On");
  EXPECT_TRUE(s.SpindleRunning);
  EXPECT_EQ(s.SentCount, 2);
  m.Out.SpindlebutClick();
  EXPECT_EQ(v.Spindlebut.Caption(), "Spindle Off");
  EXPECT_FALSE(s.SpindleRunning);
  EXPECT_EQ(After(from), (std::vector<Record>{Rec({13, 0}), Rec({14}), Rec({15})}));

  from = rig.Mark();
  m.Out.SpindletwoClick();  // on
  EXPECT_EQ(v.Spindletwo.Caption(), "Spindle2 On");
  m.Out.SpindleOff();       // from a stop: spindle 2's own state still says on
  m.Out.SpindletwoClick();  // so this click switches off
  EXPECT_EQ(v.Spindletwo.Caption(), "Spindle2 Off");
  m.Out.SpindlebutClick();  // spindle 1 was reset to off: this switches on
  EXPECT_EQ(v.Spindlebut.Caption(), "Spindle1 On");
  EXPECT_EQ(After(from), (std::vector<Record>{Rec({13, 1}), Rec({14}), Rec({15}), Rec({15}), Rec({13, 0}),
                                              Rec({14})}));

  rig.plasma = true;
  from = rig.Mark();
  m.Out.SpindlebutClick();
  EXPECT_EQ(v.Spindlebut.Caption(), "Plasma Off");
  m.Out.SpindlebutClick();
  EXPECT_EQ(v.Spindlebut.Caption(), "Plasma On");  // the torch is output 1
  EXPECT_EQ(After(from), (std::vector<Record>{Rec({15}), Rec({13, 1}), Rec({14})}));
}

TEST_F(ManualOutputs, AuxButtonsAndTheLaser) {
  const size_t from = rig.Mark();
  m.Out.Aux1_butClick();
  EXPECT_EQ(v.Aux1_but.Caption(), "1 On");
  m.Out.Aux1_butClick();
  EXPECT_EQ(v.Aux1_but.Caption(), "1 Off");
  m.Out.Aux2_butClick();
  EXPECT_EQ(v.Aux2_but.Caption(), "2 On");

  m.Out.LasbutClick();
  EXPECT_TRUE(v.Laser_Box.Visible());
  m.Out.Button1Click();
  m.Out.pwm_onChange(255);
  m.Out.pwm_onChange(10);  // 10 x 2250 / 255 = 88.2
  m.Out.Button3Click();
  EXPECT_EQ(m.Out.LaserScale, 2250);
  EXPECT_EQ(rig.debug.lines, (std::vector<std::string>{" laser", " laser"}));
  m.Out.LasbutClick();
  EXPECT_FALSE(v.Laser_Box.Visible());
  EXPECT_EQ(After(from), (std::vector<Record>{Rec({17, 1, 1}), Rec({17, 1, 0}), Rec({18, 1, 1}), Rec({47, 1, 0}),
                                              Rec({48, 0xCA, 0x08}), Rec({48, 88, 0}), Rec({47, 0, 0})}));
}

TEST_F(ManualOutputs, WithoutALinkNothingLeavesAndNothingWaitsForever) {
  rig.sys.link.Connected = false;
  rig.sys.link.UsbTimer().SetEnabled(false);
  const size_t from = rig.Mark();
  const int64_t start = rig.loop.NowUs();
  m.Out.SpindlebutClick();  // waits for polls that never come: must return at once
  m.Out.pwm_onChange(100);
  EXPECT_LT(rig.loop.NowUs() - start, 100000);
  EXPECT_EQ(v.Spindlebut.Caption(), "Spindle1 On");
  EXPECT_TRUE(After(from).empty());
}

}  // namespace
}  // namespace wendlar::testing
