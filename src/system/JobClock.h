// The console's job clock: the machine time of the loaded job, estimated in the background
// when it loads, and elapsed and remaining time while it runs.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "system/JobTimeEstimate.h"

namespace wendlar {

class System;

class JobClock {
 public:
  explicit JobClock(System& sys) : s_(sys) {}

  // Off: loaded jobs are not estimated (hosts that have no use for it).
  void SetEnabled(bool enabled) { enabled_ = enabled; }
  // A job file was loaded (empty path: none is): its estimate starts over.
  void JobLoaded(const std::string& path, bool spool);
  // A Clock tick: takes a finished estimate and refreshes the label and the bar.
  void Tick();
  // The machine time still to run, while a job with an estimate runs.
  [[nodiscard]] std::optional<int64_t> RemainingUs() const;
  // The estimate of the loaded job, once there is one.
  [[nodiscard]] const std::optional<JobTimeEstimate>& Estimate() const { return estimate_; }
  [[nodiscard]] bool Estimating() const { return estimator_.Running(); }

 private:
  void ShowEstimate();
  void ShowRunning();

  // What an estimate depends on besides the configuration: a Run prepares the same file
  // again, and that must not start the estimate over.
  struct Key {
    std::string path;
    std::filesystem::file_time_type modified{};
    uintmax_t size = 0;
    bool useFeed = false;
    int feedIndex = 0;
    bool operator==(const Key&) const = default;
  };
  [[nodiscard]] Key KeyOf(const std::string& path) const;

  System& s_;
  JobTimeEstimator estimator_;
  Key key_;
  std::filesystem::path file_;
  std::optional<JobTimeEstimate> estimate_;
  bool enabled_ = true;
  bool wasRunning_ = false;
  int64_t startUs_ = 0;
};

}  // namespace wendlar
