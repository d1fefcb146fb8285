// `wendlar-cli run` as a process against `wendlar-cli sim` on its pseudo-terminal, in real
// time: the whole program, the real serial path and the served controller together.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "support/ChildProcess.h"
#include "support/TempDir.h"

namespace wendlar::testing {
namespace {

TEST(RunProcess, DemoJobCompletesOverThePseudoTerminalInRealTime) {
  const std::string program = CliProgram();
  if (program.empty()) GTEST_SKIP() << "wendlar-cli is not built";
  ChildProcess server;
  ASSERT_TRUE(server.Start({program, "sim"}));
  const std::string path = server.ReadLine(5000);
  ASSERT_EQ(path.rfind("/dev/", 0), 0u) << path;

  TempDir home;
  ChildProcess run;
  ASSERT_TRUE(run.Start({program, "--home", home.Path().string(), "run", (ExamplesDir() / "demo.vrj").string(),
                         "--port", path}));
  const std::string output = run.ReadAll(240000);
  const int code = run.Wait(5000);
  EXPECT_EQ(code, 0) << output;
  EXPECT_NE(output.find("Completed "), std::string::npos) << output;
  EXPECT_NE(output.find("Job completed"), std::string::npos) << output;
  EXPECT_NE(home.Read("History.lst").find("Completed "), std::string::npos);
}

TEST(RunProcess, CtrlCStopsTheMachineAndTheRunEndsNotCompleted) {
  const std::string program = CliProgram();
  if (program.empty()) GTEST_SKIP() << "wendlar-cli is not built";
  ChildProcess run;
  TempDir home;
  ASSERT_TRUE(run.Start({program, "--home", home.Path().string(), "run", (ExamplesDir() / "demo.nc").string(),
                         "--simulator"}));
  std::string output;
  // Wait until the job is under way, then interrupt.
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (output.find("Running") == std::string::npos && std::chrono::steady_clock::now() < end) {
    output += run.ReadLine(500);
  }
  ASSERT_NE(output.find("Running"), std::string::npos) << output;
  run.Interrupt();
  output += run.ReadAll(30000);
  const int code = run.Wait(5000);
  EXPECT_EQ(code, 1) << output;
  EXPECT_NE(output.find("Interrupted: stopping the machine."), std::string::npos) << output;
  EXPECT_NE(output.find("Job not completed: stopped by Ctrl+C"), std::string::npos) << output;
  EXPECT_NE(output.find("Fault history:"), std::string::npos) << output;
}

}  // namespace
}  // namespace wendlar::testing
