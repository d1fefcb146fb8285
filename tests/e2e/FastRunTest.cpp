// `wendlar-cli run --simulator --fast` as a process: the machine time it reports is the
// job-time estimate, so it must not drift, and a long job must run in bounded memory.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cstdio>
#include <string>

#include "support/ChildProcess.h"
#include "support/TempDir.h"

namespace wendlar::testing {
namespace {

struct FastRun {
  int code = -1;
  std::string output;
  double machineSeconds = -1;
};

FastRun RunFast(const std::string& file, bool metric = false) {
  TempDir home;
  home.Write("Spooler.cfg", kJobFeedSettings);
  std::vector<std::string> args{"--home", home.Path().string(), "run", file, "--simulator", "--fast"};
  if (metric) args.push_back("--metric");
  const CliRun run = RunCli(args, 120000);
  return {run.code, run.output, NumberAfter(run.output, "Simulated machine time: ")};
}

// Short feeds in a zigzag, like the long programs that made memory grow with every line.
std::string ShortMoves(int lines) {
  std::string text = "G20 G90\nG0 Z0.1\nG1 F30\n";
  char line[96];
  for (int i = 0; i < lines; ++i) {
    std::snprintf(line, sizeof line, "G1 X%.4f Y%.4f Z%.4f F%d\n", 0.001 * (i % 2000), 0.01 * (i / 2000),
                  -0.01 * (i % 7), 30 + (i / 50) % 4);
    text += line;
  }
  return text;
}

// The machine time of a --fast run is the operator's job-time estimate: a faster loop must
// not move it by more than 0.1%, and a changed motion model shows up here.
TEST(FastRun, MachineTimeOfTheDemoJobsAndACorpusProgramStaysPut) {
  if (CliProgram().empty()) GTEST_SKIP() << "wendlar-cli is not built";
  struct Case {
    std::string file;
    bool metric;
    double seconds;
  };
  std::vector<Case> cases{{(ExamplesDir() / "demo.nc").string(), false, 23.5765},
                          {(ExamplesDir() / "demo.vrj").string(), false, 15.3986}};
  const auto corpus = CorpusDir();
  if (!corpus.empty()) cases.push_back({(corpus / "gs_toolmill_kb98.nc").string(), true, 375.742});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    const FastRun run = RunFast(c.file, c.metric);
    EXPECT_EQ(run.code, 0) << run.output;
    EXPECT_NEAR(run.machineSeconds, c.seconds, c.seconds * 0.001) << run.output;
  }
}

TEST(FastRun, ALongJobRunsInBoundedMemory) {
  if (CliProgram().empty()) GTEST_SKIP() << "wendlar-cli is not built";
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the address sanitizer's own memory makes a resident-set bound meaningless";
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
  GTEST_SKIP() << "the address sanitizer's own memory makes a resident-set bound meaningless";
#endif
#endif
  TempDir dir;
  dir.Write("long.nc", ShortMoves(30000));
  const FastRun run = RunFast((dir.Path() / "long.nc").string());
  ASSERT_EQ(run.code, 0) << run.output;
  // The largest child this test process has waited for: the run just made.
  rusage usage{};
  getrusage(RUSAGE_CHILDREN, &usage);
  EXPECT_LT(usage.ru_maxrss, 32 * 1024) << "peak resident set in KiB";
}

}  // namespace
}  // namespace wendlar::testing
