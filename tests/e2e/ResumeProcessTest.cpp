// A host killed mid-job, in real time over a pseudo-terminal: `wendlar-cli run --resume` goes
// on from the line the journal holds, sends every line from there exactly once and none
// before it, and completes.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <chrono>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

#include "core/HomeDir.h"
#include "support/ChildProcess.h"
#include "support/TempDir.h"
#include "system/JobJournal.h"

namespace wendlar::testing {
namespace {

using Clock = std::chrono::steady_clock;

// Lines 4 to kLastCut each feed X on by (20 + line) thousandths of an inch: 8 steps per
// thousandth, so every line's segment has an X length no other line has.
constexpr int kLastCut = 43;

std::string StepProgram() {
  std::ostringstream p;
  p << "G20 G90 G17\nG0 X0 Y0 Z0.1\nG1 Z-0.01 F20\n";
  int x = 0;
  for (int line = 4; line <= kLastCut; ++line) {
    x += 20 + line;
    char text[48];
    std::snprintf(text, sizeof text, "G1 X%.3f F10\n", x / 1000.0);
    p << text;
  }
  p << "G0 Z0.1\nM30\n";
  return p.str();
}

// The program line of each segment packet in a stretch of the trace ("in  S316..." lines).
std::vector<int> SegmentLines(const std::vector<std::string>& trace, size_t from, size_t to) {
  std::vector<int> lines;
  for (size_t i = from; i < to; ++i) {
    const auto at = trace[i].find(" in  S316");
    if (at == std::string::npos) continue;
    const std::string hex = trace[i].substr(at + 9);
    const int ax = std::stoi(hex.substr(0, 2), nullptr, 16) + 256 * std::stoi(hex.substr(2, 2), nullptr, 16);
    const int az = std::stoi(hex.substr(8, 2), nullptr, 16) + 256 * std::stoi(hex.substr(10, 2), nullptr, 16);
    if (az == 0 && ax > 0) lines.push_back(ax / 8 - 20);
  }
  return lines;
}

TEST(ResumeProcess, AHostKilledMidJobResumesAtTheJournalledLineAndSendsTheRestOnce) {
  const std::string program = CliProgram();
  if (program.empty()) GTEST_SKIP() << "wendlar-cli is not built";
  TempDir home;
  home.Write("steps.nc", StepProgram());
  const std::string job = (home.Path() / "steps.nc").string();
  const std::string tracePath = (home.Path() / "trace.txt").string();
  ChildProcess sim;
  const std::string device =
      sim.StartServer({program, "sim", "--trace", tracePath}, ChildProcess::Errors::Discard, ChildProcess::Input::Pipe);
  ASSERT_FALSE(device.empty());

  ChildProcess first;
  ASSERT_TRUE(first.Start({program, "--home", home.Path().string(), "run", job, "--port", device}));
  // Killed once the machine is well into the cutting lines.
  const HomeDir dir(home.Path());
  const auto end = Clock::now() + std::chrono::seconds(90);
  while (Clock::now() < end) {
    const JournalRead read = ReadJournal(dir);
    if (read.State == JournalState::Open && read.Job.Line >= 12) break;
    (void)first.ReadAll(200);
  }
  first.Signal(SIGKILL);
  (void)first.Wait(5000);
  const JournalRead killed = ReadJournal(dir);
  ASSERT_EQ(killed.State, JournalState::Open) << home.Read("Journal.lst");
  const int resumeLine = killed.Job.Line;
  ASSERT_GE(resumeLine, 12);
  ASSERT_LT(resumeLine, kLastCut) << "the job ended before the kill";

  // A controller powered up since (another simulator) has lost the job's position: without
  // a terminal to confirm the machine was homed, nothing is resumed, from the journal or
  // from a line given by hand, and the journal stays.
  for (const std::vector<std::string>& from : {std::vector<std::string>{"--resume"},
                                               std::vector<std::string>{"--from-line", std::to_string(resumeLine)}}) {
    ChildProcess fresh;
    const std::string freshDevice = fresh.StartServer({program, "sim"}, ChildProcess::Errors::Discard, ChildProcess::Input::Pipe);
    ASSERT_FALSE(freshDevice.empty());
    std::vector<std::string> args = {program, "--home", home.Path().string(), "run", job, "--port", freshDevice};
    args.insert(args.end(), from.begin(), from.end());
    ChildProcess refused;
    ASSERT_TRUE(refused.Start(args));
    const std::string said = refused.ReadAll(60000);
    EXPECT_EQ(refused.Wait(5000), 1) << from[0] << "\n" << said;
    EXPECT_NE(said.find("The controller was powered up or reset since the job ran"), std::string::npos) << said;
    EXPECT_NE(said.find("run: not resumed"), std::string::npos) << said;
    EXPECT_EQ(ReadJournal(dir).Job.Line, resumeLine);
    fresh.Interrupt();
    (void)fresh.Wait(5000);
  }

  ChildProcess again;
  ASSERT_TRUE(again.Start({program, "--home", home.Path().string(), "run", job, "--port", device, "--resume"}));
  const std::string output = again.ReadAll(120000);
  EXPECT_EQ(again.Wait(5000), 0) << output;
  EXPECT_NE(output.find("Resume " + job + " from line " + std::to_string(resumeLine) + " (last executed)"),
            std::string::npos)
      << output;
  EXPECT_NE(output.find("Job completed"), std::string::npos) << output;
  EXPECT_EQ(ReadJournal(dir).State, JournalState::Completed);
  sim.Interrupt();
  (void)sim.Wait(5000);

  // Each run's job starts at its clear-program-counter record.
  std::vector<std::string> trace;
  std::ifstream in(tracePath);
  for (std::string line; std::getline(in, line);) trace.push_back(line);
  std::vector<size_t> starts;
  for (size_t i = 0; i < trace.size(); ++i) {
    if (trace[i].find(" in  S304") != std::string::npos) starts.push_back(i);
  }
  ASSERT_EQ(starts.size(), 2u);
  const std::vector<int> before = SegmentLines(trace, starts[0], starts[1]);
  const std::vector<int> resumed = SegmentLines(trace, starts[1], trace.size());
  std::map<int, int> sent;
  for (int line : resumed) ++sent[line];
  for (int line = 4; line <= kLastCut; ++line) {
    EXPECT_EQ(sent[line], line < resumeLine ? 0 : 1) << "line " << line << " sent again after the kill";
  }
  EXPECT_EQ(resumed.size(), static_cast<size_t>(kLastCut - resumeLine + 1));
  // The killed run had sent the journalled line and everything before it, each once.
  std::map<int, int> firstSent;
  for (int line : before) ++firstSent[line];
  for (int line = 4; line <= resumeLine; ++line) EXPECT_EQ(firstSent[line], 1) << "line " << line;
}

}  // namespace
}  // namespace wendlar::testing
