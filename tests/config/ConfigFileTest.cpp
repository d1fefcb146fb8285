#include <gtest/gtest.h>

#include <unistd.h>

#include "ConfigRig.h"

namespace wendlar {
namespace {

using testing::CrLf;

const std::vector<std::string> kDefaultFile = {
    "1",          "1000",       "1",          "1",          "80",         "10",         "50",
    "8.00000000", "8.00000000", "8.00000000", "4.00000000", "10",         "0",          "60",
    "80",         "0.250",      "0.360",      "240",        "210",        "1",          "10",
    "30",         "50",         "50",         "8000",       "24000",      "0",          "1",
    "25",         "30",         "0",          "1",          "0",          "30",         "0",
    "0",          "20",         "0.5000",     "0.5500",     "0",          "0.05000000", "5",
    "60",         "80",         "1",          "0",          "1.00000000", "0.10000000", "0.10000000",
    "0",          "",           "ONNNN",      "1.00000000", "1.00000000", "1.00000000", "1.00000000",
    "0.00000000", "0.00000000", "0.00000000", "0.00000000", "0",          "0.00000000", "0.00000000",
    "0.00000000", "0.00000000", "00000000",   "0.00000000", "0.00000000", "0.00000000", "00000000",
    "0.00000000", "0",          "0.0000",     "0.0000",     "1",          "1",          "1",
    "1",          "1",          "1",          "1",          "1",          "1",
};

class ConfigFileTest : public testing::ConfigRig {
 protected:
  ConfigFileTest() { SetDefaultConfig(state.Config); }

  // The default file with some lines (1-based) replaced.
  std::string DefaultWith(std::initializer_list<std::pair<int, std::string>> changes) const {
    auto lines = kDefaultFile;
    for (const auto& [lineNo, text] : changes) lines[static_cast<size_t>(lineNo - 1)] = text;
    return CrLf(lines);
  }

  ConfigLoad Load(const std::string& content, const std::string& name = "Test.MAC") {
    dir.Write(name, content);
    return LoadMachineConfig(state, name, io);
  }
};

TEST_F(ConfigFileTest, DefaultsSaveAsTheLiteralEightyThreeLines) {
  ASSERT_TRUE(SaveMachineConfig(state, "Default.MAC", io));
  EXPECT_EQ(dir.Read("Default.MAC"), CrLf(kDefaultFile));
  EXPECT_EQ(state.Config.UnitsMode, 1);
  EXPECT_TRUE(events.Messages.empty());
}

TEST_F(ConfigFileTest, SaveTakesUnitsAndCommentFromTheDialog) {
  state.Config.Comment = "stored comment";
  state.Dialog.InchSelected = false;
  state.Dialog.Comment = "typed\r\ncomment";  // a line break would shift every later line
  ASSERT_TRUE(SaveMachineConfig(state, "M.MAC", io));
  auto lines = SplitLines(dir.Read("M.MAC"));
  ASSERT_EQ(lines.size(), 83u);
  EXPECT_EQ(lines[44], "2");
  EXPECT_EQ(lines[50], "typedcomment");
  EXPECT_EQ(state.Config.UnitsMode, 2);
}

TEST_F(ConfigFileTest, LoadAppliesTheCorrectionsOfEachLine) {
  UnitState before = state.Units;
  EXPECT_EQ(Load(DefaultWith({{16, "25"}, {41, "3"}, {30, "11"}, {34, "22"}, {52, "1NNNN"},
                              {66, "garbage kept nowhere"}, {70, "X0"}, {45, "3"}, {51, "my router"},
                              {17, "0.5"}})),
            ConfigLoad::Loaded);
  EXPECT_DOUBLE_EQ(state.Config.Drop_pause, 0.25);
  EXPECT_DOUBLE_EQ(state.Config.Arc_rez, 0.05);
  EXPECT_EQ(state.Config.Zhome_vel, 22);
  EXPECT_EQ(state.Config.Option_flags5, "NNNNN");
  EXPECT_EQ(state.Config.Io_flags, "00000000");
  EXPECT_EQ(state.Config.UnitsMode, 3);
  EXPECT_EQ(state.Units.UnitsFactor, before.UnitsFactor);
  EXPECT_TRUE(state.Dialog.InchSelected);
  EXPECT_EQ(state.Dialog.Comment, "my router");
  EXPECT_DOUBLE_EQ(state.ToolAboveWorkNow, 0.5);
  EXPECT_EQ(events.Refreshes, 1);
  EXPECT_TRUE(events.Progress.empty());
  EXPECT_EQ(out.str(), "");

  // Values at the edge of each correction stay as read.
  ASSERT_EQ(Load(DefaultWith({{16, "5"}, {41, "2"}, {52, "ONNNN"}, {70, "X00"}})), ConfigLoad::Loaded);
  EXPECT_DOUBLE_EQ(state.Config.Drop_pause, 5.0);
  EXPECT_DOUBLE_EQ(state.Config.Arc_rez, 2.0);
  EXPECT_EQ(state.Config.Option_flags5, "ONNNN");
  EXPECT_EQ(state.Config.Io_flags, "X00");
}

TEST_F(ConfigFileTest, ALongDropPauseSurvivesSaveAndLoad) {
  // Only an old whole number is hundredths; what this program writes reads back as written,
  // or every save and load would cut a 10-second pause a hundredfold.
  for (const char* line16 : {"2400", "10.000"}) {
    ASSERT_EQ(Load(DefaultWith({{16, line16}})), ConfigLoad::Loaded);
    const double loaded = state.Config.Drop_pause;
    ASSERT_TRUE(SaveMachineConfig(state, "AGAIN.MAC", io));
    ASSERT_EQ(LoadMachineConfig(state, "AGAIN.MAC", io), ConfigLoad::Loaded);
    EXPECT_DOUBLE_EQ(state.Config.Drop_pause, loaded) << line16;
  }
  EXPECT_DOUBLE_EQ(state.Config.Drop_pause, 10.0);
}

TEST_F(ConfigFileTest, UnitsLineSelectsTheDialogChoiceAndTheUnitState) {
  ASSERT_EQ(Load(DefaultWith({{45, "2"}})), ConfigLoad::Loaded);
  EXPECT_FALSE(state.Dialog.InchSelected);
  EXPECT_EQ(state.Units.UnitsFactor, 100.0);
  EXPECT_EQ(state.Units.SpeedUnits, " mm/m");
  ASSERT_EQ(Load(DefaultWith({{45, "1"}})), ConfigLoad::Loaded);
  EXPECT_TRUE(state.Dialog.InchSelected);
  EXPECT_EQ(state.Units.UnitsFactor, 1000.0);
}

TEST_F(ConfigFileTest, IntegersKeepTheLowBitsOfTheirWidth) {
  ASSERT_EQ(Load(DefaultWith({{18, "300"}, {5, "70000"}, {6, "-1"}, {3, "  7 trailing words"}, {19, "239.6"}})),
            ConfigLoad::Loaded);
  EXPECT_EQ(state.Config.R_accel, 44);
  EXPECT_EQ(state.Config.R_vel_max, 70000 - 65536);
  EXPECT_EQ(state.Config.R_vel_start, 65535);
  EXPECT_EQ(state.Config.Rap_timer, 7);
  EXPECT_EQ(state.Config.Contour_accel, 239);  // the integer part is the value; the rest is ignored
}

TEST_F(ConfigFileTest, LoadAndSaveRoundTrip) {
  state.Config.Xscale = 12.5;
  state.Config.W_xof = -1.23456;
  state.Config.R_accel = 250;
  state.Config.Io_flags = "XX0ABCDE";
  state.Dialog.Comment = "bench mill";
  ASSERT_TRUE(SaveMachineConfig(state, "A.MAC", io));
  const std::string first = dir.Read("A.MAC");

  ConfigState other;
  ASSERT_EQ(LoadMachineConfig(other, "A.MAC", io), ConfigLoad::Loaded);
  EXPECT_EQ(other.Config.Xscale, 12.5);
  EXPECT_EQ(other.Config.W_xof, -1.2346);
  EXPECT_EQ(other.Config.Io_flags, "XX0ABCDE");
  EXPECT_EQ(other.Config.Comment, "bench mill");
  ASSERT_TRUE(SaveMachineConfig(other, "B.MAC", io));
  EXPECT_EQ(dir.Read("B.MAC"), first);
}

TEST_F(ConfigFileTest, RoundTripNormalisesReservedAndOptionLines) {
  ASSERT_EQ(Load(DefaultWith({{1, "7"}, {66, "12345678"}, {52, "1YYYY"}, {8, "8.5 steps"}})), ConfigLoad::Loaded);
  ASSERT_TRUE(SaveMachineConfig(state, "Out.MAC", io));
  auto lines = SplitLines(dir.Read("Out.MAC"));
  EXPECT_EQ(lines[0], "1");
  EXPECT_EQ(lines[7], "8.50000000");
  EXPECT_EQ(lines[51], "NNNNN");
  EXPECT_EQ(lines[65], "00000000");
}

TEST_F(ConfigFileTest, MissingFileFallsBackToTheDefaultFileWithoutRegardToCase) {
  dir.Write("default.mac", DefaultWith({{5, "99"}}));
  state.MacFileName = "Gone.MAC";
  EXPECT_EQ(LoadMachineConfig(state, "Gone.MAC", io), ConfigLoad::Loaded);
  EXPECT_EQ(out.str(), "Cannot Find CFG File .. loading Default.mac !!\n");
  EXPECT_EQ(state.Config.R_vel_max, 99);
  EXPECT_EQ(state.MacFileName, "Gone.MAC");
  EXPECT_EQ(events.Refreshes, 1);
}

TEST_F(ConfigFileTest, FirstStartWritesDefaultMacOnceAndLoadsIt) {
  state.Config.R_vel_max = 33;
  state.ToolAboveWorkNow = 0.0;
  EXPECT_EQ(LoadMachineConfig(state, "", io), ConfigLoad::Loaded);
  // Nothing was named, so nothing named is missing: one line says what happened.
  EXPECT_EQ(out.str(), "Created DEFAULT.MAC with the default machine configuration\n");
  EXPECT_EQ(dir.Read("DEFAULT.MAC"), CrLf(kDefaultFile));
  EXPECT_EQ(state.Config.R_vel_max, 80);
  EXPECT_DOUBLE_EQ(state.ToolAboveWorkNow, 0.36);
  EXPECT_EQ(events.Refreshes, 1);
  EXPECT_TRUE(events.LoadErrors.empty());

  out.str("");
  EXPECT_EQ(LoadMachineConfig(state, "Gone.MAC", io), ConfigLoad::Loaded);
  EXPECT_EQ(out.str(), "Cannot Find CFG File .. loading Default.mac !!\n");  // and no second "Created"
}

TEST_F(ConfigFileTest, DefaultMacThatExistsButCannotBeReadIsNotOverwritten) {
  std::filesystem::create_directory(dir.Path() / "DEFAULT.MAC");  // there, but no file to read
  state.Config.R_vel_max = 33;
  state.ToolAboveWorkNow = 9.0;
  EXPECT_EQ(LoadMachineConfig(state, "Gone.MAC", io), ConfigLoad::NotFound);
  EXPECT_EQ(out.str(),
            "Cannot Find CFG File .. loading Default.mac !!\n"
            "ERROR LOADING \"DEFAULT.MAC\"!!\n");
  EXPECT_EQ(state.Config.R_vel_max, 33);
  EXPECT_EQ(state.ToolAboveWorkNow, 9.0);
  EXPECT_EQ(events.Refreshes, 0);
}

TEST_F(ConfigFileTest, ReadOnlyFolderStillRunsOnTheDefaultsAndSaysWhy) {
  if (::geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
  std::filesystem::permissions(dir.Path(), std::filesystem::perms::owner_write, std::filesystem::perm_options::remove);
  state.Config.R_vel_max = 33;
  EXPECT_EQ(LoadMachineConfig(state, "", io), ConfigLoad::Loaded);
  std::filesystem::permissions(dir.Path(), std::filesystem::perms::owner_write, std::filesystem::perm_options::add);
  EXPECT_EQ(state.Config.R_vel_max, 80);
  ASSERT_EQ(events.LoadErrors.size(), 1u);
  EXPECT_NE(events.LoadErrors[0].find("Cannot create DEFAULT.MAC: the folder"), std::string::npos)
      << events.LoadErrors[0];
  EXPECT_NE(events.LoadErrors[0].find("read-only"), std::string::npos) << events.LoadErrors[0];
  EXPECT_EQ(out.str(), "");
}

TEST_F(ConfigFileTest, ShortFileKeepsWhatItReadAndThePreviousRest) {
  auto lines = kDefaultFile;
  lines[4] = "77";   // line 5
  lines[16] = "1.5";  // line 17
  lines.resize(20);   // ends after line 20
  state.Config.Jogfastvel = 123;
  EXPECT_EQ(Load(CrLf(lines)), ConfigLoad::DataError);
  EXPECT_EQ(state.Config.R_vel_max, 77);
  EXPECT_EQ(state.Config.Jogfastvel, 123);
  EXPECT_DOUBLE_EQ(state.ToolAboveWorkNow, 1.5);
  EXPECT_EQ(events.Progress, std::vector<std::string>{"DATA ERROR READING Test.MAC"});
  EXPECT_EQ(events.LoadErrors, std::vector<std::string>{"DATA ERROR READING Test.MAC line 21: the file ends before it"});
  EXPECT_EQ(events.Refreshes, 1);
}

TEST_F(ConfigFileTest, UnreadableLineEndsTheReading) {
  state.Config.CV_Max = 1;
  EXPECT_EQ(Load(DefaultWith({{6, "44"}, {12, "fast"}, {44, "66"}})), ConfigLoad::DataError);
  EXPECT_EQ(state.Config.R_vel_start, 44);
  EXPECT_EQ(state.Config.CV_Max, 1);
  EXPECT_EQ(events.Progress.back(), "DATA ERROR READING Test.MAC");
  EXPECT_EQ(events.LoadErrors.back(), "DATA ERROR READING Test.MAC line 12: \"fast\" is not a number");
}

TEST_F(ConfigFileTest, EmptyAndJunkFilesLoadNothingAndSaySo) {
  const MachineConfig before = state.Config;
  EXPECT_EQ(Load(""), ConfigLoad::DataError);
  EXPECT_EQ(Load(std::string("\x00\xff\x13\x89junk\n\x01\x02", 10)), ConfigLoad::DataError);
  EXPECT_EQ(state.Config.Cfg_line2, before.Cfg_line2);
  state.Config.Xscale = 3.0;
  EXPECT_EQ(Load(DefaultWith({{8, "1e999"}})), ConfigLoad::DataError);  // out of range is no number
  EXPECT_EQ(state.Config.Xscale, 3.0);
  EXPECT_EQ(events.Progress.size(), 3u);
}

TEST_F(ConfigFileTest, ScalesAndArcResolutionMustBeFiniteAndPositive) {
  state.Config.Xscale = 2.0;
  EXPECT_EQ(Load(DefaultWith({{8, "0"}, {9, "-4"}, {11, "0.0"}, {41, "-0.1"}, {10, "16"}, {44, "66"}})),
            ConfigLoad::DataError);
  EXPECT_EQ(state.Config.Xscale, 2.0);
  EXPECT_EQ(state.Config.Yscale, 8.0);
  EXPECT_EQ(state.Config.R_cal, 4.0);
  EXPECT_EQ(state.Config.Arc_rez, 0.05);
  EXPECT_EQ(state.Config.Zscale, 16.0);  // good lines around a refused one still load
  EXPECT_EQ(state.Config.CV_Max, 66);
  EXPECT_EQ(events.Progress, std::vector<std::string>{"DATA ERROR READING Test.MAC"});
  // The first refused line is named.
  EXPECT_EQ(events.LoadErrors,
            std::vector<std::string>{"DATA ERROR READING Test.MAC line 8: \"0\" refused: it must be a number above 0"});
}

TEST_F(ConfigFileTest, FallbackFileDataErrorNamesTheDefaultFile) {
  dir.Write("DEFAULT.MAC", "1\r\n");
  EXPECT_EQ(LoadMachineConfig(state, "missing.mac", io), ConfigLoad::DataError);
  EXPECT_EQ(events.Progress, std::vector<std::string>{"DATA ERROR READING Default.MAC"});
}

TEST_F(ConfigFileTest, SaveFailuresLeaveTheOldFileAndSayWhy) {
  std::string why;
  const std::string lost = (dir.Path() / "no such folder" / "x.MAC").string();
  EXPECT_FALSE(SaveMachineConfig(state, lost, io, &why));
  EXPECT_EQ(events.Messages, std::vector<std::string>{"Error creating config file"});
  EXPECT_EQ(why, "Error creating config file\n" + lost + ": the folder " + (dir.Path() / "no such folder").string() +
                     " does not exist");
  dir.Write("Old.MAC", "old");
  std::filesystem::create_directory(dir.Path() / "Old.MAC.tmp" += std::to_string(::getpid()));
  EXPECT_FALSE(SaveMachineConfig(state, "Old.MAC", io, &why));
  EXPECT_EQ(events.Messages.back(), "Error writing config file");
  EXPECT_EQ(why, "Error writing config file\nOld.MAC: Is a directory");
  EXPECT_EQ(dir.Read("Old.MAC"), "old");
}

}  // namespace
}  // namespace wendlar
