// Everything the job readers call outside themselves: segment buffer, machine operations, console output.
#pragma once

#include <cstdint>
#include <string>

#include "link/CommandRecord.h"

namespace wendlar {

// The readers see the machine only through this. The console (with the segment buffer and the
// speed tables) implements it for runs; the checker and the tests implement it without a
// controller. Step values arrive as the controller wants them: Z already negated.
class JobMachine {
 public:
  virtual ~JobMachine() = default;

  // Segment buffer.
  // Stores a feed to the absolute step target; speed is the speed-index cap.
  virtual void QueueMove(int32_t x, int32_t y, int32_t z, double speed) = 0;
  // Stores a laser feed to (x, y) with the absolute laser power w.
  virtual void QueueMoveW(int32_t x, int32_t y, int32_t w, double speed) = 0;
  // Plans and sends everything buffered; returns when it is sent or AbortRun is set.
  virtual void FlushSegments() = 0;
  // Drops whatever is buffered without sending it.
  virtual void ClearSegments() = 0;
  // True while segments are buffered and not yet flushed.
  virtual bool SegmentsPending() const = 0;
  // Records the step position a rapid or Z move left the machine at, so the next feed starts there.
  virtual void SetLastStep(int32_t x, int32_t y, int32_t z) = 0;
  virtual int32_t LastStepX() const = 0;
  virtual int32_t LastStepY() const = 0;
  virtual int32_t LastStepZ() const = 0;
  // The feed index taken at the last flush.
  virtual int FeedIdx() const = 0;
  // Buffered segments go out as laser segments while set.
  virtual void SetLaserSegments(bool on) = 0;
  // Speed-table index of a configured velocity.
  virtual int SpeedIndexOf(int velocity) const = 0;

  // Machine operations, each one controller command (or two).
  virtual void QueueCommand(const CommandRecord& record) = 0;
  virtual void RapidXY(int32_t x, int32_t y) = 0;
  virtual void MoveZ(int32_t z, int speedIndex, bool wait) = 0;
  // Seconds; the console clamps to 10 s.
  virtual void Dwell(double seconds) = 0;
  virtual void SpindleOn(int output) = 0;
  virtual void SpindleOff() = 0;
  virtual bool SpindleRunning() const = 0;
  virtual void SetAux1(bool on) = 0;
  virtual void SetAux2(bool on) = 0;
  virtual void SetLaser(bool on) = 0;
  // The spindle-speed setter of a job (no Use_rpm test, no label).
  virtual void SetJobSpindleSpeed(int rpm) = 0;
  // Returns when the operator presses Continue (or AbortRun is set).
  virtual void WaitForContinue() = 0;
  // The program chose fixture `number` (1..6) with offset (x, y) in user units; the console
  // shows it. Nothing to show without a console.
  virtual void ShowFixture(int number, double x, double y) {
    (void)number, (void)x, (void)y;
  }
  // The program changed to tool `tool` (an M6 or a T word, T0 as 30); the moves after it are cut
  // with that tool. Only the viewer's pre-flight listens.
  virtual void ToolChanged(int tool) { (void)tool; }

  // Console read-outs and inputs.
  // The feed label (`Feedlab`) for an F word.
  virtual void ShowFeedLabel(const std::string& text) = 0;
  // The line counter: the number the console shows after "Line # ". Only a machine that shows
  // it builds the text, so reading a line costs no string.
  virtual void ShowLineCounter(int counter) = 0;
  // One line of the code-line panel: a job line as read, or the drawing limits.
  virtual void ShowCodeLine(const std::string& text) = 0;
  // A reader's warning or error; the console shows it in the code-line panel too.
  virtual void ShowMessage(const std::string& text) = 0;
  // Empties the code-line panel.
  virtual void ClearCodeLines() = 0;
  // One item of the hidden message list `Com_list`.
  virtual void AddComList(const std::string& text) = 0;
  // Enables Run_button once a job is ready.
  virtual void EnableRun() = 0;
  // A job that cannot run: the caption on Run_button, which is disabled with Preview.
  virtual void ShowRunError(const std::string& caption) = 0;
  // Creates "debug.txt" when the console's debug option is set.
  virtual void StartDebugLog() = 0;
  virtual bool UseFeed() const = 0;
  virtual bool UseRpm() const = 0;
  virtual int SpindleRpm() const = 0;
  virtual bool PauseonM0() const = 0;
};

}  // namespace wendlar
