// The job's machine time before it runs, and its time left while it runs: the estimate is a
// run on simulated time, so it must agree with the same job run in real time.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <regex>
#include <string>
#include <thread>

#include "job/JobCheck.h"
#include "job/Preflight.h"
#include "support/ChildProcess.h"
#include "support/SimSystem.h"
#include "support/TempDir.h"
#include "system/JobTimeEstimate.h"

namespace wendlar::testing {
namespace {

// `check` prints the estimate; the same job run in real time on the simulated controller
// takes that long to within 2%.
TEST(JobTime, TheEstimateAgreesWithTheRunInRealTime) {
  if (CliProgram().empty()) GTEST_SKIP() << "wendlar-cli is not built";
  struct Case {
    std::string file;
    bool metric;
  };
  std::vector<Case> cases{{(ExamplesDir() / "demo.vrj").string(), false}, {(ExamplesDir() / "demo.nc").string(), false}};
  if (!CorpusDir().empty()) cases.push_back({(CorpusDir() / "gs_byte135_inch.nc").string(), false});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    const std::string check = RunCli({"check", c.file}, 120000).output;
    const double estimate = NumberAfter(check, "Machine time: about ");
    ASSERT_GT(estimate, 0) << check;
    const double seconds = NumberAfter(check, "s (");
    ASSERT_GT(seconds, 0) << check;

    TempDir home;
    home.Write("Spooler.cfg", kJobFeedSettings);
    const std::string run = RunCli({"--home", home.Path().string(), "run", c.file, "--simulator"}, 180000).output;
    const double real = NumberAfter(run, "Simulated machine time: ");
    ASSERT_GT(real, 0) << run;
    EXPECT_NEAR(seconds, real, real * 0.02) << check << run;
  }
}

// The console: the loaded job's time beside its name, a bar while it is estimated, elapsed
// and remaining time during the run, the estimate again after it; a reload of the same file
// does not estimate again, and a refused job has no time.
TEST(JobTime, TheConsoleShowsTheEstimateAndTheTimeLeft) {
  SimSystem rig;
  System& sys = *rig.sys;
  ConsoleView& v = sys.console.View;
  sys.jobClock.SetEnabled(true);
  ASSERT_TRUE(rig.ConnectAndInitialise());
  sys.consoleSettings.ChooseJobMode(2);
  const std::string demo = (ExamplesDir() / "demo.nc").string();
  ASSERT_TRUE(sys.run.PrepareGcodeFile(demo));
  EXPECT_EQ(v.Job_time.Caption(), "Estimating time");
  EXPECT_TRUE(v.Estimate_bar.Visible());

  // The estimate runs on its own thread in real time; the console takes it at a Clock tick.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (sys.jobClock.Estimating() && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  rig.RunMs(250);
  ASSERT_TRUE(sys.jobClock.Estimate().has_value());
  ASSERT_TRUE(sys.jobClock.Estimate()->Ok) << sys.jobClock.Estimate()->Failure;
  EXPECT_EQ(v.Job_time.Caption(), "about 24 s");
  EXPECT_FALSE(v.Estimate_bar.Visible());
  EXPECT_EQ(v.Job_time.Hint().rfind(
                "Machine time on the simulated controller: 23.6 s\nDrawing Limits\nX min 0.000\" max 1.000\"\nY min", 0),
            0u)
      << v.Job_time.Hint();
  EXPECT_NE(v.Job_time.Hint().find("\nPackets 253"), std::string::npos) << v.Job_time.Hint();

  // During the run the time left falls as the machine works through the job.
  sys.run.RunJob();
  std::vector<std::string> seen;
  const std::regex running(R"(\d\d:\d\d, \d\d:\d\d left)");
  ASSERT_TRUE(rig.RunUntil(
      [&] {
        const std::string caption = v.Job_time.Caption();
        if (std::regex_match(caption, running) && (seen.empty() || seen.back() != caption)) seen.push_back(caption);
        return !sys.console.State.JobActive;
      },
      120000));
  ASSERT_GE(seen.size(), 3u);
  EXPECT_EQ(seen.front().substr(0, 5), "00:00");
  auto left = [](const std::string& caption) { return std::stoi(caption.substr(7, 2)) * 60 + std::stoi(caption.substr(10, 2)); };
  const int firstLeft = left(seen.front());
  const int lastLeft = left(seen.back());
  EXPECT_GE(firstLeft, 20);
  EXPECT_LE(lastLeft, 3);
  rig.RunMs(400);
  EXPECT_EQ(v.Job_time.Caption(), "about 24 s");

  // Run prepares the same file again: the estimate stands.
  ASSERT_TRUE(sys.run.PrepareGcodeFile(demo));
  EXPECT_FALSE(sys.jobClock.Estimating());
  EXPECT_EQ(v.Job_time.Caption(), "about 24 s");

  TempDir dir;
  dir.Write("refused.nc", "G20 G90\nG1 X1 F10\nG10 L2 P1 X0\nG1 X2\n");
  ASSERT_TRUE(sys.run.PrepareGcodeFile((dir.Path() / "refused.nc").string()));
  while (sys.jobClock.Estimating() && std::chrono::steady_clock::now() < deadline + std::chrono::seconds(30)) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  rig.RunMs(250);
  EXPECT_EQ(v.Job_time.Caption(), "Time not known");
  EXPECT_EQ(v.Job_time.Hint(), "No estimate: the job is refused");
}

// Every corpus program the reader takes runs whole on the simulated machine, in its own units:
// to its end, or stopped by the simulated machine's travel, never by anything else.
TEST(JobTime, EveryCorpusProgramTheReaderTakesRunsOnTheSimulator) {
  const std::filesystem::path corpus = CorpusDir();
  if (corpus.empty()) GTEST_SKIP() << "no G-code corpus beside the repository";
  int ran = 0, overtravel = 0;
  const std::atomic<bool> never{false};
  for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
    if (entry.path().extension() == ".tsv") continue;
    SCOPED_TRACE(entry.path().filename().string());
    std::ifstream in(entry.path(), std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    CheckOptions options;
    options.Metric = text.find("G20") == std::string::npos && text.find("g20") == std::string::npos;
    JobTimeRequest request;
    request.File = entry.path();
    request.Config = CheckConfig(options);
    if (!PreflightJob(entry.path(), request.Config, PreflightStart{}).Ok()) continue;
    const JobTimeEstimate estimate = EstimateJobTime(request, nullptr, never);
    if (estimate.Ok) {
      ++ran;
      EXPECT_GT(estimate.Profile.TotalUs, 0);
    } else {
      ++overtravel;
      EXPECT_EQ(estimate.Failure.rfind("the job ends early: Overtravel", 0), 0u) << estimate.Failure;
    }
  }
  EXPECT_GE(ran, 15);
  EXPECT_LE(overtravel, 3);
}

// The time left is read from where the machine is in the job; the profile stays small
// however long the job, and the words round to what an operator reads at a glance.
TEST(JobTime, ProfileAndWords) {
  JobTimeProfile profile;
  profile.TotalUs = 100'000'000;
  for (int32_t line = 1; line <= 10000; ++line) profile.Note(line, int64_t{line} * 10'000);
  profile.Note(5, 1);  // a line behind the last is not noted
  EXPECT_LE(profile.Samples.size(), 4096u);
  EXPECT_EQ(profile.RemainingUs(0), 100'000'000);
  EXPECT_NEAR(static_cast<double>(profile.RemainingUs(5000)), 50e6, 0.05e6);
  EXPECT_EQ(profile.RemainingUs(20000), 0);

  EXPECT_EQ(AboutDuration(40'400'000), "about 40 s");
  EXPECT_EQ(AboutDuration(12 * 60'000'000LL + 29'000'000), "about 12 min");
  EXPECT_EQ(AboutDuration((84 * 60 + 10) * 1'000'000LL), "about 1 h 24 min");

  // Cancelled at once: no estimate, and no wait for the job.
  JobTimeEstimator estimator;
  JobTimeRequest request;
  request.File = ExamplesDir() / "demo.nc";
  estimator.Start(request);
  estimator.Cancel();
  EXPECT_FALSE(estimator.Running());
  EXPECT_FALSE(estimator.TakeResult().has_value());
}

}  // namespace
}  // namespace wendlar::testing
