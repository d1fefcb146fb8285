#include "system/JobTimeEstimate.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ostream>
#include <sstream>

#include "core/Prompts.h"
#include "core/VirtualEventLoop.h"
#include "link/serial/InProcessSerialPort.h"
#include "job/Preflight.h"
#include "sim/SimController.h"
#include "system/System.h"

namespace wendlar {

namespace {

constexpr int64_t kEstimateReadyWaitMs = 60000;
constexpr int64_t kWaitSliceMs = 1000;
// Machine time between two looks at where the simulated machine is.
constexpr int kSampleMs = 100;
constexpr size_t kMostSamples = 4096;
// A job that has not ended after this much machine time is not going to.
constexpr int64_t kLongestJobMs = int64_t{7} * 24 * 3600 * 1000;

// A program directory of its own, removed with it.
class ScratchDir {
 public:
  ScratchDir() {
    std::error_code ec;
    std::string pattern = (std::filesystem::temp_directory_path(ec) / "wendlar-estimate-XXXXXX").string();
    if (ec) pattern = "/tmp/wendlar-estimate-XXXXXX";
    if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~ScratchDir() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  [[nodiscard]] const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// Output nobody reads.
class NullBuffer : public std::streambuf {
 protected:
  int overflow(int c) override { return c; }
};

JobTimeEstimate Failed(std::string why) {
  JobTimeEstimate e;
  e.Failure = std::move(why);
  return e;
}

}  // namespace

int64_t JobTimeProfile::RemainingUs(int32_t line) const {
  // The last sample at or before the line: the machine reached it no earlier than that.
  auto after = std::upper_bound(Samples.begin(), Samples.end(), line,
                                [](int32_t l, const std::pair<int32_t, int64_t>& s) { return l < s.first; });
  const int64_t reached = after == Samples.begin() ? 0 : std::prev(after)->second;
  return std::max<int64_t>(0, TotalUs - reached);
}

void JobTimeProfile::Note(int32_t line, int64_t us) {
  if (line <= 0 || (!Samples.empty() && line <= Samples.back().first)) return;
  Samples.emplace_back(line, us);
  if (Samples.size() < kMostSamples) return;
  // Every other sample goes: the profile stays small however long the job.
  size_t kept = 0;
  for (size_t i = 0; i < Samples.size(); i += 2) Samples[kept++] = Samples[i];
  Samples.resize(kept);
}

JobTimeEstimate EstimateJobTime(const JobTimeRequest& request, const std::function<void(double)>& progress,
                                const std::atomic<bool>& cancel) {
  ScratchDir dir;
  if (dir.Path().empty()) return Failed("no scratch folder for the estimate");
  NullBuffer nullBuffer;
  std::ostream quiet(&nullBuffer);
  UnattendedPrompts prompts;

  VirtualEventLoop loop;
  sim::SimOptions options;
  options.traceLimit = 64;  // nobody reads the trace of an estimate
  sim::SimController sim(loop, options);
  InProcessSerialPort port(loop);
  port.Attach(kFirstDevicePort, sim, "simulated controller");
  System sys(loop, port, prompts, HomeDir(dir.Path()), quiet);
  sys.errors = &quiet;
  sys.flags.StopSignal = &cancel;
  // This host estimates nothing itself.
  sys.jobClock.SetEnabled(false);
  sys.config = request.Config;
  sys.offsets = request.Offsets;
  sys.consoleSettings.SetUseFeed(request.UseFeed);
  sys.consoleSettings.SetFeedIndex(request.FeedIndex);
  sys.console.StartClock();

  if (sys.connection.ConnectController(kFirstDevicePort) != kConnectOk) return Failed("the simulated controller did not answer");
  const bool ready = loop.WaitUntil(
      [&] { return (sys.console.View.Progress.Caption() == "Ready" && !sys.console.State.Initialising) || cancel.load(); },
      kEstimateReadyWaitMs);
  if (cancel.load()) return Failed("cancelled");
  if (!ready) return Failed("the simulated controller was not initialised");

  sys.consoleSettings.ChooseJobMode(request.Spool ? 1 : 2);
  const std::string path = std::filesystem::absolute(request.File).string();
  const bool opened = request.Spool ? sys.run.ChooseSpoolFile(path) : sys.run.PrepareGcodeFile(path);
  if (!opened) return Failed("the job cannot be read");

  JobTimeEstimate estimate;
  JobProgress& executed = sys.status.Run.Progress;
  auto sample = loop.CreateTimer(kSampleMs, true, [&] {
    if (!executed.Running()) return;
    const int32_t line = executed.ExecutedLine();
    estimate.Profile.Note(line, sim.JobRunTimeUs());
    const int64_t lines = sys.engines.LastPreflight.Lines;
    if (progress && lines > 0) progress(std::clamp(static_cast<double>(line) / static_cast<double>(lines), 0.0, 1.0));
  });

  const int64_t endUs = loop.NowUs() + kLongestJobMs * 1000;
  for (;;) {
    sys.status.Run.JobCompleted = false;
    sys.run.RunJob();
    auto over = [&] { return !sys.console.State.JobActive || !sys.link.Connected || cancel.load() || loop.NowUs() > endUs; };
    while (!over()) (void)loop.WaitUntil(over, kWaitSliceMs);
    if (cancel.load() || !sys.engines.Continuing() || !sys.status.Run.ToolChangeStop) break;
    // A manual tool change: the operator's Continue, at once.
    (void)loop.WaitUntil([&] { return sys.console.View.Continue.Visible() || !sys.console.State.JobActive || cancel.load(); },
                         kWaitSliceMs * 10);
    sys.run.ContinueJob();
  }
  if (cancel.load()) return Failed("cancelled");
  if (!sys.engines.LastPreflight.Ok()) return Failed("the job is refused");
  estimate.Summary = PreflightSummary(sys.engines.LastPreflight, sys.config.Units);
  if (!sys.status.Run.JobCompleted || sys.console.State.JobActive || sys.engines.LastRunStopped()) {
    const RunState& run = sys.status.Run;
    std::string why = !run.EndReason.empty() ? run.EndReason : run.EndFault;
    return Failed(why.empty() ? "the job did not run to its end" : "the job ends early: " + why);
  }
  estimate.Ok = true;
  estimate.Profile.TotalUs = sim.JobRunTimeUs();
  if (progress) progress(1.0);
  return estimate;
}

std::string AboutDuration(int64_t us) {
  const int64_t s = (std::max<int64_t>(us, 0) + 500000) / 1000000;
  char text[48];
  if (s < 60) {
    std::snprintf(text, sizeof text, "about %lld s", static_cast<long long>(s));
  } else if (s < 3600) {
    std::snprintf(text, sizeof text, "about %lld min", static_cast<long long>((s + 30) / 60));
  } else {
    const int64_t min = (s + 30) / 60;
    std::snprintf(text, sizeof text, "about %lld h %lld min", static_cast<long long>(min / 60),
                  static_cast<long long>(min % 60));
  }
  return text;
}

JobTimeEstimator::~JobTimeEstimator() { Cancel(); }

void JobTimeEstimator::Cancel() {
  if (cancel_) cancel_->store(true);
  Join();
}

void JobTimeEstimator::Join() {
  if (worker_.joinable()) worker_.join();
  running_.store(false);
}

void JobTimeEstimator::Start(JobTimeRequest request) {
  Cancel();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    result_.reset();
  }
  cancel_ = std::make_shared<std::atomic<bool>>(false);
  percent_.store(0);
  running_.store(true);
  worker_ = std::thread([this, request = std::move(request), cancel = cancel_] {
    // Below the console and the link, which stream the running job.
    (void)setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), 10);
    JobTimeEstimate e = EstimateJobTime(
        request, [this](double done) { percent_.store(static_cast<int>(done * 100)); }, *cancel);
    if (!cancel->load()) {
      std::lock_guard<std::mutex> lock(mutex_);
      result_.emplace(request.File, std::move(e));
    }
    running_.store(false);
  });
}

std::optional<std::pair<std::filesystem::path, JobTimeEstimate>> JobTimeEstimator::TakeResult() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!result_) return std::nullopt;
  auto out = std::move(result_);
  result_.reset();
  if (!running_.load() && worker_.joinable()) worker_.join();
  return out;
}

}  // namespace wendlar
