// A machine without a controller for the reader tests: every call it receives, as text.
#pragma once

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "job/JobMachine.h"

namespace wendlar::testing {

// Moves keep the segment buffer's rule that a move to the same target stores nothing.
class RecordingMachine : public JobMachine {
 public:
  std::vector<std::string> Calls;      // machine and buffer calls in order
  std::vector<std::string> CodeLines;  // the code-line panel
  std::vector<std::string> ComList;
  std::vector<std::string> Messages;
  std::string FeedLabel;
  std::string LineCounterShown;
  int Pending = 0;
  int32_t X = 0, Y = 0, Z = 0;
  int FeedIndexAtFlush = 7;
  bool Spindle = false;
  bool UseFeedBox = false, UseRpmBox = false, PauseOnM0Box = false;
  int Rpm = 0;
  std::string RunButton;
  bool RunEnabled = false;

  void QueueMove(int32_t x, int32_t y, int32_t z, double speed) override {
    if (x != X || y != Y || z != Z) Add("Move", x, y, z, speed);
    X = x, Y = y, Z = z;
  }
  void QueueMoveW(int32_t x, int32_t y, int32_t w, double speed) override {
    if (x != X || y != Y || w != Z) Add("MoveW", x, y, w, speed);
    X = x, Y = y, Z = w;
  }
  void FlushSegments() override {
    if (Pending > 0) Calls.push_back("Flush");
    Pending = 0;
  }
  void ClearSegments() override { Pending = 0; }
  bool SegmentsPending() const override { return Pending > 0; }
  void SetLastStep(int32_t x, int32_t y, int32_t z) override { X = x, Y = y, Z = z; }
  int32_t LastStepX() const override { return X; }
  int32_t LastStepY() const override { return Y; }
  int32_t LastStepZ() const override { return Z; }
  int FeedIdx() const override { return FeedIndexAtFlush; }
  void SetLaserSegments(bool on) override { Calls.push_back(std::string("LaserSegments ") + (on ? "1" : "0")); }
  // Recognisable indexes: a velocity is its own index.
  int SpeedIndexOf(int velocity) const override { return velocity; }

  void QueueCommand(const CommandRecord& r) override { Calls.push_back("Cmd " + std::to_string(r.Code())); }
  void RapidXY(int32_t x, int32_t y) override { Add("Rapid", x, y); }
  void MoveZ(int32_t z, int speed, bool wait) override { Add("Z", z, speed, wait ? 1 : 0); }
  void Dwell(double seconds) override { Add("Dwell", seconds); }
  void SpindleOn(int output) override {
    Spindle = true;
    Add("SpindleOn", output);
  }
  void SpindleOff() override {
    Spindle = false;
    Calls.push_back("SpindleOff");
  }
  bool SpindleRunning() const override { return Spindle; }
  void SetAux1(bool on) override { Add("Aux1", on ? 1 : 0); }
  void SetAux2(bool on) override { Add("Aux2", on ? 1 : 0); }
  void SetLaser(bool on) override { Add("Laser", on ? 1 : 0); }
  void SetJobSpindleSpeed(int rpm) override { Add("Rpm", rpm); }
  void WaitForContinue() override { Calls.push_back("WaitForContinue"); }
  void ShowFeedLabel(const std::string& text) override { FeedLabel = text; }
  void ShowLineCounter(int counter) override { LineCounterShown = "Line # " + std::to_string(counter); }
  void ShowCodeLine(const std::string& text) override { CodeLines.push_back(text); }
  void ShowMessage(const std::string& text) override {
    Messages.push_back(text);
    CodeLines.push_back(text);
  }
  void ClearCodeLines() override { CodeLines.clear(); }
  void AddComList(const std::string& text) override { ComList.push_back(text); }
  void EnableRun() override { RunEnabled = true; }
  void ShowRunError(const std::string& caption) override {
    RunButton = caption;
    RunEnabled = false;
  }
  void StartDebugLog() override {}
  bool UseFeed() const override { return UseFeedBox; }
  bool UseRpm() const override { return UseRpmBox; }
  int SpindleRpm() const override { return Rpm; }
  bool PauseonM0() const override { return PauseOnM0Box; }

  // Only the calls that move the machine or switch something, without buffer bookkeeping.
  std::vector<std::string> Moves() const {
    std::vector<std::string> out;
    for (const auto& c : Calls) {
      if (c != "Flush") out.push_back(c);
    }
    return out;
  }

 private:
  template <typename... T>
  void Add(const char* name, T... values) {
    std::ostringstream s;
    s << name;
    ((s << " " << values), ...);
    Calls.push_back(s.str());
    if (std::string(name).rfind("Move", 0) == 0) ++Pending;
  }
};

}  // namespace wendlar::testing
