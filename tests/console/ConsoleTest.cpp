#include <gtest/gtest.h>

#include "config/MachineConfig.h"
#include "console/Console.h"
#include "core/VirtualEventLoop.h"

namespace wendlar {
namespace {

struct ConsoleFixture : ::testing::Test {
  VirtualEventLoop loop;
  ConfigState config;
  RunFlags flags;
  Console console{loop, config, flags};
  void SetUp() override { console.Create(); }
};

TEST_F(ConsoleFixture, CreationShowsTheStartLooks) {
  EXPECT_EQ(console.View.Form.Caption(), "Tovrel Wendlar Controller");
  EXPECT_EQ(console.View.Form.Height(), 750);
  EXPECT_EQ(console.View.Running.Caption(), "Not connected");
  EXPECT_EQ(console.View.Rpmlab.Caption(), "Rpm 8000");  // the configured minimum rpm
  EXPECT_EQ(console.View.Feedlab.Caption(), "Rate  0%");
  EXPECT_EQ(console.View.Fro_lab.Caption(), "Feed  0");
  EXPECT_FALSE(console.View.Run_button.Enabled());
  EXPECT_EQ(console.View.Run_button.FontColor(), kGreen);
  EXPECT_FALSE(console.View.W_Pos.Visible());
  EXPECT_TRUE(console.View.Rapid_pan.Visible());
  EXPECT_FALSE(console.View.Diag1.Visible());
  EXPECT_TRUE(console.View.Form.Checked());  // always on top
}

TEST_F(ConsoleFixture, PositionReadOutSubtractsTheActiveOffsetAndInvertsZ) {
  console.ShowActiveOffset(3, 1.25, -0.5);
  EXPECT_EQ(console.View.Work_offset_but.Caption(), "Fixture 3");
  EXPECT_EQ(console.View.Fixture_lab.Caption(), "1.250 , -0.500");

  console.ShowPositions(8000, 16000, -4000, false);  // Xscale 8, inch: 1", 2", Z up 0.5"
  EXPECT_EQ(console.View.XPOS.Caption(), "-0.250\"");
  EXPECT_EQ(console.View.ypos.Caption(), "2.500\"");
  EXPECT_EQ(console.View.ZPOS.Caption(), "0.500\"");
  EXPECT_DOUBLE_EQ(console.State.MachineX, 1.0);  // the dialogs read machine coordinates

  console.UserMachClick();  // machine coordinates: no offset
  EXPECT_EQ(console.View.User_mach.Caption(), "M");
  console.ShowPositions(8000, 16000, -4000, false);
  EXPECT_EQ(console.View.XPOS.Caption(), "1.000\"");

  SetMetricUnits(config.Units);
  console.ShowPositions(800, 0, 0, false);  // 800 / 100 / 8 = 1 mm, no mark
  EXPECT_EQ(console.View.XPOS.Caption(), "1.00");
}

TEST_F(ConsoleFixture, TheThirdFieldIsWOnlyWithTheSelectorBitAndOnlyWhileWIsShown) {
  console.ShowPositions(0, 0, -8000, false);
  console.ShowPositions(0, 0, -16000, true);
  EXPECT_EQ(console.View.ZPOS.Caption(), "1.000\"");
  EXPECT_EQ(console.View.WPOS.Caption(), "");
  console.ShowWAxis(true);
  console.ShowPositions(0, 0, -16000, true);
  EXPECT_EQ(console.View.WPOS.Caption(), "2.000\"");
  EXPECT_EQ(console.View.ZPOS.Caption(), "1.000\"");
  EXPECT_FALSE(console.View.Rapid_pan.Visible());
}

TEST_F(ConsoleFixture, VelocityReadOutInPercentOrAsJogSpeed) {
  console.ShowVelocity(42);
  EXPECT_EQ(console.View.Cvelo.Caption(), " 42 %");
  console.Hooks.JogDisplayMode = [] { return 1; };
  console.Hooks.SpeedTableValue = [](int index) { return index * 2; };
  console.State.VelocityScale = 1.5;
  console.ShowVelocity(42);
  EXPECT_EQ(console.View.Cvelo.Caption(), "126 ipm");
}

TEST_F(ConsoleFixture, CodeLinePanelFillsFromTheThirdLineThenScrolls) {
  console.CodeLines.Clear();
  for (int i = 1; i <= 4; ++i) console.CodeLines.Add("L" + std::to_string(i));
  EXPECT_EQ(console.View.GCL1.Caption(), "");
  EXPECT_EQ(console.View.GCL3.Caption(), "L1");
  EXPECT_EQ(console.View.GCL6.Caption(), "L4");
  console.CodeLines.Add("L5");
  EXPECT_EQ(console.View.GCL2.Caption(), "L1");
  EXPECT_EQ(console.View.GCL4.Caption(), "L3");
  EXPECT_EQ(console.View.GCL5.Caption(), "L5");
  console.CodeLines.Clear();
  console.CodeLines.Add("again");
  EXPECT_EQ(console.View.GCL3.Caption(), "again");
  EXPECT_EQ(console.View.GCL2.Caption(), "");
}

TEST_F(ConsoleFixture, RunningLooksDisableManualPanelsAndSwapTheJogButtons) {
  console.ShowWAxis(true);
  console.SetConsoleIdle(false);
  EXPECT_FALSE(console.View.X_Pos.Visible());
  EXPECT_TRUE(console.View.fakexp.Visible());
  EXPECT_FALSE(console.View.JogSpdbut.Enabled());
  EXPECT_FALSE(console.View.W_Pos.Visible());
  EXPECT_FALSE(console.View.Move_2_XY.Enabled());
  EXPECT_TRUE(console.View.Z_zero.Enabled());  // only recoloured
  EXPECT_EQ(console.View.Z_zero.FontColor(), kGray);
  EXPECT_FALSE(console.View.Preview.Enabled());

  console.SetConsoleIdle(true);
  EXPECT_TRUE(console.View.X_Pos.Visible());
  EXPECT_TRUE(console.View.W_Pos.Visible());
  EXPECT_EQ(console.View.Move_2_XY.FontColor(), kGreen);
  EXPECT_EQ(console.View.Set_New_XY.FontColor(), kNavy);
  EXPECT_EQ(console.View.Preview.FontColor(), kOlive);
  EXPECT_FALSE(console.View.Preview.Enabled());  // never enabled here
}

TEST_F(ConsoleFixture, ModeSwitchClearsBothFileNames) {
  console.State.SpoolFileName = "job.vrj";
  console.GcodeModeClick();
  EXPECT_EQ(console.State.JobMode, 2);
  EXPECT_EQ(console.State.SpoolFileName, " ");
  EXPECT_TRUE(console.View.OpenGcodefile1.Enabled());
  EXPECT_FALSE(console.View.OpenSpoolerfile1.Enabled());
  console.State.GcodeFileName = "part.nc";
  console.QuorlexModeClick();
  EXPECT_EQ(console.State.JobMode, 1);
  EXPECT_EQ(console.State.GcodeFileName, " ");
}

TEST_F(ConsoleFixture, StayOnTopOffMeansDialogsNeverBringTheWindowBack) {
  console.StayOnTopClick();
  EXPECT_FALSE(console.View.StayonTop1.Checked());
  console.LeaveTop();
  console.RestoreTop();
  EXPECT_FALSE(console.View.Form.Checked());
  console.StayOnTopClick();
  console.LeaveTop();
  console.RestoreTop();
  EXPECT_TRUE(console.View.Form.Checked());
}

TEST_F(ConsoleFixture, ClockBlinksTheDoorLabelWhileTheDoorIsOpen) {
  console.StartClock();
  loop.RunFor(200);
  EXPECT_EQ(console.State.ClockTicks, 1);
  EXPECT_FALSE(console.View.ILOCK.Visible());
  console.State.DoorOpen = true;
  loop.RunFor(200);
  EXPECT_TRUE(console.View.ILOCK.Visible());
  loop.RunFor(200);
  EXPECT_FALSE(console.View.ILOCK.Visible());
  console.State.DoorOpen = false;
  loop.RunFor(400);
  EXPECT_FALSE(console.View.ILOCK.Visible());
  EXPECT_EQ(console.State.ClockTicks, 5);
}

TEST_F(ConsoleFixture, ClosingStopsEveryWaitAndClosesTheLink) {
  bool closed = false;
  console.Hooks.CloseLink = [&] { closed = true; };
  console.Close(true);
  EXPECT_TRUE(flags.StopWaiting());
  EXPECT_TRUE(closed);
}

}  // namespace
}  // namespace wendlar
