// The machine the job engines drive during a run: the console's moves and outputs, the
// segment buffer, the link, and the console's labels.
#pragma once

#include <functional>

#include "console/Console.h"
#include "console/ManualControl.h"
#include "core/RunFlags.h"
#include "job/BufferedJobMachine.h"
#include "job/SpoolEngine.h"
#include "link/Link.h"

namespace wendlar {

// Answers owned by other windows; each may stay empty (unchecked, or nothing done).
struct JobMachineHooks {
  std::function<void()> WaitForContinue;   // run control's wait at M00 and pause records
  std::function<bool()> PauseonM0;         // the configuration dialog's box
  std::function<void()> StartDebugLog;     // creates "debug.txt" when the console's option is set
  std::function<bool()> KnifeMode;
  std::function<bool()> SecondHeadMachine;
  std::function<int32_t()> CurrentLine;    // the job line being carried out
};

// After a stop (AbortRun) nothing that moves the machine leaves the host: the engine's end
// sequence is all that follows.
class ConsoleJobMachine : public BufferedJobMachine, public SpoolOps {
 public:
  ConsoleJobMachine(ManualControl& manual, Link& link, Console& console, SegmentBuffer& buffer,
                    SpeedTables& tables, RunFlags& flags);

  JobMachineHooks Hooks;

  // Starts counting the segment packets of a run into the console's SentCount, and forgets
  // the last message.
  void StartCounting();
  // The last reader message of this run (a refusal names the line).
  const std::string& LastMessage() const { return lastMessage_; }

  // JobMachine
  void QueueMove(int32_t x, int32_t y, int32_t z, double speed) override;
  void QueueMoveW(int32_t x, int32_t y, int32_t w, double speed) override;
  void FlushSegments() override;
  void QueueCommand(const CommandRecord& record) override;
  void RapidXY(int32_t x, int32_t y) override;
  void MoveZ(int32_t z, int speedIndex, bool wait) override;
  void Dwell(double seconds) override;
  void SpindleOn(int output) override;
  void SpindleOff() override;
  bool SpindleRunning() const override;
  void SetAux1(bool on) override;
  void SetAux2(bool on) override;
  void SetLaser(bool on) override;
  void SetJobSpindleSpeed(int rpm) override;
  void WaitForContinue() override;
  void ShowFixture(int number, double x, double y) override;
  void ShowFeedLabel(const std::string& text) override;
  void ShowLineCounter(int counter) override;
  void ShowCodeLine(const std::string& text) override;
  void ShowMessage(const std::string& text) override;
  void ClearCodeLines() override;
  void AddComList(const std::string& text) override;
  void EnableRun() override;
  void ShowRunError(const std::string& caption) override;
  void StartDebugLog() override;
  bool UseFeed() const override;
  bool UseRpm() const override;
  int SpindleRpm() const override;
  bool PauseonM0() const override;

  // SpoolOps
  void MoveW(int32_t wSteps, int speedIndex, bool wait) override;
  void HomeW() override;
  void SendKnifeAngle(int32_t dx, int32_t dy) override;
  int FeedSpeedIndex() const override;
  int PlungeSpeedIndex() const override;
  void ShowRpm(int rpm) override;
  bool KnifeMode() const override;
  bool SecondHeadMachine() const override;

 private:
  bool Stopped() const { return flags_.StopWaiting(); }
  // Adds the segment packets sent since the last count to SentCount.
  void CountPackets();

  ManualControl& manual_;
  Link& link_;
  Console& console_;
  SegmentBuffer& segments_;
  SpeedTables& speedTables_;
  RunFlags& flags_;
  uint32_t countedPackets_ = 0;
  std::string lastMessage_;
};

}  // namespace wendlar
