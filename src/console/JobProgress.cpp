#include "console/JobProgress.h"

#include "link/Commands.h"

namespace wendlar {

namespace {
// A rate sampled over less time than this says little.
constexpr int64_t kRateWindowUs = 1'000'000;
}  // namespace

void JobProgress::Start(int64_t nowUs) {
  running_ = true;
  sent_ = 0;
  lines_.clear();
  executedLine_ = 0;
  lastRan_ = 0;
  lastUs_ = nowUs;
  rate_ = 0;
}

void JobProgress::RecordSent(const CommandRecord& record, int32_t line) {
  if (!running_ || !commands::EntersBuffer(record.Code())) return;
  if (lines_.empty() || lines_.back().second != line) lines_.emplace_back(sent_, line);
  ++sent_;
}

void JobProgress::Executed(uint32_t ran, int64_t nowUs) {
  if (!running_) return;
  while (!lines_.empty() && lines_.front().first < ran) {
    executedLine_ = lines_.front().second;
    lines_.pop_front();
  }
  if (nowUs - lastUs_ >= kRateWindowUs && ran >= lastRan_) {
    rate_ = static_cast<double>(ran - lastRan_) * 1e6 / static_cast<double>(nowUs - lastUs_);
    lastRan_ = ran;
    lastUs_ = nowUs;
  }
}

}  // namespace wendlar
