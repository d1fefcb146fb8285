// The probing subcommands of wendlar-cli as a user runs them: a scan on the simulator with
// its files, the conversion of a point file, and a touch-off that needs an answer.
#include <gtest/gtest.h>

#include "support/ChildProcess.h"
#include "support/TempDir.h"

namespace wendlar::testing {
namespace {

TEST(ProbeProcess, ScansOnTheSimulatorAndConvertsThePointsAgainToTheSameDrawing) {
  const std::string program = CliProgram();
  if (program.empty()) GTEST_SKIP() << "wendlar-cli is not built";
  TempDir home;
  const std::string dir = home.Path().string();
  ChildProcess scan;
  ASSERT_TRUE(scan.Start({program, "--home", dir, "probe", "--simulator", "--fast", "--x-size", "0.2", "--y-size",
                          "0.1", "--dxf", dir + "/scan.dxf", "--q3d", dir + "/scan.q3d"}));
  std::string output = scan.ReadAll(60000);
  ASSERT_EQ(scan.Wait(5000), 0) << output;
  EXPECT_NE(output.find("15/15 points"), std::string::npos) << output;
  EXPECT_NE(output.find("Done Probing"), std::string::npos) << output;
  EXPECT_NE(output.find("scan.dxf: 8 3DFACE entities"), std::string::npos) << output;
  ASSERT_TRUE(home.Exists("scan.q3d"));

  ChildProcess convert;
  ASSERT_TRUE(convert.Start({program, "probe-dxf", dir + "/PROBE.TMP", dir + "/again.dxf", "--q3d", dir + "/again.q3d"}));
  output = convert.ReadAll(30000);
  ASSERT_EQ(convert.Wait(5000), 0) << output;
  EXPECT_EQ(home.Read("again.dxf"), home.Read("scan.dxf"));
  EXPECT_EQ(home.Read("again.q3d"), home.Read("scan.q3d"));

  ChildProcess missing;
  ASSERT_TRUE(missing.Start({program, "probe-dxf", dir + "/none.tmp", dir + "/x.dxf"}));
  output = missing.ReadAll(30000);
  EXPECT_EQ(missing.Wait(5000), 2);
  EXPECT_NE(output.find("cannot read"), std::string::npos) << output;
}

TEST(ProbeProcess, TouchOffWithoutATerminalOrYesDoesNothing) {
  const std::string program = CliProgram();
  if (program.empty()) GTEST_SKIP() << "wendlar-cli is not built";
  TempDir home;
  ChildProcess touch;
  ASSERT_TRUE(touch.Start({program, "--home", home.Path().string(), "touch-off", "--simulator", "--fast"}));
  std::string output = touch.ReadAll(60000);
  EXPECT_EQ(touch.Wait(5000), 1) << output;
  EXPECT_NE(output.find("Tool Touch off, Are you sure ?"), std::string::npos) << output;
  EXPECT_NE(output.find("Nothing done."), std::string::npos) << output;

  ChildProcess corner;
  ASSERT_TRUE(corner.Start({program, "--home", home.Path().string(), "corner", "--simulator", "--fast", "--yes",
                            "--pad", "0.1", "--seek-vel", "20"}));
  output = corner.ReadAll(60000);
  EXPECT_EQ(corner.Wait(5000), 0) << output;
  EXPECT_NE(output.find("Corner found: X 0.000 Y 0.000 Z 0.500"), std::string::npos) << output;
}

}  // namespace
}  // namespace wendlar::testing
