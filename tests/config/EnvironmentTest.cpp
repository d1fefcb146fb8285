#include <gtest/gtest.h>

#include "config/Environment.h"
#include "ConfigRig.h"

namespace wendlar {
namespace {

using testing::CrLf;

const std::string kExample =
    "[port#]\r\n4\r\n"
    "[Spooler Dir]\r\n/home/cnc/vrj\r\n"
    "[Gcode Dir]\r\n/home/cnc/nc\r\n"
    "[Screen Mode]\r\n2\r\n"
    "[Machine config file]\r\nRouter.MAC\r\n"
    "[Screen Feed]\r\n20\r\n"
    "[Screen Rpm]\r\n12000\r\n"
    "[CPU type]\r\n4\r\n"
    "[Top pos]\r\n40\r\n"
    "[Left pos]\r\n60\r\n"
    "[CHECK BOXS]\r\nYNYNNNNNNN\r\n"
    "[Last USB port]\r\n3\r\n"
    "[USB_Comp]\r\n2\r\n"
    "[blank]\r\n0\r\n"
    "[blank]\r\n0\r\n"
    "[blank]\r\n0\r\n";

class EnvironmentTest : public testing::ConfigRig {
 protected:
  EnvironmentTest() : setup(state, io, prompts, console, machine), envir(state, io, prompts, console, setup) {
    SetDefaultConfig(state.Config);
  }

  // Spooler.cfg with pair n's value replaced (1-based).
  std::string ExampleWith(std::initializer_list<std::pair<int, std::string>> changes) const {
    auto lines = SplitLines(kExample);
    for (const auto& [pair, text] : changes) lines[static_cast<size_t>(2 * pair - 1)] = text;
    return CrLf(lines);
  }

  TSetupmenu setup;
  TEnvir_setup envir;
};

TEST_F(EnvironmentTest, SavesTheExampleByteForByte) {
  envir.PortClick(4);
  envir.Gcode_scrClick();
  envir.RouterClick();
  console.RpmOn = false;
  envir.View.Spoolerfiles.SetCaption("/home/cnc/vrj");
  envir.View.Gcodefiles.SetCaption("/home/cnc/nc");
  state.MacFileName = "C:\\CNC\\Router.MAC";
  console.Feed = 20;
  console.Rpm = 12000;
  envir.CPU_ComboChange(3);
  console.Top = 40;
  console.Left = 60;
  envir.Env.LastUsbPort = 3;
  ASSERT_TRUE(envir.SaveEnvironment());
  EXPECT_EQ(dir.Read("Spooler.cfg"), kExample);
  EXPECT_EQ(envir.View.Form.Caption(), "C:\\CNC\\Router.MAC");
  EXPECT_EQ(envir.Env.CheckBoxFlags, "YNYNNNNNNN");
}

TEST_F(EnvironmentTest, LoadAppliesEveryPairAndLoadsTheMachineFile) {
  ConfigState router;
  SetDefaultConfig(router.Config);
  router.Config.R_vel_max = 66;
  router.Config.Jogfastvel = 44;
  ASSERT_TRUE(SaveMachineConfig(router, "Router.MAC", io));
  dir.Write("Spooler.cfg", kExample);

  EXPECT_TRUE(envir.LoadEnvironment());
  EXPECT_EQ(console.PortsSelected, std::vector<int>{4});
  EXPECT_TRUE(envir.View.Gcode_scr.Checked());
  EXPECT_EQ(console.ModesChosen, std::vector<int>{2});
  EXPECT_EQ(envir.View.Spoolerfiles.Caption(), "/home/cnc/vrj");
  EXPECT_EQ(state.MacFileName, "Router.MAC");
  EXPECT_EQ(state.Config.R_vel_max, 66);
  EXPECT_EQ(console.Feed, 20);
  EXPECT_EQ(console.Rpm, 12000);
  EXPECT_EQ(console.RpmCaption, "Rpm 12000");
  EXPECT_EQ(envir.Env.CpuType, 4);
  EXPECT_EQ(console.Top, 40);
  EXPECT_EQ(console.Left, 60);
  EXPECT_TRUE(console.FeedOn);
  EXPECT_FALSE(console.RpmOn);
  EXPECT_EQ(envir.Env.LastUsbPort, 3);
  EXPECT_EQ(console.JogSpeed, 44);  // jog mode 0: the fast speed
  EXPECT_EQ(setup.View.Min_rpm_lab.Caption(), "Minimum Spindle RPM (0V)");
  EXPECT_TRUE(events.Progress.empty());
  EXPECT_EQ(out.str(), "");
  envir.Show();
  EXPECT_EQ(envir.View.CPU_Combo.Position(), 3);
}

TEST_F(EnvironmentTest, DelayDivisorPositionAndFlagRules) {
  const std::pair<std::string, int> divisors[] = {{"3", 2}, {"10", 10}, {"4", 4}, {"junk", 2}};
  for (const auto& [text, expected] : divisors) {
    dir.Write("Spooler.cfg", ExampleWith({{13, text}}));
    (void)envir.LoadEnvironment();
    EXPECT_EQ(envir.Env.UsbDelayDivisor, expected) << text;
  }

  console.Top = 7;
  console.Left = 9;
  envir.PlasmaClick();  // a plasma machine stays one when the flags name neither type
  dir.Write("Spooler.cfg", ExampleWith({{9, "0"}, {10, "0"}, {11, "NNNNNNNNNN"}}));
  (void)envir.LoadEnvironment();
  EXPECT_EQ(console.Top, 7);
  EXPECT_EQ(console.Left, 9);
  EXPECT_FALSE(console.FeedOn);
  EXPECT_FALSE(console.RpmOn);
  EXPECT_EQ(envir.Env.PlasmaMode, 1);
  EXPECT_EQ(setup.View.Min_rpm_lab.Caption(), "Plasma Voltage Min  ");
  EXPECT_EQ(setup.View.Max_rpm_lab.Caption(), "Plasma Voltage Max  ");

  dir.Write("Spooler.cfg", ExampleWith({{11, "NNYNYY"}}));
  (void)envir.LoadEnvironment();
  EXPECT_EQ(envir.Env.RouterMode, 1);
  EXPECT_EQ(envir.Env.PlasmaMode, 0);
  EXPECT_TRUE(envir.Env.AutoScan);
  EXPECT_TRUE(envir.Env.UseLastPort);
}

TEST_F(EnvironmentTest, FeedIndexStaysInsideTheSpeedTable) {
  const std::tuple<std::string, int, int> cases[] = {
      {"300", 0, 44},   // low 8 bits
      {"0", 250, 1},    // never below 1
      {"255", 250, 250},
      {"255", 0, 100},  // table size unknown: the smaller table
  };
  for (const auto& [text, steps, expected] : cases) {
    console.Steps = steps;
    dir.Write("Spooler.cfg", ExampleWith({{6, text}}));
    (void)envir.LoadEnvironment();
    EXPECT_EQ(console.Feed, expected) << text << " " << steps;
  }
}

TEST_F(EnvironmentTest, FirstStartLetsTheJobFeedRuleAndStillLoadsAMachineFile) {
  console.Rpm = 8000;
  EXPECT_FALSE(envir.LoadEnvironment());
  EXPECT_EQ(out.str(), "Created DEFAULT.MAC with the default machine configuration\n");
  EXPECT_EQ(state.Config.R_vel_max, 80);
  EXPECT_FALSE(console.FeedOn) << "a program's F words rule until the operator chooses the on-screen feed";
  EXPECT_EQ(console.Feed, 0) << "no feed index chosen: the contour velocity's index is taken once the table exists";
  EXPECT_TRUE(console.PortsSelected.empty());
  EXPECT_EQ(console.RpmCaption, "Rpm 8000");
  EXPECT_TRUE(events.Progress.empty());

  // The operator's choice is kept from then on.
  console.FeedOn = true;
  console.Feed = 42;
  ASSERT_TRUE(envir.SaveEnvironment());
  console.FeedOn = false;
  EXPECT_TRUE(envir.LoadEnvironment());
  EXPECT_TRUE(console.FeedOn);
  EXPECT_EQ(console.Feed, 42);
}

TEST_F(EnvironmentTest, ShortAndJunkFilesLoadWhatTheyCan) {
  console.Feed = 5;
  console.Rpm = 100;
  auto lines = SplitLines(ExampleWith({{6, "fast"}}));
  lines.resize(14);  // pairs 1 to 7; the check-box flags are never reached
  dir.Write("Spooler.cfg", CrLf(lines));
  EXPECT_FALSE(envir.LoadEnvironment());
  EXPECT_EQ(console.PortsSelected, std::vector<int>{4});
  EXPECT_EQ(console.Mode, 2);
  EXPECT_EQ(console.Feed, 5);
  EXPECT_EQ(console.Rpm, 12000);
  EXPECT_TRUE(console.FeedOn);
  EXPECT_TRUE(console.RpmOn);
  EXPECT_EQ(envir.Env.UsbDelayDivisor, 2);
  EXPECT_EQ(events.Progress.front(), "DATA ERROR READING Spooler.cfg");
  EXPECT_EQ(events.LoadErrors.front(), "DATA ERROR READING Spooler.cfg line 12: \"fast\" is not a number");

  events.Progress.clear();
  dir.Write("Spooler.cfg", std::string("\x7f\x00\x01junk", 7));
  EXPECT_FALSE(envir.LoadEnvironment());
  EXPECT_EQ(events.Progress.front(), "DATA ERROR READING Spooler.cfg");
  dir.Write("Spooler.cfg", "");
  EXPECT_FALSE(envir.LoadEnvironment());
}

TEST_F(EnvironmentTest, WindowHandlers) {
  prompts.Paths.push_back("/srv/jobs");
  envir.GcodeBrowseClick();
  EXPECT_EQ(envir.View.Gcodefiles.Caption(), "/srv/jobs");
  envir.SpoolBrowseClick();  // cancelled
  EXPECT_EQ(envir.View.Spoolerfiles.Caption(), "");

  envir.PortClick(2);
  EXPECT_TRUE(envir.View.Port2.Checked());
  EXPECT_FALSE(envir.View.USB_port.Checked());
  envir.CPU_ComboChange(1);
  EXPECT_EQ(envir.Env.CpuType, 2);
  envir.Quorlex_scrClick();
  EXPECT_EQ(console.Mode, 1);
  EXPECT_TRUE(envir.View.Quorlex_scr.Checked());
  EXPECT_FALSE(envir.View.Gcode_scr.Checked());
  envir.CloseBtnClick();
  EXPECT_EQ(console.TopRestored, 1);

  setup.SaveEnvironment = [this] { (void)envir.SaveEnvironment(); };
  setup.MakedefaultClick();
  EXPECT_EQ(SplitLines(dir.Read("Spooler.cfg"))[1], "2");
}

TEST_F(EnvironmentTest, TheWindowShowsTheModeTheFileMenuChose) {
  envir.Quorlex_scrClick();
  console.Mode = 2;  // "Gcode Mode" from the console's File menu
  envir.Show();
  EXPECT_TRUE(envir.View.Gcode_scr.Checked());
  EXPECT_FALSE(envir.View.Quorlex_scr.Checked());
  console.Mode = 1;
  envir.Show();
  EXPECT_TRUE(envir.View.Quorlex_scr.Checked());
  EXPECT_FALSE(envir.View.Gcode_scr.Checked());
}

TEST_F(EnvironmentTest, SaveSetupThatCannotWriteSaysWhy) {
  std::filesystem::create_directory(dir.Path() / "Spooler.cfg");
  envir.SaveSetupClick();
  ASSERT_EQ(prompts.Asked.size(), 1u);
  EXPECT_EQ(prompts.Asked[0], "warning: Cannot save Spooler.cfg: " + (dir.Path() / "Spooler.cfg").string() + " is a folder");
}

}  // namespace
}  // namespace wendlar
