// The machine time of a job before it runs: the job goes through a private host and the
// simulated controller on simulated time, as `run --simulator --fast` does.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "config/MachineConfig.h"
#include "config/WorkOffsets.h"

namespace wendlar {

// What the job would run with: the console's configuration, offsets and feed choice.
struct JobTimeRequest {
  std::filesystem::path File;
  bool Spool = false;  // a spooler job (*.VRJ); otherwise a G-code program
  ConfigState Config;
  WorkOffsetState Offsets;
  bool UseFeed = false;  // the operator's feed replaces the job's
  int FeedIndex = 0;
};

// Machine time against the job's lines (records for a spooler job), so a running job can
// say how long it still has.
struct JobTimeProfile {
  int64_t TotalUs = 0;
  // (line, machine time when the machine reached it), lines ascending.
  std::vector<std::pair<int32_t, int64_t>> Samples;

  // Machine time still to run once the machine is on `line`.
  [[nodiscard]] int64_t RemainingUs(int32_t line) const;
  // Notes the machine on `line` at `us`; keeps at most a few thousand samples.
  void Note(int32_t line, int64_t us);
};

struct JobTimeEstimate {
  bool Ok = false;
  std::string Failure;  // why there is no estimate (refused job, cancelled, no end)
  JobTimeProfile Profile;
  std::vector<std::string> Summary;  // the job's extents and counts, as its pre-flight gives them
};

// Runs the job on simulated time in a scratch program directory (the operator's settings and
// history are not touched). `progress` gets 0..1 of the job's lines now and then; `cancel`
// ends the run early, without an estimate.
[[nodiscard]] JobTimeEstimate EstimateJobTime(const JobTimeRequest& request,
                                              const std::function<void(double)>& progress,
                                              const std::atomic<bool>& cancel);

// "about 1 h 24 min", "about 12 min", "about 40 s".
[[nodiscard]] std::string AboutDuration(int64_t us);

// One estimate at a time on a worker thread; a new Start cancels the one before.
class JobTimeEstimator {
 public:
  JobTimeEstimator() = default;
  JobTimeEstimator(const JobTimeEstimator&) = delete;
  JobTimeEstimator& operator=(const JobTimeEstimator&) = delete;
  ~JobTimeEstimator();

  void Start(JobTimeRequest request);
  void Cancel();
  [[nodiscard]] bool Running() const { return running_.load(); }
  // 0..100 of the job estimated so far.
  [[nodiscard]] int Percent() const { return percent_.load(); }
  // The finished estimate and the file it is for, once.
  [[nodiscard]] std::optional<std::pair<std::filesystem::path, JobTimeEstimate>> TakeResult();

 private:
  void Join();

  std::thread worker_;
  std::shared_ptr<std::atomic<bool>> cancel_;
  std::atomic<bool> running_{false};
  std::atomic<int> percent_{0};
  std::mutex mutex_;
  std::optional<std::pair<std::filesystem::path, JobTimeEstimate>> result_;
};

}  // namespace wendlar
