// The pre-flight against the machine's travel and the link's packet rate.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <sstream>

#include "config/ConfigFile.h"
#include "job/Preflight.h"
#include "support/TempDir.h"

namespace wendlar::testing {
namespace {

using Lines = std::vector<std::string>;

// 8 steps per 0.001 in, or per 0.01 mm on the metric machine.
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
  EXPECT_EQ(TravelRefusals(r, metric), Lines({"Job leaves the travel: X min -54.250 mm is below -5.000 mm",
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
            Lines({"Job leaves the travel: Y max 2.100 in is above 2.000 in"}));
  EXPECT_EQ(TravelRefusals(Preflight("G20 G91\nG0 X2.25\n", inch, start), inch),
            Lines({"Job leaves the travel: X max 3.250 in is above 3.000 in"}));
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
  const Lines warning = LinkRateWarning(r, 600.0, inch.Units);
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
