#include "system/JobClock.h"

#include <cstdio>

#include "system/System.h"

namespace wendlar {

namespace {

std::string MinutesSeconds(int64_t us) {
  const int64_t s = std::max<int64_t>(us, 0) / 1000000;
  char text[32];
  std::snprintf(text, sizeof text, "%02lld:%02lld", static_cast<long long>(s / 60), static_cast<long long>(s % 60));
  return text;
}

}  // namespace

void JobClock::JobLoaded(const std::string& path, bool spool) {
  ConsoleView& v = s_.console.View;
  if (!enabled_) return;
  const Key key = KeyOf(path);
  if (!path.empty() && key == key_ && (estimate_ || estimator_.Running())) return;
  key_ = key;
  estimator_.Cancel();
  estimate_.reset();
  file_ = path;
  if (path.empty()) {
    v.Job_time.SetCaption(" ");
    v.Job_time.SetHint("");
    v.Estimate_bar.SetVisible(false);
    return;
  }
  JobTimeRequest request;
  request.File = path;
  request.Spool = spool;
  request.Config = s_.config;
  request.Offsets = s_.offsets;
  request.UseFeed = s_.consoleSettings.UseFeed();
  request.FeedIndex = s_.consoleSettings.FeedIndex();
  estimator_.Start(std::move(request));
  v.Job_time.SetCaption("Estimating time");
  v.Job_time.SetHint("The job runs on the simulated controller to find its machine time");
  v.Estimate_bar.SetPosition(0);
  v.Estimate_bar.SetVisible(true);
}

void JobClock::Tick() {
  if (auto done = estimator_.TakeResult(); done && done->first == file_) {
    estimate_ = std::move(done->second);
    s_.console.View.Estimate_bar.SetVisible(false);
    if (!wasRunning_) ShowEstimate();
  } else if (estimator_.Running()) {
    s_.console.View.Estimate_bar.SetPosition(estimator_.Percent());
  }
  const bool running = s_.console.State.JobActive && s_.status.Run.Progress.Running();
  if (running && !wasRunning_) startUs_ = s_.loop.NowUs();
  if (running) {
    ShowRunning();
  } else if (wasRunning_ && !estimator_.Running()) {
    ShowEstimate();
  }
  wasRunning_ = running;
}

JobClock::Key JobClock::KeyOf(const std::string& path) const {
  Key key;
  key.path = path;
  std::error_code ec;
  key.modified = std::filesystem::last_write_time(path, ec);
  key.size = std::filesystem::file_size(path, ec);
  key.useFeed = s_.consoleSettings.UseFeed();
  key.feedIndex = s_.consoleSettings.FeedIndex();
  return key;
}

std::optional<int64_t> JobClock::RemainingUs() const {
  if (!estimate_ || !estimate_->Ok || !s_.status.Run.Progress.Running()) return std::nullopt;
  return estimate_->Profile.RemainingUs(s_.status.Run.Progress.ExecutedLine());
}

void JobClock::ShowEstimate() {
  ConsoleView& v = s_.console.View;
  if (!estimate_) return;
  if (estimate_->Ok) {
    v.Job_time.SetCaption(AboutDuration(estimate_->Profile.TotalUs));
    char seconds[96];
    std::snprintf(seconds, sizeof seconds, "Machine time on the simulated controller: %.1f s",
                  static_cast<double>(estimate_->Profile.TotalUs) / 1e6);
    // With the job's extents and counts, so they show with the file before it runs.
    std::string hint = seconds;
    for (const std::string& line : estimate_->Summary) hint += "\n" + line;
    v.Job_time.SetHint(hint);
  } else {
    v.Job_time.SetCaption("Time not known");
    v.Job_time.SetHint("No estimate: " + estimate_->Failure);
  }
}

void JobClock::ShowRunning() {
  // Short enough for the label: "03:10, 12:45 left".
  ConsoleView& v = s_.console.View;
  std::string text = MinutesSeconds(s_.loop.NowUs() - startUs_);
  if (auto left = RemainingUs()) {
    text += ", " + MinutesSeconds(*left) + " left";
    v.Job_time.SetHint("Time since the job started, and the machine time still to run");
  } else {
    v.Job_time.SetHint("Time since the job started");
  }
  v.Job_time.SetCaption(text);
}

}  // namespace wendlar
