// The two job engines: the shared start (handshake, buffer reset, ready wait, resume move),
// the G-code and spooler loops, and the end sequence that always sends the end-of-job record.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "config/MachineConfig.h"
#include "config/WorkOffsets.h"
#include "console/Console.h"
#include "console/ManualControl.h"
#include "console/RunControl.h"
#include "console/StatusReaction.h"
#include "core/EventLoop.h"
#include "core/RunFlags.h"
#include "job/ConsoleJobMachine.h"
#include "job/GcodeFile.h"
#include "job/GcodeReader.h"
#include "job/GcodeState.h"
#include "job/Preflight.h"
#include "job/SpoolEngine.h"
#include "job/SpoolFile.h"
#include "link/Link.h"
#include "link/Polling.h"
#include "motion/SegmentBuffer.h"

namespace wendlar {

// The modules the engines drive; System owns them all.
struct EngineContext {
  EventLoop& loop;
  ConfigState& config;
  RunFlags& flags;
  Console& console;
  Link& link;
  Polling& polling;
  ControllerReport& report;
  SegmentBuffer& segments;
  SpeedTables& tables;
  ManualControl& manual;
  StatusReaction& status;
  const WorkOffsetState& offsets;
};

// Actions of other windows; each may stay empty.
struct EngineHooks {
  std::function<void()> ApplyConfigDialog;  // the configuration dialog's values to the configuration
  std::function<void()> EndGcodeJob;        // run control's end-of-job handlers
  std::function<void()> EndSpoolJob;
  std::function<void()> CreateDebugFile;
  std::function<void()> CloseDebugFile;
  // Fills the travel from the controller when no Travel.cfg sets it (the simulated one).
  std::function<void()> RefreshControllerTravel;
};

// Longest the ready wait lasts before the controller counts as not starting the job.
inline constexpr int64_t kReadyWaitMs = 10000;
// Buffer resets tried before the controller counts as not answering.
inline constexpr int kBufferResetTries = 2000;

class JobEngines : public JobRunner {
 public:
  explicit JobEngines(EngineContext context);

  EngineHooks Hooks;
  ConsoleJobMachine Machine;
  GcodeState Gcode;
  JobRunState Run;
  SpoolEngineState Spool;
  SpoolJob SpoolFile;

  // A run that resumes inside a job (set by the jump-to-line dialog, the viewer or
  // ResumeGcodeAtLine): the resume move goes to this position, in file units.
  bool ResumePending = false;
  int32_t ResumeX = 0, ResumeY = 0, ResumeZ = 0;
  bool ResumeSpindle = false;

  // JobRunner
  bool PrepareGcodeFile(const std::string& path) override;
  void CloseGcodeFile() override;
  bool ScanSpoolFile(const std::string& path) override;
  void CloseSpoolFile() override;
  void ResetRunCounters() override;
  void RunGcodeJob() override;
  void RunSpoolJob() override;
  // Pre-flights the job of the console's job mode from the machine's position and the active
  // work offset; when it is refused, Progress says so in red and the message list and
  // code-line panel show the first ten refusals and their count.
  bool PreflightJob() override;
  std::string JobLeavesTravel() const override;

  // Where a run started now would begin: the machine's position and the active work offset.
  [[nodiscard]] PreflightStart JobStart() const;
  // The configuration jobs are read with.
  const ConfigState& Config() const { return ctx_.config; }

  // What the last pre-flight found.
  PreflightResult LastPreflight;

  // Reads the open G-code program's lines before `line` without sending anything, keeps the
  // interpreter's modal state and position, and sets up the resume move. False when the
  // file is not open, the line is not after the first, or the program stops before it.
  bool ResumeGcodeAtLine(int line);
  // The same for the open spooler job: carries out its records before `record` (counted
  // after the header, as "Line #" counts them) without sending anything, keeps the head,
  // laser and feed state they set, and sets up the resume move.
  bool ResumeSpoolAtRecord(int record);

  // The open G-code program's last line read (0 before the first); -1 when none is open.
  int GcodeLineRead() const { return source_ ? source_->LineNumber() : -1; }
  bool GcodeOpen() const { return source_ != nullptr; }
  // True when the last run's loop was ended by a stop or a refused line, not by the file's end.
  bool LastRunStopped() const { return lastRunStopped_; }
  // True when the next G-code run continues the interpreter's state (tool change or resume).
  bool Continuing() const { return keepGcodeState_; }
  // The line (G-code) or record (spooler job) the engine is on: the file's own numbering.
  int32_t CurrentLine() const { return spoolRunning_ ? Run.LineCounter : std::max(0, GcodeLineRead()); }

 private:
  // Steps 3 to 5 of the start: program counter, buffer reset, ready wait.
  void Handshake();
  void ResumeMove(double offX, double offY);
  // Marks a run whose loop a stop or a refusal ended, with the reason the operator sees.
  void NoteRunEnd(const StopMark& stops);
  void EndCommon();
  void StopWith(const std::string& text);

  EngineContext ctx_;
  std::unique_ptr<GcodeLineSource> source_;
  std::string gcodePath_, spoolPath_;
  GcodeReader reader_;
  SpoolStepper stepper_;
  bool keepGcodeState_ = false;
  bool keepSpoolState_ = false;  // the next spooler run goes on from a resume's state
  bool debugOpened_ = false;
  bool lastRunStopped_ = false;
  bool spoolRunning_ = false;
  bool noTravelSaid_ = false;  // "No travel set" is said once a session
};

}  // namespace wendlar
