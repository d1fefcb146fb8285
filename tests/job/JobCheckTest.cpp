#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "config/ConfigFile.h"
#include "job/JobCheck.h"
#include "job/Preflight.h"
#include "job/SpoolFile.h"
#include "support/TempDir.h"

namespace wendlar::testing {
namespace {

namespace fs = std::filesystem;

fs::path ExamplesDir() {
  const char* source = std::getenv("WENDLAR_SOURCE_DIR");
  return (source != nullptr ? fs::path(source) : fs::current_path()) / "examples";
}

// The demo spooler job, inch file units (0.001 in): the same one-inch rounded square, hole
// and outputs as demo.nc.
std::vector<SpoolRecord> DemoJob() {
  return {
      {kSpoolBorder, 0, 0, 1000, 1000},
      {kSpoolZLimits, -200, 100},
      {kSpoolLayerStart, 1},
      {kSpoolFeed, 40, 1},
      {kSpoolFeed, 20, 2},
      {kSpoolSpindleOn, 0},
      {kSpoolSetRpm, 12000},
      {kSpoolDwell, 500},
      {kSpoolRapidXY, 250, 0},
      {kSpoolLowerZ},
      {kSpoolZFeed, -50},
      {kSpoolContourStart},
      {kSpoolLinear, 750, 0, -50},
      {kSpoolArcCcw, 750, 250, 1000, 250},
      {kSpoolLinear, 1000, 750, -50},
      {kSpoolArcCcw, 750, 750, 750, 1000},
      {kSpoolLinear, 250, 1000, -50},
      {kSpoolArcCcw, 250, 750, 0, 750},
      {kSpoolLinear, 0, 250, -50},
      {kSpoolArcCcw, 250, 250, 250, 0},
      {kSpoolContourEnd},
      {kSpoolZRaise},
      {kSpoolAux1, 1},
      {kSpoolRapidXY, 500, 500},
      {kSpoolPeck, 0, 0, 100, 50},
      {kSpoolAux1, 0},
      {kSpoolSpindleOff},
      {kSpoolRapidXY, 0, 0},
      {kSpoolLayerEnd},
  };
}

TEST(Examples, DemoSpoolJobIsTheWrittenOne) {
  const fs::path file = ExamplesDir() / "demo.vrj";
  // WENDLAR_WRITE_EXAMPLES=1 regenerates the file after DemoJob changed.
  if (std::getenv("WENDLAR_WRITE_EXAMPLES") != nullptr) {
    ASSERT_TRUE(WriteSpoolFile(file, DemoJob()));
  }
  std::ifstream in(file, std::ios::binary);
  ASSERT_TRUE(in) << file;
  std::ostringstream bytes;
  bytes << in.rdbuf();
  EXPECT_EQ(bytes.str(), EncodeSpoolRecords(DemoJob()));
}

std::string Check(const fs::path& file, bool metric, bool& ok) {
  std::ostringstream out;
  CheckOptions options;
  options.Metric = metric;
  ok = CheckJobFile(file, options, out);
  return out.str();
}

TEST(Check, DemoProgram) {
  bool ok = false;
  // Segments: four quarter arcs of 0.25" in 31 chords and their ends (128), a 0.2" circle in
  // 100 chords and its end (101), six straight feeds. Packets add the 18 direct commands.
  EXPECT_EQ(Check(ExamplesDir() / "demo.nc", false, ok),
            "Checking demo.nc as a G-code program, inch configuration\n"
            "Drawing Limits\n"
            "X min 0.000\" max 1.000\"\n"
            "Y min 0.000\" max 1.000\"\n"
            "Z top 0.200\" bot -0.100\"\n"
            "Lines 30\n"
            "Rapids 7\n"
            "Feeds 6\n"
            "Arcs 5\n"
            "Drilling cycles 1\n"
            "Segments 235\n"
            "Packets 253\n"
            "Messages 0\n"
            "Refused 0\n"
            "No travel set: the job's extents are not checked\n"
            "The job runs to its end\n");
  EXPECT_TRUE(ok);
}

TEST(Check, DemoSpoolJob) {
  bool ok = false;
  // The buffer reset of the opening, 20 direct commands (the peck of two: 8 Z moves) and
  // 20 segments: four quarter arcs in 3 chords and their ends, four straight feeds.
  EXPECT_EQ(Check(ExamplesDir() / "demo.vrj", false, ok),
            "Checking demo.vrj as a spooler job, inch configuration\n"
            "Drawing Limits\n"
            "X min 0.000\" max 1.000\"\n"
            "Y min 0.000\" max 1.000\"\n"
            "Z top 0.200\" bot -0.100\"\n"
            "Records 27\n"
            "Rapids 3\n"
            "Feeds 4\n"
            "Arcs 4\n"
            "Drilling cycles 1\n"
            "Segments 20\n"
            "Packets 41\n"
            "Messages 0\n"
            "Refused 0\n"
            "No travel set: the job's extents are not checked\n"
            "The job runs to its end\n");
  EXPECT_TRUE(ok);
}

TEST(Check, DemoProgramOnAMetricMachineIsRefused) {
  bool ok = true;
  const std::string out = Check(ExamplesDir() / "demo.nc", true, ok);
  EXPECT_NE(out.find("Messages 1\n"
                     "  line 4: Imperial Gcode file found\n"
                     "Refused 1\n"
                     "  line 4: Change to Imperial config\n"
                     "The job is refused\n"),
            std::string::npos)
      << out;
  EXPECT_FALSE(ok);
}

TEST(Check, MissingFile) {
  TempDir dir;
  bool ok = true;
  EXPECT_EQ(Check(dir.Path() / "none.nc", false, ok),
            "Checking none.nc as a G-code program, inch configuration\n"
            "I/O error\n"
            "The job cannot be read: " + (dir.Path() / "none.nc").string() + ": No such file or directory\n");
  EXPECT_FALSE(ok);
}

// Every real program is either read to its end (its last line, or M2/M30) with nothing
// refused, or refused with the line and a message for each construct it cannot run as written.
TEST(Check, CorpusSweep) {
  const fs::path corpus = CorpusDir();
  if (corpus.empty()) GTEST_SKIP() << "no G-code corpus beside the repository";
  int files = 0, refused = 0;
  for (const auto& entry : fs::directory_iterator(corpus)) {
    if (entry.path().extension() == ".tsv") continue;
    std::ifstream in(entry.path(), std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const int64_t lines = std::count(text.begin(), text.end(), '\n') + (text.empty() || text.back() == '\n' ? 0 : 1);
    // The program's own units where it names them; metric otherwise.
    const bool inch = text.find("G20") != std::string::npos || text.find("g20") != std::string::npos;
    ConfigState config;
    SetDefaultConfig(config.Config);
    config.Config.UnitsMode = 1;
    SetInchUnits(config.Units);
    if (!inch) {
      ConvertConfigToMetric(config.Config);
      SetMetricUnits(config.Units);
    }
    config.ToolAboveWorkNow = config.Config.Tool_above_work;
    const PreflightResult r = PreflightJob(entry.path(), config, PreflightStart{});
    ASSERT_TRUE(r.Opened) << entry.path();
    EXPECT_LE(r.Lines, lines) << entry.path();  // M2 or M30 may end it early
    for (const JobRefusal& refusal : r.Refusals) {
      EXPECT_GT(refusal.Line, 0) << entry.path();
      EXPECT_LE(refusal.Line, lines) << entry.path();
      EXPECT_FALSE(refusal.Text.empty()) << entry.path();
    }
    refused += r.Ok() ? 0 : 1;
    ++files;
  }
  EXPECT_GE(files, 30);
  EXPECT_GT(refused, 0);
  EXPECT_LT(refused, files);
}

}  // namespace
}  // namespace wendlar::testing
