// Inputs that would expand into an absurd amount of work (or numbers no integer holds): an
// arc from a huge centre word, a circle at the finest resolution, a hole of a million pecks.
#include <gtest/gtest.h>

#include <chrono>

#include "config/ConfigFile.h"
#include "job/Preflight.h"
#include "support/TempDir.h"

namespace wendlar::testing {
namespace {

using Calls = std::vector<std::string>;

ConfigState InchMachine() {
  ConfigState config;
  SetDefaultConfig(config.Config);
  config.Config.UnitsMode = 1;
  SetInchUnits(config.Units);
  config.ToolAboveWorkNow = config.Config.Tool_above_work;
  return config;
}

PreflightResult Check(const std::string& name, const std::string& content, const ConfigState& config = InchMachine()) {
  TempDir dir;
  dir.Write(name, content);
  return PreflightJob(dir.Path() / name, config, PreflightStart{});
}

TEST(WorkBounds, AnArcWithAHugeCentreWordIsRefusedAsOutOfRange) {
  // I with 124 zeros: its chord count was converted from a double no integer holds.
  auto r = Check("job.nc", "G20 G90\nG1 F10\nG2 X0 Y0 I1" + std::string(124, '0') + " J0\nG3 X0 Y0 I-1" + std::string(60, '0') + " J5\n");
  EXPECT_EQ(RefusalLines(r, 10), Calls({"line 3: Long3 overflow", "line 4: Long3 overflow"}));
  EXPECT_EQ(r.Packets, 0);
}

TEST(WorkBounds, AFullCircleAtTheFinestResolutionStaysWithinSixteenThousandChords) {
  auto config = InchMachine();
  config.Config.Arc_rez = 0.0005;  // the finest the reader takes: one step per chord
  const auto t0 = std::chrono::steady_clock::now();
  auto r = Check("job.nc", "G20 G90\nG0 X0 Y0\nG2 X0 Y0 I20 J0 F10\nG2 X0 Y0 I500 J0\n", config);
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0).count();
  ASSERT_TRUE(r.Ok()) << RefusalLines(r, 3).front();
  EXPECT_EQ(r.Arcs, 2);
  // A turn in 16384 chords leaves each within a fraction of a step of the circle; a million
  // chords (what the resolution alone gave) only multiplied packets.
  EXPECT_GT(r.Packets, 16000);
  EXPECT_LT(r.Packets, 2 * 16400);
  EXPECT_EQ(r.Limits.XMax, 1000000);  // the big circle still reaches its far side
  EXPECT_LT(ms, 2000);
}

TEST(WorkBounds, AHoleOfMoreThanAThousandPecksIsRefusedInGcodeAndSpoolerJobs) {
  auto g = Check("job.nc",
                 "G20 G90\nG0 Z0.2\n"
                 "G83 X1 Y1 Z-2 R0.1 Q0.001 F5\n"   // 2100 pecks
                 "G83 X2 Y1 Z-250 R0 Q0.25 F5\n"    // 1000 pecks: the most
                 "G73 X3 Y1 Z-10 R0.1 Q0.002 F5\n"  // 5050 pecks
                 "G0 Z0.2\n");
  EXPECT_EQ(RefusalLines(g, 10), Calls({"line 3: Error more than 1000 pecks in one hole",
                                         "line 5: Error more than 1000 pecks in one hole"}));
  EXPECT_EQ(g.DrillCycles, 1);

  // A few records once made 64 million packets: depth 8 000 000 file units in pecks of one.
  TempDir dir;
  ASSERT_TRUE(WriteSpoolFile(dir.Path() / "job.vrj", {{kSpoolBorder, 0, 0, 1000, 1000},
                                                      {kSpoolZLimits, -200, 100},
                                                      {kSpoolPeck, 100, 100, 1000000, 1},
                                                      {kSpoolPeck, 100, 100, -1000, -1},  // the most
                                                      {kSpoolPeck, 100, 100, 1000000, 0}}));  // in one
  const auto t0 = std::chrono::steady_clock::now();
  auto s = PreflightJob(dir.Path() / "job.vrj", InchMachine(), PreflightStart{});
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0).count();
  EXPECT_EQ(RefusalLines(s, 10), Calls({"record 1: Error more than 1000 pecks in one hole"}));
  EXPECT_LT(s.Packets, 5000);
  EXPECT_LT(ms, 1000);
}

}  // namespace
}  // namespace wendlar::testing
