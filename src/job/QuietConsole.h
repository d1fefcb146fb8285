// The console side of a job machine that shows and asks nothing, for runs that only read a
// job: resume scans and benchmarks.
#pragma once

#include <string>

namespace wendlar {

// Base is JobMachine or one of its partial implementations (BufferedJobMachine).
template <class Base>
class QuietConsole : public Base {
 public:
  using Base::Base;
  void WaitForContinue() override {}
  void ShowFeedLabel(const std::string&) override {}
  void ShowLineCounter(int) override {}
  void ShowCodeLine(const std::string&) override {}
  void ShowMessage(const std::string&) override {}
  void ClearCodeLines() override {}
  void AddComList(const std::string&) override {}
  void EnableRun() override {}
  void ShowRunError(const std::string&) override {}
  void StartDebugLog() override {}
  bool UseFeed() const override { return false; }
  bool UseRpm() const override { return false; }
  int SpindleRpm() const override { return 0; }
  bool PauseonM0() const override { return false; }
};

}  // namespace wendlar
