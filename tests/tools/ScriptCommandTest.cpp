// `wendlar-cli script` as a process: the echo of every line, the machine's final position
// and the exit status for a finished, a refused and a stopped script.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "support/ChildProcess.h"
#include "support/TempDir.h"

namespace wendlar::testing {
namespace {

struct Outcome {
  int code = -1;
  std::string output;
};

Outcome RunCli(const TempDir& home, std::vector<std::string> args) {
  Outcome o;
  ChildProcess cli;
  args.insert(args.begin(), {CliProgram(), "--home", home.Path().string(), "script"});
  if (!cli.Start(args, ChildProcess::Errors::Discard)) return o;
  o.output = cli.ReadAll(60000);
  o.code = cli.Wait(5000);
  return o;
}

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(ScriptCommand, RunsTheExampleAndOneLineOnTheSimulator) {
  if (CliProgram().empty()) GTEST_SKIP() << "wendlar-cli is not built";
  TempDir home;
  const Outcome square = RunCli(home, {(ExamplesDir() / "square.QMF").string(), "--simulator"});
  EXPECT_EQ(square.code, 0) << square.output;
  EXPECT_TRUE(Has(square.output, "HM_Z\nHMXY\nMXYA(1,1)\nMZ_R -0.25\nMXYR(4,0)\n")) << square.output;
  EXPECT_TRUE(Has(square.output, "Position: X 0.500\"  Y 0.500\"  Z -0.100\"\n")) << square.output;

  const Outcome line = RunCli(home, {"--line", "MXYA(1.5,2.25)", "--simulator"});
  EXPECT_EQ(line.code, 0) << line.output;
  EXPECT_TRUE(Has(line.output, "MXYA(1.5,2.25)\nPosition: X 1.500\"  Y 2.250\"  Z 0.000\"\n")) << line.output;
}

TEST(ScriptCommand, ANumberErrorEndsTheRunWithStatusOneAndAMissingFileWithTwo) {
  if (CliProgram().empty()) GTEST_SKIP() << "wendlar-cli is not built";
  TempDir home;
  home.Write("bad.QMF", "MXYA(1,1)\r\nMZ_R\r\nMXYA(2,2)\r\n");
  const Outcome bad = RunCli(home, {(home.Path() / "bad.QMF").string(), "--simulator"});
  EXPECT_EQ(bad.code, 1) << bad.output;
  EXPECT_TRUE(Has(bad.output, "MXYA(1,1)\nMZ_R\nnumber error\nPosition: X 1.000\"")) << bad.output;
  EXPECT_FALSE(Has(bad.output, "MXYA(2,2)")) << bad.output;

  const Outcome missing = RunCli(home, {(home.Path() / "none.QMF").string(), "--simulator"});
  EXPECT_EQ(missing.code, 2) << missing.output;
  EXPECT_FALSE(Has(missing.output, "Position:")) << missing.output;
}

TEST(ScriptCommand, CtrlCStopsTheMachineAndTheRestOfTheScript) {
  if (CliProgram().empty()) GTEST_SKIP() << "wendlar-cli is not built";
  ChildProcess server;
  ASSERT_TRUE(server.Start({CliProgram(), "sim"}));
  const std::string device = server.ReadLine(5000);
  ASSERT_EQ(device.rfind("/dev/", 0), 0u) << device;

  TempDir home;
  home.Write("far.QMF", "MXYA(40,30)\r\nMXYA(0,0)\r\n");
  ChildProcess run;
  ASSERT_TRUE(run.Start({CliProgram(), "--home", home.Path().string(), "script",
                         (home.Path() / "far.QMF").string(), "--port", device}));
  std::string output;
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!Has(output, "MXYA(40,30)") && std::chrono::steady_clock::now() < end) output += run.ReadLine(500) + "\n";
  ASSERT_TRUE(Has(output, "MXYA(40,30)")) << output;
  run.Interrupt();
  output += run.ReadAll(30000);
  EXPECT_EQ(run.Wait(5000), 1) << output;
  EXPECT_TRUE(Has(output, "Interrupted: stopping the machine.")) << output;
  EXPECT_TRUE(Has(output, "Script stopped")) << output;
  EXPECT_FALSE(Has(output, "MXYA(0,0)")) << output;
  // Stopped on the way, short of the first move's end.
  EXPECT_TRUE(Has(output, "Position: X ")) << output;
  EXPECT_FALSE(Has(output, "Position: X 40.000\"")) << output;
}

}  // namespace
}  // namespace wendlar::testing
