// Run From Here in the toolpath viewer, through the engines into the simulated controller:
// the run resumes after the point drawn last, moves there first, and completes.
#include <gtest/gtest.h>

#include "job/SpoolFile.h"
#include "link/Commands.h"
#include "support/SimSystem.h"
#include "tools/ViewerModel.h"

namespace wendlar::testing {
namespace {

using sim::kX;
using sim::kY;
using sim::kZ;

struct RunFromHere : ::testing::Test {
  SimSystem rig;
  System& sys = *rig.sys;
  ConsoleState& s = sys.console.State;
  ViewerModel viewer;

  void SetUp() override { ASSERT_TRUE(rig.ConnectAndInitialise()); }

  // Opens the program as the console does, then in the viewer, and draws it to `line`.
  void OpenAndDrawTo(const std::string& program, int line) {
    rig.dir.Write("job.nc", program);
    sys.consoleSettings.ChooseJobMode(2);
    ASSERT_TRUE(sys.run.PrepareGcodeFile((rig.dir.Path() / "job.nc").string()));
    ASSERT_TRUE(viewer.Open(rig.dir.Path() / "job.nc", sys.engines.Config(), sys.engines.JobStart()));
    viewer.RewindClick();
    while (viewer.ViewLine < line) viewer.Step_itClick();
    viewer.Run_itClick();
  }
  bool RunToEnd() {
    sys.run.RunJob();
    return rig.RunUntil([&] { return !s.JobActive && !rig.sim.JobRunning(); }, 10 * 60 * 1000);
  }
  static int32_t At(const std::array<uint8_t, 11>& r, int first) {
    int32_t v = r[first] | (r[first + 1] << 8) | (r[first + 2] << 16);
    return (v & 0x800000) != 0 ? v - 0x1000000 : v;
  }
  // The first XY move of the run goes straight to (x, y) steps, without the lines before.
  void ExpectResumeMoveTo(size_t from, int32_t x, int32_t y) {
    for (const auto& r : rig.Records(from)) {
      if (r[0] != commands::kMoveXY) continue;
      EXPECT_EQ(At(r, 1), x);
      EXPECT_EQ(At(r, 4), y);
      return;
    }
    ADD_FAILURE() << "no XY move";
  }
  bool Completed() const {
    for (const auto& line : sys.jumpbox.View.Fault_list.Items()) {
      if (line.find("* Completed ") != std::string::npos) return true;
    }
    return false;
  }
};

TEST_F(RunFromHere, InchProgramResumesAfterTheLineDrawnLast) {
  OpenAndDrawTo("G20 G90\nG0 Z0.5\nG0 X4 Y4\nG0 X1 Y2\nG1 Z-0.1 F30\nG1 X2 F60\nG0 Z0.5\n", 5);
  EXPECT_EQ(viewer.View.XY_go.Caption(), "X 1.000     Y 2.000");
  EXPECT_EQ(viewer.View.Z_go.Caption(), "Z -0.100");
  viewer.View.Start_router.SetChecked(true);
  std::string error;
  ASSERT_TRUE(viewer.Go_buttonClick(sys.run, sys.engines, error)) << error;
  EXPECT_FALSE(viewer.View.Restart_pan.Visible());
  EXPECT_TRUE(sys.engines.ResumePending);
  EXPECT_TRUE(sys.engines.ResumeSpindle);
  // File units are thousandths of an inch: the viewer's own units.
  EXPECT_EQ(sys.engines.ResumeX, viewer.LastPoint().X);
  EXPECT_EQ(sys.engines.ResumeY, viewer.LastPoint().Y);
  EXPECT_EQ(sys.engines.ResumeZ, viewer.LastPoint().Z);
  const size_t from = rig.sim.TraceRecords().size();
  ASSERT_TRUE(RunToEnd());
  ExpectResumeMoveTo(from, 8000, 16000);
  EXPECT_TRUE(Completed());
  EXPECT_EQ(rig.sim.Position()[kX], 16000);
  EXPECT_EQ(rig.sim.Position()[kY], 16000);
  EXPECT_EQ(rig.sim.Position()[kZ], -4000);
}

TEST_F(RunFromHere, MetricProgramResumesAtTheSamePlace) {
  SetMetricUnits(sys.config.Units);
  OpenAndDrawTo("G21 G90\nG0 Z12\nG0 X100 Y100\nG0 X25 Y50\nG1 Z-2.5 F300\nG1 X50 F600\nG0 Z12\n", 5);
  EXPECT_EQ(viewer.View.XY_go.Caption(), "X 25.000     Y 50.000");
  std::string error;
  ASSERT_TRUE(viewer.Go_buttonClick(sys.run, sys.engines, error)) << error;
  // File units are hundredths of a millimetre, the viewer's thousandths.
  EXPECT_EQ(sys.engines.ResumeX * 10, viewer.LastPoint().X);
  EXPECT_EQ(sys.engines.ResumeY * 10, viewer.LastPoint().Y);
  EXPECT_EQ(sys.engines.ResumeZ * 10, viewer.LastPoint().Z);
  const size_t from = rig.sim.TraceRecords().size();
  ASSERT_TRUE(RunToEnd());
  ExpectResumeMoveTo(from, 25 * 100 * 8, 50 * 100 * 8);
  EXPECT_TRUE(Completed());
  EXPECT_EQ(rig.sim.Position()[kX], 50 * 100 * 8);
  EXPECT_EQ(rig.sim.Position()[kY], 50 * 100 * 8);
  EXPECT_EQ(rig.sim.Position()[kZ], -12 * 100 * 8);
}

TEST_F(RunFromHere, SpoolerJobResumesAfterTheRecordDrawnLast) {
  ASSERT_TRUE(WriteSpoolFile(rig.dir.Path() / "job.vrj", ResumeSpoolJob()));
  sys.consoleSettings.ChooseJobMode(1);
  const std::string path = (rig.dir.Path() / "job.vrj").string();
  ASSERT_TRUE(sys.run.ChooseSpoolFile(path));
  ASSERT_TRUE(viewer.Open(path, sys.engines.Config(), sys.engines.JobStart()));
  viewer.Horiz_barChange(500);  // half of five records: 2.5 rounds to 2
  EXPECT_EQ(viewer.ViewLine, 2);
  viewer.Step_itClick();
  std::string error;
  ASSERT_TRUE(viewer.Go_buttonClick(sys.run, sys.engines, error)) << error;
  EXPECT_EQ(sys.engines.ResumeX, 1000);
  EXPECT_EQ(sys.engines.ResumeY, 2000);
  const size_t from = rig.sim.TraceRecords().size();
  ASSERT_TRUE(RunToEnd());
  ExpectResumeMoveTo(from, 8000, 16000);
  EXPECT_TRUE(Completed());
  EXPECT_EQ(rig.sim.Position()[kX], 16000);
}

TEST_F(RunFromHere, ASpindleTheLinesBeforeStartedRestartsWithoutTheBox) {
  OpenAndDrawTo("G20 G90\nM3 S10000\nG0 Z0.5\nG0 X1 Y2\nG1 Z-0.1 F30\nG1 X2 F60\nG0 Z0.5\nM5\n", 5);
  EXPECT_FALSE(viewer.View.Start_router.Checked());
  std::string error;
  ASSERT_TRUE(viewer.Go_buttonClick(sys.run, sys.engines, error)) << error;
  EXPECT_TRUE(sys.engines.ResumeSpindle);
}

TEST_F(RunFromHere, NothingAfterTheLastLineAndCancelLeavesNoResume) {
  OpenAndDrawTo("G20 G90\nG0 X1\n", 2);
  std::string error;
  EXPECT_FALSE(viewer.Go_buttonClick(sys.run, sys.engines, error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(sys.engines.ResumePending);
  viewer.Horiz_barChange(0);
  EXPECT_EQ(viewer.ViewLine, 0);
  ASSERT_TRUE(viewer.Go_buttonClick(sys.run, sys.engines, error));
  EXPECT_FALSE(sys.engines.ResumePending);  // from the top: the whole job, no resume move
  viewer.Step_itClick();
  ASSERT_TRUE(viewer.Go_buttonClick(sys.run, sys.engines, error));
  EXPECT_TRUE(sys.engines.ResumePending);
  EXPECT_FALSE(sys.engines.ResumeSpindle);  // no box, no spindle before
  viewer.Cancel_jumpClick(sys.run, sys.engines);
  EXPECT_FALSE(sys.engines.ResumePending);
  EXPECT_TRUE(s.GcodeReady);
}

}  // namespace
}  // namespace wendlar::testing
