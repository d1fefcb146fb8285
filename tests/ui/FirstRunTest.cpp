// A fresh install on the simulated controller: no machine file, no Spooler.cfg, no
// material.lst. The machine must behave as its default configuration says, a program's
// F words must rule, and the terminal must hear one line about it.
#include <gtest/gtest.h>

#include <QProcess>

#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "link/Commands.h"
#include "support/SimSystem.h"

namespace wendlar::testing {
namespace {

using sim::kZ;

struct FreshInstall : ::testing::Test {
  SimSystem rig;
  System& sys = *rig.sys;
  ConsoleView& v = sys.console.View;
  ConsoleState& s = sys.console.State;

  // b1 of the last option-flags record the controller accepted.
  int LastOptionFlags() const {
    int flags = -1;
    for (const auto& r : rig.Records()) {
      if (r[0] == 132) flags = r[1];
    }
    return flags;
  }

  void ZToSafeAndSettle() {
    sys.manual.Home.Z_2topMouseDown();
    sys.manual.Home.Z_2topMouseUp(MouseButton::Left);
    rig.RunMs(3000);
  }
};

// As `wendlar-cli run` starts without a Spooler.cfg: no settings file is read at all.
TEST_F(FreshInstall, WithoutAnySettingsFileTheDialogAndSafeHeightFollowTheDefaults) {
  ASSERT_TRUE(rig.ConnectAndInitialise());
  EXPECT_EQ(LastOptionFlags(), 0xC4) << "Auto_Spindle_Stop is 1 in the defaults";
  ZToSafeAndSettle();
  EXPECT_EQ(rig.sim.Position()[kZ], -2880) << "0.36\" up at 8 steps per 0.001\"";
  EXPECT_EQ(v.ZPOS.Caption(), "0.360\"");
}

// As the console starts: Spooler.cfg is missing, so DEFAULT.MAC is made and loaded.
TEST_F(FreshInstall, FirstStartWritesDefaultMacSaysSoOnceAndLetsTheProgramFeedRule) {
  (void)sys.environment.LoadEnvironment();
  EXPECT_EQ(rig.out.str(), "Created DEFAULT.MAC with the default machine configuration\n")
      << "no material-file error, nothing about a file nobody named";
  EXPECT_TRUE(std::filesystem::is_regular_file(rig.dir.Path() / "DEFAULT.MAC"));
  EXPECT_TRUE(std::filesystem::is_regular_file(rig.dir.Path() / "material.lst"));

  ASSERT_TRUE(rig.ConnectAndInitialise());
  EXPECT_EQ(LastOptionFlags(), 0xC4);
  EXPECT_FALSE(v.Use_feed.Checked());
  const int contourIndex = sys.tables.VelocityIndexOf(sys.config.Config.CV_Max);
  EXPECT_EQ(s.FeedIndex, contourIndex) << "the on-screen feed starts at the contour velocity";
  EXPECT_EQ(v.Feedlab.Caption(), std::to_string(sys.tables.VelTableX[static_cast<size_t>(contourIndex)]) + " ipm");

  // One inch at F60 takes about a second, not the quarter minute of the table's lowest feed.
  rig.dir.Write("inch.nc", "G20 G90\r\nG1 X1 F60\r\nM30\r\n");
  sys.consoleSettings.ChooseJobMode(2);
  rig.prompts.Paths.push_back((rig.dir.Path() / "inch.nc").string());
  sys.run.OpenGcodeFile();
  ASSERT_TRUE(s.GcodeReady);
  const int64_t startUs = rig.loop.NowUs();
  sys.run.RunJob();
  ASSERT_TRUE(rig.RunUntil([&] { return !s.JobActive && !rig.sim.JobRunning(); }, 60000));
  const double seconds = static_cast<double>(rig.loop.NowUs() - startUs) / 1e6;
  EXPECT_LT(seconds, 4.0);
  EXPECT_EQ(rig.sim.Position()[sim::kX], 8000);
}

TEST_F(FreshInstall, SettingsFilesThatFailToLoadNameTheFileAndLineOnStandardErrorAndTheMessageList) {
  std::ostringstream errors;
  sys.errors = &errors;
  rig.dir.Write("Spooler.cfg", "[port#]\r\n4\r\n[Spooler Dir]\r\n\r\n[Gcode Dir]\r\n\r\n[Screen Mode]\r\nsoon\r\n");
  (void)sys.environment.LoadEnvironment();
  const std::string expected = "DATA ERROR READING Spooler.cfg line 8: \"soon\" is not a number";
  EXPECT_EQ(errors.str().substr(0, expected.size() + 1), expected + "\n");
  ASSERT_FALSE(v.Com_list.Items().empty());
  EXPECT_EQ(v.Com_list.Items().front(), expected);
  bool onPanel = false;
  for (const Control* line : {&v.GCL1, &v.GCL2, &v.GCL3, &v.GCL4, &v.GCL5, &v.GCL6}) {
    onPanel = onPanel || line->Caption() == expected;
  }
  EXPECT_TRUE(onPanel) << "the code-line panel, where the operator reads it";
}

// The desktop program itself from an empty home folder, with a runtime folder the toolkit
// finds fault with: the terminal hears the one line about DEFAULT.MAC and nothing else.
TEST(FirstStart, TheConsoleSaysOneLineAndTheToolkitNothing) {
  const char* binaryDir = std::getenv("WENDLAR_BINARY_DIR");
  const std::filesystem::path program = binaryDir ? std::filesystem::path(binaryDir) / "src/app/wendlar" : "";
  if (program.empty() || !std::filesystem::exists(program)) GTEST_SKIP() << "wendlar is not built";
  TempDir home;
  TempDir runtime;
  std::filesystem::permissions(runtime.Path(), std::filesystem::perms(0755));
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_QPA_PLATFORM", "offscreen");
  env.insert("XDG_RUNTIME_DIR", QString::fromStdString(runtime.Path().string()));
  env.remove("WENDLAR_QT_MESSAGES");
  const std::string shot = (home.Path() / "first.png").string();
  QProcess p;
  p.setProcessEnvironment(env);
  p.start(QString::fromStdString(program.string()),
          {"--home", QString::fromStdString(home.Path().string()), "--screenshot", QString::fromStdString(shot)});
  ASSERT_TRUE(p.waitForFinished(60000));
  EXPECT_EQ(p.exitCode(), 0);
  EXPECT_EQ(p.readAllStandardError().toStdString(), "");
  EXPECT_EQ(p.readAllStandardOutput().toStdString(), "Created DEFAULT.MAC with the default machine configuration\n");
  EXPECT_TRUE(std::filesystem::is_regular_file(home.Path() / "DEFAULT.MAC"));
  EXPECT_TRUE(std::filesystem::is_regular_file(home.Path() / "material.lst"));
}

}  // namespace
}  // namespace wendlar::testing
