#include <gtest/gtest.h>

#include <cmath>

#include "config/ConfigFile.h"
#include "job/SpoolFile.h"
#include "support/TempDir.h"
#include "tools/ViewerModel.h"

namespace wendlar::testing {
namespace {

namespace fs = std::filesystem;

ConfigState Machine(bool metric) {
  ConfigState config;
  SetDefaultConfig(config.Config);
  config.Config.UnitsMode = metric ? 2 : 1;
  if (metric) SetMetricUnits(config.Units); else SetInchUnits(config.Units);
  config.ToolAboveWorkNow = config.Config.Tool_above_work;
  return config;
}

struct Viewer : ::testing::Test {
  TempDir dir;
  ViewerModel m;
  bool Open(const std::string& program, bool metric = false) {
    dir.Write("job.nc", program);
    m.SetWindowSize(800, 600);
    return m.Open(dir.Path() / "job.nc", Machine(metric), PreflightStart{});
  }
  std::vector<std::string> List() const {
    return {m.View.L1.Caption(), m.View.L2.Caption(), m.View.L3.Caption(), m.View.L4.Caption(), m.View.L5.Caption()};
  }
};

TEST(ViewerCameraTest, CameraSitsOnTheSphereAndProjectsLikeThePaper) {
  ViewerCamera c;
  c.Update();
  EXPECT_EQ(c.ex, -6785);
  EXPECT_EQ(c.ey, -18643);
  EXPECT_EQ(c.ez, 10261);
  c.WindowHeight = 600;
  EXPECT_EQ(c.Project(0, 0, 0).X, 307);
  EXPECT_EQ(c.Project(0, 0, 0).Y, 549);
  c.ScreenScale = 1;
  EXPECT_EQ(c.Project(1000, 2000, 500).X, 328);
  EXPECT_EQ(c.Project(1000, 2000, 500).Y, 455);

  // A camera straight above the Y axis: the zero components become 2.
  c.XYViewAngle = 90;
  c.ZViewAngle = 45;
  c.Update();
  c.ModelScale = 2;
  c.ScreenScale = 0.5;
  c.ScreenOffsetX = 10;
  c.ScreenOffsetY = 20;
  c.WindowHeight = 400;
  EXPECT_EQ(c.Project(1000, -500, 0).X, -29);
  EXPECT_EQ(c.Project(1000, -500, 0).Y, 481);
  c.PanOffsetX = 5;
  c.PanOffsetY = -7;
  EXPECT_EQ(c.Project(1000, -500, 0).X, -24);
  EXPECT_EQ(c.Project(1000, -500, 0).Y, 474);

  c.XYViewAngle = 0;
  c.ZViewAngle = 0;
  c.Update();
  EXPECT_EQ(c.ex, 2);
  EXPECT_EQ(c.ey, 30100);
  EXPECT_EQ(c.ez, 2);
}

TEST(ViewerCameraTest, DraggingRotatesByOneDegreeWithinLimitsAndTheWheelZoomsInSteps) {
  ViewerCamera c;
  c.Update();
  c.Rotate(-3, 0);  // pointer moved left
  EXPECT_EQ(c.XYViewAngle, 201);
  c.Rotate(4, 0);
  c.Rotate(4, 0);
  EXPECT_EQ(c.XYViewAngle, 199);
  c.XYViewAngle = 0;
  c.Rotate(1, 0);
  EXPECT_EQ(c.XYViewAngle, 360);
  c.Rotate(-1, 0);
  EXPECT_EQ(c.XYViewAngle, 0);  // above 360 wraps to 0
  for (int i = 0; i < 100; ++i) c.Rotate(0, -1);  // pointer moving up
  EXPECT_EQ(c.ZViewAngle, 90);
  for (int i = 0; i < 100; ++i) c.Rotate(0, 2);
  EXPECT_EQ(c.ZViewAngle, 0);

  for (int i = 0; i < 4; ++i) c.Wheel(true);
  EXPECT_DOUBLE_EQ(c.ScreenScale, 0.25);
  c.Wheel(true);
  EXPECT_DOUBLE_EQ(c.ScreenScale, 0.25 * 1.1);
  for (int i = 0; i < 3; ++i) c.Wheel(false);
  EXPECT_DOUBLE_EQ(c.ScreenScale, 0.25 * 1.1);
  c.Wheel(false);
  EXPECT_DOUBLE_EQ(c.ScreenScale, 0.25 * 1.1 * 0.9);

  c.SetModelScale(0);
  EXPECT_EQ(c.ModelScale, 1);
  c.SetModelScale(2000);
  EXPECT_EQ(c.ModelScale, 2.5);
}

TEST_F(Viewer, ExtentsAndLabelsInInchAndMetric) {
  // A rapid lifts Z before it moves over, so the box holds the start's X0 Y0 at Z 0.5.
  ASSERT_TRUE(Open("G20 G90\nG0 X1 Y2 Z0.5\nG1 Z-0.25 F10\nG1 X3 Y4.5\n"));
  EXPECT_EQ(m.Path.ExtentMin[0], 0);
  EXPECT_EQ(m.Path.ExtentMax[0], 3000);
  EXPECT_EQ(m.Path.ExtentMin[1], 0);
  EXPECT_EQ(m.Path.ExtentMax[1], 4500);
  EXPECT_EQ(m.Path.ExtentMin[2], -250);
  EXPECT_EQ(m.Path.ExtentMax[2], 500);
  EXPECT_EQ(m.View.Xsize_lab.Caption(), "X size  3.000");
  EXPECT_EQ(m.View.Ysize_lab.Caption(), "Y size  4.500");
  EXPECT_EQ(m.View.Zsize_lab.Caption(), "Z size  0.750");
  EXPECT_EQ(m.View.Ztop_lab.Caption(), "Z top  0.500");
  EXPECT_EQ(m.View.Zbot_lab.Caption(), "Z bot -0.250");
  EXPECT_EQ(m.View.Tot_lines.Caption(), "Total Lines 4");
  EXPECT_DOUBLE_EQ(m.Camera.ModelScale, 5000.0 / (3000 + 4500 + 750));

  ASSERT_TRUE(Open("G21 G90\nG0 X10 Y20 Z5\nG1 Z-2.5 F100\nG1 X30 Y45\n", true));
  EXPECT_EQ(m.Path.ExtentMin[0], 0);
  EXPECT_EQ(m.Path.ExtentMax[0], 30000);
  EXPECT_EQ(m.Path.ExtentMax[1], 45000);
  EXPECT_EQ(m.Path.ExtentMin[2], -2500);
  EXPECT_EQ(m.View.Xsize_lab.Caption(), "X size 30.000");
  EXPECT_EQ(m.View.Zbot_lab.Caption(), "Z bot -2.500");
}

TEST_F(Viewer, AFlatJobHasADepthOfOne) {
  ASSERT_TRUE(Open("G20 G90\nG0 X1 Y1 Z0\nG1 X2 F10\nG1 Y3\n"));
  EXPECT_EQ(m.Path.Extent(2), 1);
  EXPECT_EQ(m.View.Zsize_lab.Caption(), "Z size  0.000");
  EXPECT_DOUBLE_EQ(m.Camera.ModelScale, 5000.0 / (1000 + 2000 + 1));
}

TEST_F(Viewer, ArcsAreDrawnWithTheChordsTheRunSends) {
  const std::string program = "G20 G90\nG0 X1 Y0 Z0\nG1 Z-0.1 F10\nG2 X-1 Y0 I-1 J0\nG3 X1 Y0 I1 J0\n";
  ASSERT_TRUE(Open(program));
  dir.Write("again.nc", program);
  const PreflightResult run = PreflightJob(dir.Path() / "again.nc", Machine(false), PreflightStart{});
  size_t feeds = 0;
  for (const ViewerPoint& p : m.Path.Points()) {
    if (p.Rapid() || p.Line() < 4) continue;
    ++feeds;
    EXPECT_NEAR(std::hypot(p.X, p.Y), 1000, 1.5) << "line " << p.Line();
  }
  EXPECT_GT(feeds, 20u);
  EXPECT_NEAR(static_cast<double>(feeds), static_cast<double>(run.Segments), 2.0);
  // The full circle reaches the bottom of the arc.
  EXPECT_EQ(m.Path.ExtentMin[1], -1000);
}

TEST_F(Viewer, StepSliderAndRewindMoveTheDrawingAndTheLabels) {
  ASSERT_TRUE(Open("G20 G90\nG0 Z0.5\nG0 X1 Y2\nG1 Z-0.1 F30\nG1 X2 F60\nG1 Y3\nG0 Z0.5\nM30\n"));
  EXPECT_EQ(m.ViewLine, 8);  // opened to the whole job
  EXPECT_EQ(m.View.Cur_line_lab.Caption(), "Current Line 8");
  EXPECT_EQ(List(), std::vector<std::string>({"G1 Z-0.1 F30", "G1 X2 F60", "G1 Y3", "G0 Z0.5", "M30"}));

  m.RewindClick();
  EXPECT_EQ(m.View.Horiz_bar.Position(), 0);
  EXPECT_EQ(m.ViewLine, 1);
  EXPECT_EQ(List(), std::vector<std::string>({"G20 G90", "", "", "", ""}));
  m.Step_itClick();
  m.Step_itClick();
  m.Step_itClick();
  m.Step_itClick();
  EXPECT_EQ(m.View.Cur_line_lab.Caption(), "Current Line 5");
  EXPECT_EQ(m.View.Xpos_lab.Caption(), "X pos  2.000");
  EXPECT_EQ(m.View.Ypos_Lab.Caption(), "Y pos  2.000");
  EXPECT_EQ(m.View.Zpos_lab.Caption(), "Z pos -0.100");

  // Backward: the drawing and the list start again.
  m.Horiz_barChange(375);  // line 3
  EXPECT_EQ(m.ViewLine, 3);
  EXPECT_EQ(m.View.Xpos_lab.Caption(), "X pos  1.000");
  EXPECT_EQ(m.View.Zpos_lab.Caption(), "Z pos  0.500");
  EXPECT_EQ(List(), std::vector<std::string>({"G20 G90", "G0 Z0.5", "G0 X1 Y2", "", ""}));
  EXPECT_EQ(m.Path.PointsThrough(3), 3u);  // start, Z up, XY
  m.Horiz_barChange(1000);
  EXPECT_EQ(m.ViewLine, 8);
  m.Step_itClick();
  EXPECT_EQ(m.ViewLine, 8);  // nothing past the end
}

TEST_F(Viewer, PlaybackRunsLineByLineAndStopsAtTheEnd) {
  ASSERT_TRUE(Open("G20 G90\nG0 X1\nG0 X2\nG0 X3\n"));
  m.Start_timerClick();  // drawn whole: starts from the beginning
  EXPECT_EQ(m.View.Start_timer.Caption(), "Running");
  EXPECT_EQ(m.ViewLine, 0);
  m.Timer1Tick();
  m.Timer1Tick();
  EXPECT_EQ(m.ViewLine, 2);
  m.Start_timerClick();
  m.Timer1Tick();
  EXPECT_EQ(m.ViewLine, 2);  // stopped
  m.Start_timerClick();
  for (int i = 0; i < 10; ++i) m.Timer1Tick();
  EXPECT_EQ(m.ViewLine, 4);
  EXPECT_FALSE(m.Playing);
  EXPECT_EQ(m.View.Start_timer.Caption(), "Start");
}

TEST_F(Viewer, ZoomAllFitsTheJobIntoTheDrawingArea) {
  ASSERT_TRUE(Open("G20 G90\nG0 X100 Y100 Z0\nG1 X104 F10\nG1 Y103\nG1 Z-1\n"));
  m.Camera.PanOffsetX = 999;
  m.SetWindowSize(900, 700);
  m.ZoomAllClick();
  EXPECT_EQ(m.Camera.PanOffsetX, 0);
  int x0 = 1 << 30, x1 = -x0, y0 = x0, y1 = -x0;
  for (const ViewerPoint& p : m.Path.Points()) {
    if (p.Line() == 0) continue;
    const ScreenPoint s = m.Camera.Project(p.X, p.Y, p.Z);
    x0 = std::min(x0, s.X), x1 = std::max(x1, s.X), y0 = std::min(y0, s.Y), y1 = std::max(y1, s.Y);
  }
  // A job far from the origin is still in the picture, filling most of it.
  EXPECT_GE(x0, 0);
  EXPECT_LE(x1, 750);
  EXPECT_GE(y0, 0);
  EXPECT_LE(y1, 700);
  EXPECT_GT(std::max((x1 - x0) / 750.0, (y1 - y0) / 700.0), 0.6);
}

TEST_F(Viewer, GridLiesOnTheLowestZAndCoversTheLargerSide) {
  ASSERT_TRUE(Open("G20 G90\nG0 X1 Y1 Z0\nG1 Z-0.5 F10\nG1 X4 Y2\n"));
  const auto grid = m.GridLines();
  ASSERT_EQ(grid.size(), 84u);
  for (const ViewerPoint& p : grid) EXPECT_EQ(p.Z, -500);
  EXPECT_EQ(grid.back().X, 1000 + 3000);
  EXPECT_EQ(grid[1].Y, 1000 + 3000);

  ASSERT_TRUE(Open("G20 G90\nG0 X1 Y1 Z0\nG1 X1.05 F10\n"));  // below 100: a 1000 grid
  EXPECT_EQ(m.GridLines().back().X, 1000 + 1000);
}

TEST_F(Viewer, SpoolerJobsShowTheirRecordLabelsToolAndLayer) {
  ASSERT_TRUE(WriteSpoolFile(dir.Path() / "job.vrj", {{kSpoolBorder, 0, 0, 4000, 4000},
                                                      {kSpoolZLimits, -200, 100},
                                                      {kSpoolLayerStart, 2},
                                                      {kSpoolChangeTool, 2},
                                                      {kSpoolRapidXY, 1000, 2000},
                                                      {kSpoolLowerZ},
                                                      {kSpoolLinear, 3000, 2000, 200},
                                                      {kSpoolZRaise}}));
  m.SetWindowSize(800, 600);
  ASSERT_TRUE(m.Open(dir.Path() / "job.vrj", Machine(false), PreflightStart{}));
  EXPECT_TRUE(m.Path.Spool());
  EXPECT_EQ(m.View.Tot_lines.Caption(), "Total Lines 6");
  EXPECT_EQ(m.Path.ExtentMin[0], 1000);
  EXPECT_EQ(m.Path.ExtentMax[0], 3000);
  EXPECT_EQ(m.View.Cur_tool_lab.Caption(), "Tool # 2");
  ASSERT_EQ(m.Path.Colours().size(), 2u);
  EXPECT_EQ(m.Path.Colours()[0].Line, 1);
  EXPECT_EQ(m.Path.Colours()[0].Pen, kRed);  // the layer start
  EXPECT_EQ(m.Path.Colours()[1].Line, 2);
  EXPECT_EQ(m.Path.Colours()[1].Pen, kLime);
  EXPECT_EQ(m.View.Cur_lay_lab.Caption(), "Current Layer 2");
  EXPECT_EQ(List(), std::vector<std::string>(
                        {"Change Tool 2", "Rapid XY", "Lower Z to work", "Linear XYZ", "Z Raise"}));
  m.Horiz_barChange(500);  // record 3
  EXPECT_EQ(m.View.Xpos_lab.Caption(), "X pos  1.000");
  EXPECT_EQ(m.View.Ypos_Lab.Caption(), "Y pos  2.000");
}

// The pen and style of every batch of the frame, in order.
std::vector<std::pair<Color, bool>> Batches(const ViewerFrame& f) {
  std::vector<std::pair<Color, bool>> out;
  for (const ViewerFrame::Batch& b : f.Batches) out.emplace_back(b.Pen, b.Rapid);
  return out;
}

TEST_F(Viewer, ProgramsAreDrawnInTheColoursOfTheirTools) {
  const std::string program = "G20 G90\nT1 M6\nG0 X1 Y1\nG1 X3 F10\nT2\nG0 X1 Y2\nG1 Y4\nM30\n";
  ASSERT_TRUE(Open(program));
  ASSERT_EQ(m.Path.Colours().size(), 2u);
  EXPECT_EQ(m.Path.Colours()[0].Tool, 1);
  EXPECT_EQ(m.Path.Colours()[1].Tool, 2);
  EXPECT_EQ(m.Path.Colours()[1].Line, 5);
  const ViewerFrame& f = m.BuildFrame();
  using B = std::pair<Color, bool>;
  EXPECT_EQ(Batches(f), std::vector<B>({{kBlue, true}, {kBlue, false}, {kLime, true}, {kLime, false}}));
  // The last lime segment ends where tool 2's cut ends.
  const ScreenPoint end = m.Camera.Project(1000, 4000, 0);
  EXPECT_NEAR(f.Lines[f.Lines.size() - 2], end.X, 0.6);
  EXPECT_NEAR(f.Lines.back(), end.Y, 0.6);
  EXPECT_EQ(m.View.Cur_tool_lab.Caption(), "Tool # 2");
  m.Horiz_barChange(500);  // line 4
  EXPECT_EQ(m.View.Cur_tool_lab.Caption(), "Tool # 1");
  EXPECT_EQ(Batches(m.BuildFrame()), std::vector<B>({{kBlue, true}, {kBlue, false}}));
  m.RewindClick();
  EXPECT_EQ(m.View.Cur_tool_lab.Caption(), "");

  // With a manual tool change the tool goes to the change position still in its old colour.
  ConfigState config = Machine(false);
  config.Config.Man_toolch = 1;
  config.Config.Toolch_xpos = 5;
  config.Config.Toolch_Zpos = 1;
  ASSERT_TRUE(m.Open(dir.Path() / "job.nc", config, PreflightStart{}));
  ASSERT_EQ(m.Path.Colours().size(), 2u);
  const ViewerPoint before = m.Path.Points()[m.Path.Colours()[1].Point - 1];
  EXPECT_EQ(before.Line(), 5);
  EXPECT_EQ(before.X, 5000);
  EXPECT_EQ(before.Y, 0);
  EXPECT_EQ(m.Path.Colours()[1].Pen, kLime);
}

TEST_F(Viewer, TheFrameFollowsThePixelsNotTheSegments) {
  // Rows of 0.002 in steps (under a pixel each at this size) across a one-inch square; the
  // rows lie a tenth of a pixel apart, every other one cut with tool `odd`.
  auto raster = [](int rows, int odd) {
    std::string text = "G20 G90\nG0 X0 Y0 Z0\nG1 X0 Y1 F10\nG1 X1 Y1\n";
    for (int r = 0; r < rows; ++r) {
      text += "T" + std::to_string(r % 2 ? odd : 1) + "\n";
      for (int i = 0; i <= 500; ++i) text += "G1 X" + std::to_string(i * 0.002) + " Y" + std::to_string(r * 0.0005) + "\n";
    }
    return text;
  };
  ASSERT_TRUE(Open(raster(1, 1)));
  const ViewerFrame& row = m.BuildFrame();
  const size_t oneRow = row.Segments();
  // Every end point sits where the camera projects it.
  for (size_t i = 0; i < row.Lines.size(); i += 2) {
    bool found = false;
    for (const ViewerPoint& p : m.Path.Points()) {
      double x, y;
      m.Camera.ProjectExact(p.X, p.Y, p.Z, x, y);
      if (std::fabs(x - row.Lines[i]) < 0.01 && std::fabs(y - row.Lines[i + 1]) < 0.01) found = true;
    }
    ASSERT_TRUE(found) << "segment point " << i / 2;
  }
  EXPECT_LT(oneRow, 400u);  // of 503: many steps are closer than a pixel to the last point kept

  // Forty rows in one pen leave out much of what lies over the rows before; in two pens each
  // row is drawn over the other's colour.
  ASSERT_TRUE(Open(raster(40, 2)));
  const size_t twoPens = m.BuildFrame().Segments();
  EXPECT_GT(twoPens, oneRow * 38);
  ASSERT_TRUE(Open(raster(40, 1)));
  const size_t onePen = m.BuildFrame().Segments();
  EXPECT_LT(onePen, twoPens * 2 / 3);
  // A coarser cell while the mouse drags keeps fewer still.
  EXPECT_LT(m.BuildFrame(2).Segments(), onePen / 2);

  // Panned far beside the window, or with nothing drawn yet, the frame is empty.
  m.Camera.PanOffsetX = 5000;
  EXPECT_EQ(m.BuildFrame().Segments(), 0u);
  m.Camera.PanOffsetX = 0;
  m.ViewLine = 0;
  EXPECT_EQ(m.BuildFrame().Segments(), 0u);
}

TEST_F(Viewer, AFileThatCannotBeOpenedLeavesTheViewerEmpty) {
  m.SetWindowSize(800, 600);
  EXPECT_FALSE(m.Open(dir.Path() / "missing.nc", Machine(false), PreflightStart{}));
  EXPECT_TRUE(m.Path.Points().empty());
  EXPECT_FALSE(m.View.Run_it.Enabled());
}

TEST_F(Viewer, ReadingCanBeAbandonedAndReportsProgress) {
  std::string program = "G20 G90\n";
  for (int i = 0; i < 10000; ++i) program += "G1 X" + std::to_string(i % 7) + " F10\n";
  dir.Write("long.nc", program);
  int calls = 0;
  EXPECT_FALSE(m.Open(dir.Path() / "long.nc", Machine(false), PreflightStart{}, [&](int) { return ++calls < 2; }));
  EXPECT_EQ(calls, 2);
  calls = 0;
  EXPECT_TRUE(m.Open(dir.Path() / "long.nc", Machine(false), PreflightStart{}, [&](int) { return ++calls > 0; }));
  EXPECT_EQ(calls, 2);
  EXPECT_EQ(m.Path.TotalLines(), 10001);
}

}  // namespace
}  // namespace wendlar::testing
