#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "config/ConfigFile.h"
#include "job/SpoolFile.h"
#include "RecordingMachine.h"
#include "support/TempDir.h"

namespace wendlar::testing {
namespace {

using Lines = std::vector<std::string>;

std::string Bytes(std::initializer_list<int> bytes) {
  std::string s;
  for (int b : bytes) s.push_back(static_cast<char>(b));
  return s;
}

TEST(SpoolRecords, LittleEndianSignedFieldsAndText) {
  SpoolRecord r{16, 1, -2, 0x01020304, INT32_MIN};
  EXPECT_EQ(EncodeSpoolRecords({r}), Bytes({16, 0, 0, 0, 1, 0, 0, 0, 0xFE, 0xFF, 0xFF, 0xFF, 4, 3, 2, 1, 0, 0, 0, 0x80}));
  EXPECT_EQ(r.Text(), "16 1 -2 16909060 -2147483648");
}

TEST(SpoolRecords, APartialLastRecordIsNotARecord) {
  TempDir dir;
  std::string bytes = EncodeSpoolRecords({{10, 1, 2, 0, 0}, {16, 3, 4, 5, 0}});
  dir.Write("job.vrj", bytes + bytes.substr(0, 19));
  SpoolReader reader;
  ASSERT_TRUE(reader.Open(dir.Path() / "job.vrj"));
  SpoolRecord r;
  std::vector<SpoolRecord> read;
  while (reader.Read(r)) read.push_back(r);
  EXPECT_EQ(read, (std::vector<SpoolRecord>{{10, 1, 2, 0, 0}, {16, 3, 4, 5, 0}}));
}

TEST(SpoolRecords, Labels) {
  EXPECT_EQ(SpoolRecordLabel({60, 0}), "Spindle On 1");
  EXPECT_EQ(SpoolRecordLabel({60, 1}), "Spindle On 2");
  EXPECT_EQ(SpoolRecordLabel({80, 30, 2}), "Set Z Feed rate 30");
  EXPECT_EQ(SpoolRecordLabel({80, 45, 1}), "Set XY Feed rate 45");
  EXPECT_EQ(SpoolRecordLabel({61, 12000}), "Set RPM12000");
  EXPECT_EQ(SpoolRecordLabel({51, 2}), "Change Tool 2");
  EXPECT_EQ(SpoolRecordLabel({72, 1}), "Aux 1 On 1");
  EXPECT_EQ(SpoolRecordLabel({73, 0}), "Aux 2 On 0");
  EXPECT_EQ(SpoolRecordLabel({45}), "Tangental angle");
  EXPECT_EQ(SpoolRecordLabel({26}), "");
  EXPECT_EQ(SpoolRecordLabel({999}), "");
  EXPECT_EQ(SpoolLayerText({0, 3}), "Current Layer 3");
}

struct SpoolRig {
  TempDir dir;
  ConfigState config;
  RecordingMachine m;
  RunFlags flags;
  SpoolJob job;

  explicit SpoolRig(bool metric = false) {
    SetDefaultConfig(config.Config);
    if (metric) SetMetricUnits(config.Units); else SetInchUnits(config.Units);
    config.ToolAboveWorkNow = 0.36;
  }
  bool Open(const std::vector<SpoolRecord>& records) {
    dir.Write("job.vrj", EncodeSpoolRecords(records));
    return OpenSpoolJob(dir.Path() / "job.vrj", job, config, m, flags);
  }
};

TEST(SpoolOpen, HeaderGivesTheDrawingLimitsAndWorkTop) {
  SpoolRig rig;
  rig.flags.AbortRun = 1;
  ASSERT_TRUE(rig.Open({{4, -1500, 0, 12250, 8000}, {5, -250, 500}, {10, 1, 2}}));
  EXPECT_EQ(rig.m.CodeLines, Lines({"Drawing Limits", "X min -1.500\" max 12.250\"", "Y min 0.000\" max 8.000\"",
                                    "Z top 0.250\" bot -0.500\""}));
  EXPECT_EQ(rig.job.WorkTopZ, 0.25);
  EXPECT_DOUBLE_EQ(rig.config.ToolAboveWorkNow, 0.25 + 0.36);
  EXPECT_EQ(rig.m.Calls, Lines({"Cmd 12"}));
  EXPECT_TRUE(rig.m.RunEnabled);
  EXPECT_EQ(rig.flags.AbortRun, 0);
  EXPECT_EQ(rig.job.RecordText, "5 -250 500 0 0");
  SpoolRecord r;
  ASSERT_TRUE(rig.job.Reader.Read(r));
  EXPECT_EQ(r.Kind, 10);  // the engine goes on after the header
}

TEST(SpoolOpen, MetricLimitsHaveNoUnitMark) {
  SpoolRig rig(true);
  ASSERT_TRUE(rig.Open({{4, 0, -5, 100000, 25}, {5, 0, 1000}}));
  EXPECT_EQ(rig.m.CodeLines, Lines({"Drawing Limits", "X min 0.00 max 1000.00", "Y min -0.05 max 0.25",
                                    "Z top 0.00 bot -10.00"}));
}

TEST(SpoolOpen, ZTopAboveZeroInFileTermsIsClampedToZero) {
  SpoolRig rig;
  ASSERT_TRUE(rig.Open({{4, 0, 0, 1, 1}, {5, 100, 200}}));
  EXPECT_EQ(rig.job.Limits.ZTop, 0);
  EXPECT_EQ(rig.job.Limits.ZBot, -200);
  EXPECT_EQ(rig.job.WorkTopZ, 0);
  EXPECT_DOUBLE_EQ(rig.config.ToolAboveWorkNow, 0.36);
}

TEST(SpoolOpen, MissingHeaderKeepsZeroLimitsAndTheOldHeights) {
  SpoolRig rig;
  rig.config.ToolAboveWorkNow = 1.5;
  ASSERT_TRUE(rig.Open({{10, 5, 5}, {16, 1, 1, 1}, {13}}));
  EXPECT_EQ(rig.job.Limits.XMax, 0);
  EXPECT_EQ(rig.config.ToolAboveWorkNow, 1.5);
  SpoolRecord r;
  ASSERT_TRUE(rig.job.Reader.Read(r));
  EXPECT_EQ(r.Kind, 13);  // both header places were consumed

  SpoolRig empty;
  ASSERT_TRUE(empty.Open({}));
  EXPECT_EQ(empty.m.CodeLines[1], "X min 0.000\" max 0.000\"");
}

TEST(SpoolOpen, UnreadableFileShowsIoError) {
  SpoolRig rig;
  EXPECT_FALSE(OpenSpoolJob(rig.dir.Path() / "missing.vrj", rig.job, rig.config, rig.m, rig.flags));
  EXPECT_EQ(rig.m.RunButton, "I/O error");
  EXPECT_FALSE(rig.m.RunEnabled);
  EXPECT_TRUE(rig.m.CodeLines.empty());
  EXPECT_FALSE(OpenSpoolJob(rig.dir.Path(), rig.job, rig.config, rig.m, rig.flags));  // a folder
}

TEST(SpoolWrite, WrittenFileReadsBack) {
  TempDir dir;
  std::vector<SpoolRecord> records = {{4, 0, 0, 10, 10}, {5, 0, 0}, {30, 1, 2, 3, 4}, {-7, INT32_MAX, 0, 0, -1}};
  ASSERT_TRUE(WriteSpoolFile(dir.Path() / "out.vrj", records));
  EXPECT_EQ(dir.Read("out.vrj").size(), 80u);
  SpoolReader reader;
  ASSERT_TRUE(reader.Open(dir.Path() / "out.vrj"));
  SpoolRecord r;
  std::vector<SpoolRecord> back;
  while (reader.Read(r)) back.push_back(r);
  EXPECT_EQ(back, records);

  // A file that cannot be written says why.
  std::string why;
  EXPECT_FALSE(WriteSpoolFile(dir.Path() / "no-folder" / "out.vrj", records, &why));
  EXPECT_EQ(why, "No such file or directory");
  std::filesystem::create_directory(dir.Path() / "taken.vrj");
  EXPECT_FALSE(WriteSpoolFile(dir.Path() / "taken.vrj", records, &why));
  EXPECT_EQ(why, "it is a folder");
}

}  // namespace
}  // namespace wendlar::testing
