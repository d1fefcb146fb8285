#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <sstream>

#include "GcodeRig.h"
#include "config/ConfigFile.h"
#include "job/Preflight.h"
#include "motion/SpeedTables.h"
#include "support/TempDir.h"

namespace wendlar::testing {
namespace {

using Calls = std::vector<std::string>;

ConfigState Machine(bool metric) {
  ConfigState config;
  SetDefaultConfig(config.Config);
  config.Config.UnitsMode = metric ? 2 : 1;
  if (metric) SetMetricUnits(config.Units); else SetInchUnits(config.Units);
  config.ToolAboveWorkNow = config.Config.Tool_above_work;
  return config;
}

PreflightResult Preflight(const std::string& program, const ConfigState& config, const PreflightStart& start = {}) {
  TempDir dir;
  dir.Write("job.nc", program);
  return PreflightJob(dir.Path() / "job.nc", config, start);
}

PreflightResult Preflight(const std::string& program, bool metric = false) {
  return Preflight(program, Machine(metric));
}

Calls Refusals(const PreflightResult& r) { return RefusalLines(r, 100); }

TEST(PreflightRefusals, CoordinateSystemAndMachineZeroCodes) {
  auto r = Preflight(
      "G20 G90\n"
      "G10 L2 P2 X0 Y-101.6 Z0\n"
      "G28 G91 Z0\n"
      "G30\n"
      "G52 X1\n"
      "G53 G0 Z0\n"
      "G92 X0 Y0\n"
      "G92.1\n"
      "G38.2 Z-1 F5\n"
      "G33.1 Z-1 K0.05\n"
      "G76 X1 Z-1\n"
      "G65 X1\n"
      "G65\n");
  EXPECT_EQ(Refusals(r), Calls({"line 2: Error G10 not supported", "line 3: Error G28 not supported",
                                "line 4: Error G30 not supported", "line 5: Error G52 not supported",
                                "line 6: Error G53 machine coordinates not supported: remove the line or use a post "
                                "for this machine",
                                "line 7: Error G92 not supported", "line 8: Error G92.1 not supported",
                                "line 9: Error G38.2 not supported", "line 10: Error G33.1 not supported",
                                "line 11: Error G76 not supported",
                                // An unknown code with axis words is refused; alone it changes nothing.
                                "line 12: Error G65 not supported"}));
  // Nothing of a refused line moves the machine: the only targets are the start.
  EXPECT_EQ(r.Limits.XMin, 0);
  EXPECT_EQ(r.Limits.YMin, 0);
  EXPECT_EQ(r.Limits.ZBot, 0);
}

TEST(PreflightRefusals, CompensationDecimalsParametersAndSubroutines) {
  auto r = Preflight(
      "G20\n"
      "G41 D1 X1\n"
      "G42 X1\n"
      "G40 G17 G49 G43 H1 G61 G64 G80 G94 G98 G99\n"
      "G91.1\n"
      "G90.1\n"
      "G1 Z#101\n"
      "#1=5\n"
      "G1 X[1+2]\n"
      "O100 sub\n"
      "O1234 (program number)\n"
      "M98 P100\n"
      "M99\n"
      "G1 A90\n"
      "M123\n"
      "G1 X1 E0.5\n");
  EXPECT_EQ(Refusals(r), Calls({"line 2: Error G41 cutter compensation not supported",
                                "line 3: Error G42 cutter compensation not supported",
                                "line 6: Error G90.1 not supported", "line 7: Error parameters not supported",
                                "line 8: Error parameters not supported", "line 9: Error expressions not supported",
                                "line 10: Error O-words not supported",
                                "line 12: Error M98 subroutine calls not supported",
                                "line 13: Error M99 subroutine calls not supported",
                                "line 14: Error A axis not supported", "line 16: Error E axis not supported"}));
  EXPECT_TRUE(r.Messages.empty());
}

TEST(PreflightRefusals, G91DrillingAndPecksBelowOneStep) {
  auto r = Preflight("G20\nG0 Z1\nG91 G81 X1 Z-0.5 R-0.9 F5\nG90\nG83 X1 Z-1 R0.1 Q0.0001 F5\n");
  EXPECT_EQ(Refusals(r), Calls({"line 3: Error drilling cycles under G91 not supported",
                                "line 5: Error peck depth Q below one step"}));
}

TEST(PreflightRefusals, TheListShowsTheFirstTenAndTheCount) {
  std::string program = "G20\n";
  for (int i = 0; i < 25; ++i) program += "G53 G0 Z0\n";
  auto r = Preflight(program);
  ASSERT_EQ(r.Refusals.size(), 25u);
  auto lines = RefusalLines(r, 10);
  ASSERT_EQ(lines.size(), 11u);
  EXPECT_EQ(lines[0].substr(0, 21), "line 2: Error G53 mac");
  EXPECT_EQ(lines[9].substr(0, 8), "line 11:");
  EXPECT_EQ(lines[10], "... and 15 more refusals");
}

TEST(PreflightRefusals, TheRunRefusesTooWhenThePreflightWasSkipped) {
  GcodeRig rig;
  rig.Run("G0 Z1\nG10 L2 P2 X0 Y-101.6 Z0\nG1 X1\n");
  EXPECT_EQ(rig.m.Messages, Calls({"line 2: Error G10 not supported"}));
  EXPECT_EQ(rig.m.Moves(), Calls({"Z -8000 60 0"}));
  EXPECT_EQ(rig.flags.AbortRun, 1);
}

TEST(PreflightCounts, ExtentsCountsAndPackets) {
  auto r = Preflight("G20\nG0 Z0.2\nG0 X1 Y2\nG1 Z-0.1 F20\nG1 X3\nG2 X3 Y2 I-1 J0\nG0 Z0.2\n");
  ASSERT_TRUE(r.Ok());
  EXPECT_EQ(r.Lines, 7);
  EXPECT_EQ(r.Feeds, 2);
  EXPECT_EQ(r.Arcs, 1);
  EXPECT_EQ(r.Limits.XMin, 0);
  EXPECT_EQ(r.Limits.XMax, 3000);
  EXPECT_EQ(r.Limits.YMax, 3000);  // the circle's top
  EXPECT_EQ(r.Limits.YMin, 0);  // the start; the circle's bottom is at 1
  EXPECT_EQ(r.Limits.ZTop, 200);
  EXPECT_EQ(r.Limits.ZBot, -100);
  EXPECT_GT(r.Packets, r.Segments);
}

TEST(PreflightCounts, AMillionLinesTakeWellUnderASecond) {
  TempDir dir;
  {
    std::ofstream out(dir.Path() / "big.nc", std::ios::binary);
    out << "G20 G90\nG0 Z0.1\nG1 F30\n";
    char buf[64];
    for (int i = 0; i < 1000000; ++i) {
      int n = std::snprintf(buf, sizeof buf, "G1 X%.3f Y%.3f Z-0.010\n", 0.001 * (i % 2000), 0.01 * ((i / 2000) % 500));
      out.write(buf, n);
    }
  }
  // Processor time, so that other work on the machine does not count.
  const std::clock_t t0 = std::clock();
  auto r = PreflightJob(dir.Path() / "big.nc", Machine(false), PreflightStart{});
  const double seconds = static_cast<double>(std::clock() - t0) / CLOCKS_PER_SEC;
  EXPECT_TRUE(r.Ok());
  EXPECT_EQ(r.Lines, 1000003);
#if defined(NDEBUG) && !defined(__SANITIZE_ADDRESS__)
  EXPECT_LT(seconds, 1.0);
#else
  (void)seconds;
#endif
}

TEST(PreflightSpool, TargetsBeyondTheStepRangeAreRefused) {
  TempDir dir;
  const std::vector<SpoolRecord> records = {
      {kSpoolBorder, 0, 0, 1000, 1000}, {kSpoolZLimits, -200, 100}, {kSpoolRapidXY, 100, 100},
      {kSpoolLinear, 200, 200, INT32_MIN}, {kSpoolZFeed, INT32_MIN}, {kSpoolRapidXY, 2000000000, 0},
      {kSpoolArcCw, 0, 0, 1, 1},  // a fine arc in range
  };
  ASSERT_TRUE(WriteSpoolFile(dir.Path() / "job.vrj", records));
  auto r = PreflightJob(dir.Path() / "job.vrj", Machine(false), PreflightStart{});
  EXPECT_EQ(Refusals(r), Calls({"record 2: Long3 overflow", "record 3: Long3 overflow", "record 4: Long3 overflow"}));
}

struct NoFeeds : FeedSource {
  bool UseFeed() const override { return false; }
  int FeedIndex() const override { return 0; }
  int JobMode() const override { return 2; }
  double CurrentFeed() const override { return 1; }
  int SpoolXYFeed() const override { return 21; }
  int SpoolZFeed() const override { return 22; }
};

TEST(MetricMachine, TheMetricDefaultIsTheInchMachineInMillimetres) {
  TempDir dir;
  HomeDir home(dir.Path());
  NoFeeds feeds;
  ConfigState inch = Machine(false);
  ConfigState metric = Machine(false);
  ConvertConfigToMetric(metric.Config);
  SetMetricUnits(metric.Units);
  EXPECT_EQ(metric.Config.UnitsMode, 2);
  EXPECT_EQ(metric.Config.R_vel_max, 2032);
  EXPECT_NEAR(metric.Config.Tool_above_work, 9.144, 1e-9);
  SpeedTables inchTables(inch, home, feeds), metricTables(metric, home, feeds);
  (void)inchTables.BuildSpeedTable(100);
  (void)metricTables.BuildSpeedTable(100);
  // The same steps per second at every index: the metric table reads 25.4 times the number.
  for (int k : {1, 25, 50, 100}) EXPECT_NEAR(metricTables.VelTableX[k], inchTables.VelTableX[k] * 25.4, 26) << k;
  // So every configured speed picks the same index (give or take the rounding of the table),
  // and a 254 mm rapid is a 10 in rapid; the inch numbers read as mm/min were 25 times slower.
  EXPECT_NEAR(metricTables.SpeedIndexOf(metric.Config.Z_raise_vel), inchTables.SpeedIndexOf(inch.Config.Z_raise_vel), 1);
  EXPECT_NEAR(metricTables.SpeedIndexOf(metric.Config.Z_1st_drop), inchTables.SpeedIndexOf(inch.Config.Z_1st_drop), 1);
  EXPECT_NEAR(metricTables.VelocityIndexOf(metric.Config.R_vel_max), inchTables.VelocityIndexOf(inch.Config.R_vel_max),
              1);
}

// The travel and the link's packet rate.

// Many tiny collinear segments at a feed the planner keeps: far more packets per second
// than a link carries.
std::string TinySegments(int n) {
  std::ostringstream p;
  p << "G20 G90\nG0 X1 Y1 Z0.1\nG1 Z-0.01 F20\nG1 F300\n";
  for (int i = 1; i <= n; ++i) p << "X" << 1 + i * 0.001 << "\n";
  p << "G0 Z0.1\nM30\n";
  return p.str();
}

TEST(TravelCheck, RefusalNamesEveryAxisEndInTheJobsUnits) {
  ConfigState metric = Machine(true);
  metric.Travel.X = {true, -4000, 400000};  // -5.000 mm .. 500.000 mm
  metric.Travel.Y = {true, 0, 80000};
  metric.Travel.Z = {true, -800, 24000};  // 1.000 mm above home .. 30.000 mm below
  auto r = Preflight("G21 G90\nG0 X-54.25 Y10\nG1 Z-31 F100\nG0 Z2\n", metric);
  ASSERT_TRUE(r.Ok());
  EXPECT_EQ(TravelRefusals(r, metric), Calls({"Job leaves the travel: X min -54.250 mm is below -5.000 mm",
                                              "Job leaves the travel: Z min -31.000 mm is below -30.000 mm",
                                              "Job leaves the travel: Z max 2.000 mm is above 1.000 mm"}));

  // Inch, with the active work offset and a start away from home: relative moves add to
  // the machine's position, absolute ones to the offset.
  ConfigState inch = Machine(false);
  inch.Travel.X = {true, -400, 24000};  // -0.050 in .. 3.000 in
  inch.Travel.Y = {true, -400, 16000};
  PreflightStart start;
  start.MachineX = 1.0;
  start.StepX = 8000;
  start.OffsetX = 1.0;
  start.OffsetY = 1.5;
  EXPECT_EQ(TravelRefusals(Preflight("G20 G90\nG0 X1.5 Y0.6\n", inch, start), inch),
            Calls({"Job leaves the travel: Y max 2.100 in is above 2.000 in"}));
  EXPECT_EQ(TravelRefusals(Preflight("G20 G91\nG0 X2.25\n", inch, start), inch),
            Calls({"Job leaves the travel: X max 3.250 in is above 3.000 in"}));
  EXPECT_TRUE(TravelRefusals(Preflight("G20 G91\nG0 X1.75\n", inch, start), inch).empty());

  // No travel set, or a job that does not move: nothing to refuse.
  EXPECT_TRUE(TravelRefusals(Preflight("G20 G90\nG0 X-54\n", Machine(false)), Machine(false)).empty());
  EXPECT_TRUE(TravelRefusals(Preflight("G20\nM30\n", inch), inch).empty());
}

TEST(LinkRate, WarnsOnTheBusiestSectionWithTheFeedTheLinkSustains) {
  const ConfigState inch = Machine(false);
  const auto r = Preflight(TinySegments(3000), inch);
  ASSERT_TRUE(r.Ok());
  ASSERT_EQ(r.Busiest.Packets, kRateWindowPackets);
  const double need = r.Busiest.PacketsPerSec();
  EXPECT_GT(need, 1000.0);
  // The planner keeps 0.001 in segments well below the programmed F300.
  EXPECT_GT(r.Busiest.FeedPerMin(), 30.0);
  EXPECT_LT(r.Busiest.FeedPerMin(), 300.0);
  const Calls warning = LinkRateWarning(r, 600.0, inch.Units);
  ASSERT_EQ(warning.size(), 2u);
  const std::string where = "lines " + std::to_string(r.Busiest.FirstLine) + "-" + std::to_string(r.Busiest.LastLine);
  EXPECT_EQ(warning[0], "The job may outrun the link (the motion would stutter): " + where + " need " +
                            std::to_string(std::lround(need)) + " packets/s, the link carries 600");
  char sustained[32];
  std::snprintf(sustained, sizeof sustained, "%.1f", r.Busiest.FeedPerMin() * 600.0 / need);
  EXPECT_EQ(warning[1].substr(0, warning[1].find(" (planned")),
            "Feed the link sustains at " + where + ": " + sustained + " ipm");
  // A link fast enough, or not measured, says nothing.
  EXPECT_TRUE(LinkRateWarning(r, need + 1, inch.Units).empty());
  EXPECT_TRUE(LinkRateWarning(r, 0, inch.Units).empty());

  // The same moves at a slow feed need a fraction of the rate.
  std::string slow = TinySegments(3000);
  slow.replace(slow.find("F300"), 4, "F6");
  EXPECT_LT(Preflight(slow, inch).Busiest.PacketsPerSec(), need / 5);
}

}  // namespace
}  // namespace wendlar::testing
