// `wendlar-cli run` as a process against `wendlar-cli sim` on its pseudo-terminal, in real
// time: the whole program, the real serial path and the served controller together.
#include <gtest/gtest.h>

#include <csignal>
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
  const std::string path = server.StartServer({program, "sim"});
  ASSERT_FALSE(path.empty());

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

// A job run over the pseudo-terminal against a served controller, up to the moment the
// controller is doing it.
struct ServedRun {
  std::string program = CliProgram();
  ChildProcess server;
  ChildProcess run;
  TempDir home;
  std::string output;

  bool Start() {
    const std::string path = server.StartServer({program, "sim"}, ChildProcess::Errors::Discard);
    if (path.empty()) return false;
    if (!run.Start({program, "--home", home.Path().string(), "run", (ExamplesDir() / "demo.nc").string(), "--port",
                    path})) {
      return false;
    }
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (output.find("Running") == std::string::npos && std::chrono::steady_clock::now() < end) {
      output += run.ReadLine(500);
    }
    return output.find("Running") != std::string::npos;
  }
  // Milliseconds until the run has ended; its exit code in `code`.
  int64_t MsToExit(int& code) {
    const auto start = std::chrono::steady_clock::now();
    output += run.ReadAll(20000);
    code = run.Wait(5000);
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
  }
};

TEST(RunProcess, AControllerThatDiesOrHangsMidJobEndsTheRunWithinThreeSeconds) {
  if (CliProgram().empty()) GTEST_SKIP() << "wendlar-cli is not built";
  for (int hang : {0, 1}) {
    SCOPED_TRACE(hang ? "controller hangs" : "controller killed");
    ServedRun r;
    ASSERT_TRUE(r.Start()) << r.output;
    r.server.Signal(hang ? SIGSTOP : SIGKILL);
    int code = 0;
    const int64_t ms = r.MsToExit(code);
    // Two seconds of silence end the job, and the end takes well under a second more; the
    // bound leaves room for a loaded machine (the figures are in the stop benchmark's notes).
    EXPECT_LT(ms, 6000) << r.output;
    EXPECT_EQ(code, 1) << r.output;
    EXPECT_NE(r.output.find("Controller not responding"), std::string::npos) << r.output;
    EXPECT_EQ(r.output.find("Completed "), std::string::npos) << r.output;
    if (hang) r.server.Signal(SIGCONT);
  }
}

TEST(RunProcess, CtrlCEndsTheRunWithinASecondEvenWithADeadController) {
  if (CliProgram().empty()) GTEST_SKIP() << "wendlar-cli is not built";
  ServedRun r;
  ASSERT_TRUE(r.Start()) << r.output;
  r.server.Signal(SIGSTOP);
  r.run.Interrupt();
  int code = 0;
  const int64_t ms = r.MsToExit(code);
  // Well under a second on a quiet machine; the bound leaves room for a loaded one.
  EXPECT_LT(ms, 4000) << r.output;
  EXPECT_EQ(code, 1) << r.output;
  EXPECT_NE(r.output.find("Job not completed: stopped by Ctrl+C"), std::string::npos) << r.output;
  r.server.Signal(SIGCONT);
}

}  // namespace
}  // namespace wendlar::testing
