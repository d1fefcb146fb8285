#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <memory>

#include "config/WorkOffsets.h"
#include "core/VirtualEventLoop.h"
#include "ConfigRig.h"

namespace wendlar {
namespace {

class WorkOffsetsTest : public testing::ConfigRig {
 protected:
  WorkOffsetsTest() {
    SetDefaultConfig(state.Config);
    // Fault lines carry local time; pin the zone so they repeat.
    ::setenv("TZ", "UTC", 1);
    ::tzset();
  }

  TJumpbox& Create() {
    box = std::make_unique<TJumpbox>(offsets, state, io, loop, console, machine);
    return *box;
  }

  VirtualEventLoop loop;
  WorkOffsetState offsets;
  std::unique_ptr<TJumpbox> box;
};

TEST_F(WorkOffsetsTest, FirstStartShowsFixtureOneAtZero) {
  TJumpbox& jump = Create();
  EXPECT_EQ(console.ActiveOffsets, std::vector<std::string>{"1:0.000000:0.000000"});
  EXPECT_EQ(offsets.ActiveFixture, 1);
  EXPECT_TRUE(jump.View.Radios[0].Checked());
  EXPECT_TRUE(events.Progress.empty());
}

TEST_F(WorkOffsetsTest, SavesTheOffsetsAsShownByteForByte) {
  TJumpbox& jump = Create();
  jump.ShowWorkOffsets();
  jump.View.EditX[2].SetCaption("1.25");
  jump.View.EditY[2].SetCaption("-0.5");
  jump.SaveClick();
  EXPECT_EQ(dir.Read("Offsets.cfg"),
            "[Offset1]\r\n0.000\r\n0.000\r\n0.0\r\n"
            "[Offset2]\r\n0.000\r\n0.000\r\n0.0\r\n"
            "[Offset3]\r\n1.250\r\n-0.500\r\n0.0\r\n"
            "[Offset4]\r\n0.000\r\n0.000\r\n0.0\r\n"
            "[Offset5]\r\n0.000\r\n0.000\r\n0.0\r\n"
            "[Offset6]\r\n0.000\r\n0.000\r\n0.0\r\n"
            "[blank]\r\n0\r\n[blank]\r\n0\r\n[blank]\r\n0\r\n");
  EXPECT_EQ(offsets.WorkOffsets[2].X, 1.25);
  EXPECT_TRUE(events.SaveErrors.empty());

  std::filesystem::remove(dir.Path() / "Offsets.cfg");
  std::filesystem::create_directory(dir.Path() / "Offsets.cfg");
  jump.SaveClick();
  EXPECT_EQ(events.SaveErrors,
            std::vector<std::string>{"Cannot save Offsets.cfg: " + (dir.Path() / "Offsets.cfg").string() + " is a folder"});
}

TEST_F(WorkOffsetsTest, CloseActivatesTheSelectedOffsetWithoutSaving) {
  dir.Write("Offsets.cfg", "[x]\r\n2\r\n3\r\n0.0\r\n[y]\r\n4.5 mm\r\n-6\r\n0.0\r\n");
  TJumpbox& jump = Create();
  EXPECT_EQ(offsets.ActiveOffsetX, 2.0);
  EXPECT_EQ(offsets.ActiveOffsetY, 3.0);
  jump.ShowWorkOffsets();
  EXPECT_EQ(jump.View.EditX[1].Caption(), "4.5");
  jump.SelectFixture(2);
  jump.View.EditY[1].SetCaption("-7");
  jump.CloseClick();
  EXPECT_EQ(offsets.ActiveFixture, 2);
  EXPECT_EQ(offsets.ActiveOffsetY, -7.0);
  EXPECT_EQ(console.ActiveOffsets.back(), "2:4.500000:-7.000000");
  EXPECT_FALSE(jump.View.Form.Visible());

  // The next start loads what was last saved.
  WorkOffsetState fresh;
  TJumpbox again(fresh, state, io, loop, console, machine);
  EXPECT_EQ(fresh.WorkOffsets[1].Y, -6.0);
}

TEST_F(WorkOffsetsTest, ShortAndJunkFilesKeepTheRest) {
  offsets.WorkOffsets[4] = {9, 9};
  dir.Write("Offsets.cfg", "[1]\r\n1\r\nnope\r\n0.0\r\n[2]\r\n2\r\n");
  TJumpbox& jump = Create();
  EXPECT_EQ(offsets.WorkOffsets[0].X, 1.0);
  EXPECT_EQ(offsets.WorkOffsets[0].Y, 0.0);
  EXPECT_EQ(offsets.WorkOffsets[1].X, 2.0);
  EXPECT_EQ(offsets.WorkOffsets[4].X, 9.0);
  EXPECT_EQ(events.Progress, std::vector<std::string>{"DATA ERROR READING Offsets.cfg"});
  EXPECT_EQ(events.LoadErrors, std::vector<std::string>{"DATA ERROR READING Offsets.cfg line 3: \"nope\" is not a number"});

  dir.Write("Offsets.cfg", "");
  EXPECT_FALSE(jump.LoadOffsets());
  EXPECT_EQ(offsets.WorkOffsets[0].X, 1.0);
}

TEST_F(WorkOffsetsTest, SetFromMachinePositionFillsTheSelectedOffset) {
  TJumpbox& jump = Create();
  machine.XSteps = 8000;
  machine.YSteps = -4000;
  jump.SelectFixture(4);
  jump.SetFromMachineClick();
  EXPECT_EQ(offsets.WorkOffsets[3].X, 1.0);
  EXPECT_EQ(offsets.WorkOffsets[3].Y, -0.5);
  EXPECT_EQ(jump.View.EditX[3].Caption(), "1");
  EXPECT_EQ(offsets.ActiveFixture, 1);
  EXPECT_FALSE(dir.Exists("Offsets.cfg"));
}

TEST_F(WorkOffsetsTest, WindowModes) {
  TJumpbox& jump = Create();
  jump.ShowFaultHistory();
  EXPECT_EQ(jump.View.Form.Caption(), "Fault History");
  EXPECT_FALSE(jump.View.Fixtures_pan.Visible());
  EXPECT_TRUE(jump.View.Fault_box.Visible());
  EXPECT_EQ(jump.View.Form.Width(), 410);
  jump.ShowWorkOffsets();
  EXPECT_EQ(jump.View.Form.Caption(), "Work Offsets");
  EXPECT_TRUE(jump.View.Fixtures_pan.Visible());
  EXPECT_FALSE(jump.View.Fault_box.Visible());
  EXPECT_EQ(jump.View.Form.Width(), 290);
  EXPECT_EQ(jump.View.Radios[5].Caption(), "Offset #6  (G59)");
}

TEST_F(WorkOffsetsTest, FaultHistoryAppendsEveryFault) {
  TJumpbox& jump = Create();
  jump.AddFaultHistory("Servo Fault");
  loop.RunFor(61000);
  jump.AddFaultHistory("Servo Fault");
  const std::vector<std::string> expected{"08:00:00- 05/01/2026 * Servo Fault", "08:01:01- 05/01/2026 * Servo Fault"};
  EXPECT_EQ(jump.View.Fault_list.Items(), expected);
  EXPECT_EQ(dir.Read("History.lst"), testing::CrLf(expected));

  // The list starts empty at every start while the file keeps growing.
  TJumpbox next(offsets, state, io, loop, console, machine);
  EXPECT_TRUE(next.View.Fault_list.Items().empty());
  next.AddFaultHistory("Data sumcheck error");
  EXPECT_EQ(SplitLines(dir.Read("History.lst")).size(), 3u);
}

TEST_F(WorkOffsetsTest, AFailingAppendKeepsTheLineInTheListAndIsSaidOnceUntilItWorksAgain) {
  std::filesystem::create_directory(dir.Path() / "History.lst");
  TJumpbox& jump = Create();
  jump.AddFaultHistory("Stopped by Click");
  jump.AddFaultHistory("Servo Fault");
  ASSERT_EQ(jump.View.Fault_list.Items().size(), 2u);
  EXPECT_EQ(jump.View.Fault_list.Items()[0], "08:00:00- 05/01/2026 * Stopped by Click");
  const std::string said = "Cannot add to " + (dir.Path() / "History.lst").string() + ": Is a directory";
  EXPECT_EQ(events.WriteErrors, std::vector<std::string>{said});

  std::filesystem::remove(dir.Path() / "History.lst");
  jump.AddFaultHistory("Data sumcheck error");
  home.LimitFreeSpace(10);
  jump.AddFaultHistory("Ram sumcheck error");
  EXPECT_EQ(events.WriteErrors.size(), 2u);
  EXPECT_EQ(events.WriteErrors.back(), "Cannot add to " + (dir.Path() / "History.lst").string() +
                                           ": No space left on device");
  // The line that did not fit is cut off whole; the earlier one stays.
  EXPECT_EQ(dir.Read("History.lst"), "08:00:00- 05/01/2026 * Data sumcheck error\r\n");
}

}  // namespace
}  // namespace wendlar
