// Know before you cut: the travel question before Run, the link-rate warning after
// connecting, on the console and from `wendlar-cli`.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "support/ChildProcess.h"
#include "support/SimSystem.h"

namespace wendlar::testing {
namespace {

namespace fs = std::filesystem;

struct TravelOnSimulator : ::testing::Test {
  SimSystem rig;
  System& sys = *rig.sys;
  ConsoleState& s = sys.console.State;

  void SetUp() override { ASSERT_TRUE(rig.ConnectAndInitialise()); }

  void OpenGcode(const fs::path& file) {
    sys.consoleSettings.ChooseJobMode(2);
    rig.prompts.Paths.push_back(file.string());
    sys.run.OpenGcodeFile();
    ASSERT_TRUE(s.GcodeReady);
    rig.prompts.Asked.clear();  // the file chooser
  }
  bool RunToEnd() {
    sys.run.RunJob();
    return rig.RunUntil([&] { return !s.JobActive && !rig.sim.JobRunning(); }, 10 * 60 * 1000);
  }
  size_t Messages(const std::string& prefix) const {
    const auto& items = sys.console.View.Com_list.Items();
    return static_cast<size_t>(std::count_if(items.begin(), items.end(),
                                             [&](const std::string& m) { return m.rfind(prefix, 0) == 0; }));
  }
};

TEST_F(TravelOnSimulator, AJobBeyondTheTravelRunsOnlyOnRunAnyway) {
  sys.config.Travel.X = {true, -400, 1000};  // 0.125 in: the demo goes to X 1
  OpenGcode(ExamplesDir() / "demo.nc");
  const size_t tracedBefore = rig.sim.TraceRecords().size();
  rig.prompts.Answers = {false};
  sys.run.RunJob();
  ASSERT_EQ(rig.prompts.Asked.size(), 1u);
  EXPECT_EQ(rig.prompts.Asked[0], "run anyway/cancel: Job leaves the travel: X max 1.000 in is above 0.125 in");
  EXPECT_EQ(sys.console.View.Progress.Caption(), "Job cancelled: it leaves the travel");
  EXPECT_FALSE(s.JobActive);
  rig.RunMs(500);
  // Cancel sent nothing that moves the machine.
  for (size_t i = tracedBefore; i < rig.sim.TraceRecords().size(); ++i) {
    EXPECT_NE(rig.sim.TraceRecords()[i].bytes[0], 22) << "a segment after Cancel";
  }

  rig.prompts.Answers = {true};
  ASSERT_TRUE(RunToEnd());
  EXPECT_TRUE(sys.status.Run.JobCompleted);
  // Travel set: the "not checked" note never appears.
  EXPECT_EQ(Messages(kNoTravelText), 0u);
}

TEST_F(TravelOnSimulator, NoTravelIsSaidOnceAndTheLinkRateWarnsOnlyWhenTheJobOutrunsIt) {
  ASSERT_GT(sys.link.TransferPacketsPerSec, 100.0);
  OpenGcode(ExamplesDir() / "demo.nc");
  ASSERT_TRUE(sys.engines.PreflightJob());
  ASSERT_TRUE(sys.engines.PreflightJob());
  EXPECT_EQ(Messages(kNoTravelText), 1u);
  EXPECT_EQ(Messages("The job may outrun the link"), 0u);

  TempDir dir;
  {
    std::ofstream p(dir.Path() / "tiny.nc");
    p << "G20 G90\nG0 X1 Y1 Z0.1\nG1 Z-0.01 F20\nG1 F300\n";
    for (int i = 1; i <= 3000; ++i) p << "X" << 1 + i * 0.001 << "\n";
    p << "G0 Z0.1\nM30\n";
  }
  OpenGcode(dir.Path() / "tiny.nc");
  ASSERT_TRUE(sys.engines.PreflightJob());
  EXPECT_EQ(Messages("The job may outrun the link (the motion would stutter): lines "), 1u);
  EXPECT_EQ(Messages("Feed the link sustains at lines "), 1u);
  EXPECT_TRUE(rig.prompts.Asked.empty());
}

TEST(TravelCli, RunRefusesAJobBeyondTheTravelUnlessForced) {
  const std::string program = CliProgram();
  if (program.empty()) GTEST_SKIP() << "wendlar-cli is not built";
  TempDir home;
  const std::string demo = (ExamplesDir() / "demo.nc").string();
  auto cli = [&](std::vector<std::string> args, int& code) {
    args.insert(args.begin(), {program, "--home", home.Path().string()});
    ChildProcess p;
    EXPECT_TRUE(p.Start(args));
    const std::string output = p.ReadAll(120000);
    code = p.Wait(5000);
    return output;
  };
  int code = -1;
  EXPECT_EQ(cli({"travel"}, code), "No travel set (Travel.cfg)\n");
  EXPECT_EQ(code, 0);
  // No Travel.cfg: the simulated machine's own travel holds the demo.
  std::string out = cli({"run", demo, "--simulator", "--fast"}, code);
  EXPECT_EQ(code, 0) << out;
  EXPECT_EQ(out.find("Job leaves the travel"), std::string::npos) << out;

  EXPECT_EQ(cli({"travel", "--x=-400:1000", "--y", "0:16000"}, code), "X -400:1000\nY 0:16000\nZ not set\nW not set\n");
  EXPECT_EQ(code, 0);
  EXPECT_EQ(home.Read("Travel.cfg"), "X -400 1000\r\nY 0 16000\r\n");
  cli({"travel", "--z", "9:1"}, code);
  EXPECT_EQ(code, 2);
  EXPECT_EQ(home.Read("Travel.cfg"), "X -400 1000\r\nY 0 16000\r\n");

  out = cli({"run", demo, "--simulator", "--fast"}, code);
  EXPECT_EQ(code, 1) << out;
  EXPECT_NE(out.find("Job leaves the travel: X max 1.000 in is above 0.125 in\nJob refused: give --force to run it anyway"),
            std::string::npos)
      << out;
  out = cli({"run", demo, "--simulator", "--fast", "--force"}, code);
  EXPECT_EQ(code, 0) << out;
  EXPECT_NE(out.find("Running anyway (--force)"), std::string::npos) << out;
  EXPECT_NE(out.find("Job completed"), std::string::npos) << out;

  out = cli({"check", demo}, code);
  EXPECT_EQ(code, 1) << out;
  EXPECT_NE(out.find("Job leaves the travel: X max 1.000 in is above 0.125 in\nThe job is refused: it leaves the travel"),
            std::string::npos)
      << out;
}

}  // namespace
}  // namespace wendlar::testing
