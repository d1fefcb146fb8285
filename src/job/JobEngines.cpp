#include "job/JobEngines.h"

#include <algorithm>
#include <cmath>

#include "core/Numbers.h"
#include "job/QuietConsole.h"
#include "link/Commands.h"

namespace wendlar {

namespace {

int32_t FileUnits(double userUnits, double factor) {
  if (!std::isfinite(userUnits)) return 0;
  return static_cast<int32_t>(std::clamp<int64_t>(Nearest(userUnits * factor), INT32_MIN, INT32_MAX));
}

// Reads lines for their state only: nothing is sent, the spindle state is remembered.
class SkipMachine : public QuietConsole<JobMachine> {
 public:
  void QueueMove(int32_t x, int32_t y, int32_t z, double) override { SetLastStep(x, y, z); }
  void QueueMoveW(int32_t x, int32_t y, int32_t, double) override { SetLastStep(x, y, z_); }
  void FlushSegments() override {}
  void ClearSegments() override {}
  bool SegmentsPending() const override { return false; }
  void SetLastStep(int32_t x, int32_t y, int32_t z) override { x_ = x, y_ = y, z_ = z; }
  int32_t LastStepX() const override { return x_; }
  int32_t LastStepY() const override { return y_; }
  int32_t LastStepZ() const override { return z_; }
  int FeedIdx() const override { return 1; }
  void SetLaserSegments(bool) override {}
  int SpeedIndexOf(int) const override { return 1; }
  void QueueCommand(const CommandRecord&) override {}
  void RapidXY(int32_t x, int32_t y) override { x_ = x, y_ = y; }
  void MoveZ(int32_t z, int, bool) override { z_ = z; }
  void Dwell(double) override {}
  void SpindleOn(int) override { Spindle = true; }
  void SpindleOff() override { Spindle = false; }
  bool SpindleRunning() const override { return Spindle; }
  void SetAux1(bool) override {}
  void SetAux2(bool) override {}
  void SetLaser(bool) override {}
  void SetJobSpindleSpeed(int) override {}

  bool Spindle = false;

 private:
  int32_t x_ = 0, y_ = 0, z_ = 0;
};

}  // namespace

JobEngines::JobEngines(EngineContext context)
    : Machine(context.manual, context.link, context.console, context.segments, context.tables, context.flags),
      ctx_(context),
      reader_(Gcode, Run, Machine, context.config, context.flags),
      stepper_(Machine, Machine, context.config, context.flags, Spool) {
  reader_.SetFixtures(&ctx_.offsets);
}

bool JobEngines::PrepareGcodeFile(const std::string& path) {
  CloseGcodeFile();
  auto source = std::make_unique<GcodeLineSource>(std::filesystem::path(path));
  if (!source->Ok()) return false;
  source_ = std::move(source);
  gcodePath_ = path;
  return true;
}

void JobEngines::CloseGcodeFile() {
  source_.reset();
  keepGcodeState_ = false;
  ResumePending = false;
}

bool JobEngines::ScanSpoolFile(const std::string& path) {
  // Opening clears AbortRun; a stop in force must outlive a scan made during it.
  const uint8_t abort = ctx_.flags.AbortRun;
  SpoolFile.Reader.Close();
  const bool ok = OpenSpoolJob(path, SpoolFile, ctx_.config, Machine, ctx_.flags);
  spoolPath_ = path;
  if (abort != 0) ctx_.flags.AbortRun = abort;
  if (ok) Spool.WorkTopZ = SpoolFile.WorkTopZ;
  return ok;
}

void JobEngines::CloseSpoolFile() {
  SpoolFile.Reader.Close();
  keepSpoolState_ = false;
  ResumePending = false;
}

PreflightStart JobEngines::JobStart() const {
  const ConsoleState& cs = ctx_.console.State;
  PreflightStart start;
  start.MachineX = cs.MachineX;
  start.MachineY = cs.MachineY;
  start.MachineZ = cs.MachineZ;
  start.StepX = cs.MachineXSteps;
  start.StepY = cs.MachineYSteps;
  start.StepZ = cs.MachineZSteps;
  start.OffsetX = ctx_.offsets.ActiveOffsetX;
  start.OffsetY = ctx_.offsets.ActiveOffsetY;
  start.Offsets = &ctx_.offsets;
  start.SpeedSteps = ctx_.tables.SpeedSteps();
  return start;
}

bool JobEngines::PreflightJob() {
  const ConsoleState& cs = ctx_.console.State;
  const PreflightStart start = JobStart();
  if (Hooks.RefreshControllerTravel) Hooks.RefreshControllerTravel();
  LastPreflight = wendlar::PreflightJob(cs.JobMode == 2 ? gcodePath_ : spoolPath_, ctx_.config, start);
  if (LastPreflight.Ok()) {
    // What the job will do, shown with it before it starts.
    for (const std::string& line : PreflightSummary(LastPreflight, ctx_.config.Units)) Machine.ShowCodeLine(line);
    if (!ctx_.config.Travel.Any() && !noTravelSaid_) {
      noTravelSaid_ = true;
      Machine.ShowMessage(kNoTravelText);
    }
    for (const std::string& line : LinkRateWarning(LastPreflight, ctx_.link.TransferPacketsPerSec, ctx_.config.Units)) {
      Machine.ShowMessage(line);
    }
    return true;
  }
  const size_t n = LastPreflight.Refusals.size();
  const std::string what = LastPreflight.Spool ? (n == 1 ? " record" : " records") : (n == 1 ? " line" : " lines");
  StopWith(LastPreflight.Opened ? "Job refused: " + std::to_string(n) + what + " cannot run" : kMsgIoError);
  ctx_.flags.AbortRun = 0;  // nothing was started, so nothing has to stop
  for (const std::string& line : RefusalLines(LastPreflight, 10)) Machine.ShowMessage(line);
  return false;
}

std::string JobEngines::JobLeavesTravel() const {
  std::string text;
  for (const std::string& line : TravelRefusals(LastPreflight, ctx_.config)) text += (text.empty() ? "" : "\n") + line;
  return text;
}

void JobEngines::ResetRunCounters() {
  // A spooler resume has counted the records it skipped: the run goes on numbering from there.
  if (keepSpoolState_ && ResumePending) return;
  Run.LineCounter = 0;
  Run.RecordCount = 0;
  SpoolFile.RecordCount = 0;
}

void JobEngines::StopWith(const std::string& text) {
  ConsoleView& v = ctx_.console.View;
  v.Progress.SetCaption(text);
  v.Progress.SetFontColor(kRed);
  ctx_.flags.AbortRun = 1;
}

void JobEngines::Handshake() {
  Link& link = ctx_.link;
  ConsoleState& s = ctx_.console.State;
  Machine.ClearSegments();
  ctx_.flags.AbortRun = 0;
  // A new run: motion held back since an earlier stop may go again.
  link.AllowMotion();
  s.JobActive = false;
  link.SetDirectSend(true);
  ctx_.console.SetConsoleIdle(false);
  link.QueueCommand(commands::ClearProgramCounter());
  // The controller's executed count starts again from 0; so does the host's copy of it,
  // and the map from executed records back to the job's lines.
  s.RanCount = 0;
  ctx_.status.Run.Progress.Start(ctx_.loop.NowUs());
  ctx_.loop.PumpMessages();

  // The buffer counts as reset once the controller reports it empty.
  int tries = 0;
  do {
    link.QueueCommand(commands::ClearBuffer());
    ctx_.loop.PumpMessages();
  } while (ctx_.report.BufHead != ctx_.report.BufTail && !ctx_.flags.StopWaiting() && link.Connected &&
           ++tries < kBufferResetTries);

  // The status reaction sets JobActive once a buffer report shows the controller running.
  link.QueueCommand(commands::StartBuffer());
  const int64_t start = ctx_.loop.NowUs();
  while (!s.JobActive && !ctx_.flags.StopWaiting()) {
    if (!link.Connected) {
      StopWith("Controller not connected");
      break;
    }
    if (ctx_.loop.NowUs() - start > kReadyWaitMs * 1000) {
      StopWith("Controller did not start the job");
      break;
    }
    link.QueueCommand(commands::StartBuffer());
    ctx_.loop.PumpMessages();
  }
}

void JobEngines::ResumeMove(double offX, double offY) {
  const MachineConfig& c = ctx_.config.Config;
  const double uf = ctx_.config.Units.UnitsFactor;
  MotionCommands& motion = ctx_.manual.Motion;
  if (ctx_.flags.StopWaiting()) return;
  Machine.MoveZ(-static_cast<int32_t>(Nearest(ctx_.config.ToolAboveWorkNow * uf * c.Zscale)),
                ctx_.tables.SpeedIndexOf(c.Z_raise_vel), true);
  if (ResumeSpindle) {
    Machine.SpindleOn(0);
    Machine.Dwell(2 * c.Spindle_delay);
  }
  if (ctx_.flags.StopWaiting()) return;
  (void)motion.RapidToXY(ResumeX, ResumeY, offX, offY);
  if (ctx_.flags.StopWaiting()) return;
  (void)motion.RapidToZ(ResumeZ);
  ResumePending = false;
}

void JobEngines::NoteRunEnd(const StopMark& stops) {
  lastRunStopped_ = ctx_.flags.StopWaiting();
  if (!lastRunStopped_) return;
  // A stop of the machine says itself why; otherwise the host refused to go on.
  std::string reason;
  if (!stops.Stopped()) {
    const std::string& progress = ctx_.console.View.Progress.Caption();
    if (!Machine.LastMessage().empty()) {
      reason = Machine.LastMessage();
    } else if (progress == commands::kLong3OverflowText) {
      reason = progress;
    } else {
      reason = "the program stopped early";
    }
  }
  ctx_.status.EndJobEarly(reason);
}

void JobEngines::EndCommon() {
  ctx_.link.SetDirectSend(false);
  // While the controller still runs the job its end report makes the console idle.
  if (!ctx_.console.State.JobActive) ctx_.console.SetConsoleIdle(true);
  if (ctx_.link.Connected) ctx_.link.UsbTimer().SetEnabled(true);
  if (debugOpened_ && Hooks.CloseDebugFile) Hooks.CloseDebugFile();
  debugOpened_ = false;
}

void JobEngines::RunGcodeJob() {
  if (!source_) return;
  spoolRunning_ = false;
  const ConsoleState& cs = ctx_.console.State;
  const MachineConfig& c = ctx_.config.Config;
  // Feeds count their deltas from where the controller says the machine is.
  Machine.SetLastStep(cs.MachineXSteps, cs.MachineYSteps, cs.MachineZSteps);
  if (!keepGcodeState_) {
    StartGcodeState(Gcode, cs.MachineX, cs.MachineY, cs.MachineZ);
    // The program runs in the work offset the console shows, as spooler jobs do; a G54 to
    // G59 in it shows its own on the console until the next job.
    SetGcodeFixture(Gcode, ctx_.offsets.ActiveOffsetX, ctx_.offsets.ActiveOffsetY);
    ctx_.console.ShowActiveOffset(ctx_.offsets.ActiveFixture, ctx_.offsets.ActiveOffsetX, ctx_.offsets.ActiveOffsetY);
    Machine.SetLaserSegments(false);
  } else if (!ResumePending) {
    // After a tool change only the position is taken anew; the modal state carries on.
    Gcode.PrevX = cs.MachineX;
    Gcode.PrevY = cs.MachineY;
    Gcode.PrevZ = cs.MachineZ;
  }
  keepGcodeState_ = false;
  debugOpened_ = ctx_.console.State.DebugLog;
  Machine.StartCounting();
  Handshake();
  const StopMark stops(ctx_.flags);
  Run.ToolChangeStop = false;

  if (ResumePending) {
    ResumeMove(0, 0);
  } else if (c.Auto_Spindle_Start == 1) {
    Machine.SpindleOn(0);
  }

  while (!ctx_.flags.StopWaiting() && !Run.ToolChangeStop) {
    if (!reader_.Step(*source_)) break;
  }
  NoteRunEnd(stops);

  if (c.Auto_Spindle_Stop == 1) {
    Machine.FlushSegments();
    Machine.SpindleOff();
  }
  Machine.FlushSegments();
  const bool toolStop = Run.ToolChangeStop && ctx_.flags.AbortRun == 0;
  // The status reaction prompts for the tool once the controller reports the end.
  ctx_.status.Run.ToolChangeStop = toolStop;
  ctx_.status.Run.ToolNumber = Run.ToolNumber;
  Machine.QueueCommand(commands::EndOfJob());
  if (toolStop) {
    ctx_.console.View.Run_button.SetEnabled(false);
    keepGcodeState_ = true;
  } else if (Hooks.EndGcodeJob) {
    Hooks.EndGcodeJob();
  }
  EndCommon();
}

void JobEngines::RunSpoolJob() {
  if (!SpoolFile.Reader.IsOpen()) return;
  spoolRunning_ = true;
  ConsoleState& cs = ctx_.console.State;
  const double uf = ctx_.config.Units.UnitsFactor;
  if (Hooks.ApplyConfigDialog) Hooks.ApplyConfigDialog();
  const bool resuming = keepSpoolState_ && ResumePending;
  keepSpoolState_ = false;
  if (!resuming) {
    Spool.HeadOffX = Spool.HeadOffY = 0;
    Spool.FixtureOffX = FileUnits(ctx_.offsets.ActiveOffsetX, uf);
    Spool.FixtureOffY = FileUnits(ctx_.offsets.ActiveOffsetY, uf);
    Spool.SecondHead = false;
    Spool.LaserSegments = false;
  }
  Machine.SetLaserSegments(Spool.LaserSegments);
  cs.SpindleRunning = false;
  debugOpened_ = cs.DebugLog;
  if (debugOpened_ && Hooks.CreateDebugFile) Hooks.CreateDebugFile();
  Machine.SetLastStep(cs.MachineXSteps, cs.MachineYSteps, cs.MachineZSteps);
  Machine.StartCounting();
  Handshake();
  const StopMark stops(ctx_.flags);
  if (!resuming) {
    Spool.SpoolXYFeed = 21;
    Spool.SpoolZFeed = 22;
  }

  if (ResumePending) ResumeMove(Spool.HeadOffX + Spool.FixtureOffX, Spool.HeadOffY + Spool.FixtureOffY);

  SpoolRecord record;
  while (!ctx_.flags.StopWaiting()) {
    Run.LineCounter += 1;
    Machine.ShowLineCounter(Run.LineCounter);
    if (!SpoolFile.Reader.Read(record)) break;
    Run.RecordCount += 1;
    SpoolFile.RecordCount += 1;
    Gcode.WordL = record.C;
    Gcode.GcodeLineText = record.Text();
    SpoolFile.RecordText = Gcode.GcodeLineText;
    stepper_.Execute(record);
  }
  NoteRunEnd(stops);

  Machine.FlushSegments();
  Machine.QueueCommand(commands::EndOfJob());
  if (Hooks.EndSpoolJob) Hooks.EndSpoolJob();
  Run.ToolChangeStop = false;
  EndCommon();
}

namespace {

// The spooler operations of a resume scan: nothing is sent, only the state is kept.
class SkipSpoolOps : public SpoolOps {
 public:
  explicit SkipSpoolOps(bool secondHeadMachine) : secondHeadMachine_(secondHeadMachine) {}
  void MoveW(int32_t, int, bool) override {}
  void HomeW() override {}
  void SendKnifeAngle(int32_t, int32_t) override {}
  int FeedSpeedIndex() const override { return 1; }
  int PlungeSpeedIndex() const override { return 1; }
  void ShowRpm(int) override {}
  bool KnifeMode() const override { return false; }
  bool SecondHeadMachine() const override { return secondHeadMachine_; }

 private:
  bool secondHeadMachine_;
};

}  // namespace

bool JobEngines::ResumeSpoolAtRecord(int record) {
  if (!SpoolFile.Reader.IsOpen() || record <= 1 || SpoolFile.RecordCount != 0) return false;
  const ConsoleState& cs = ctx_.console.State;
  const MachineConfig& c = ctx_.config.Config;
  const double uf = ctx_.config.Units.UnitsFactor;
  if (!(c.Xscale > 0) || !(c.Yscale > 0) || !(c.Zscale > 0)) return false;
  SpoolEngineState state;
  state.FixtureOffX = FileUnits(ctx_.offsets.ActiveOffsetX, uf);
  state.FixtureOffY = FileUnits(ctx_.offsets.ActiveOffsetY, uf);
  state.WorkTopZ = Spool.WorkTopZ;
  SkipMachine skip;
  skip.SetLastStep(cs.MachineXSteps, cs.MachineYSteps, cs.MachineZSteps);
  SkipSpoolOps ops(Machine.SecondHeadMachine());
  RunFlags scratchFlags;
  SpoolStepper stepper(skip, ops, ctx_.config, scratchFlags, state);
  SpoolRecord r;
  int read = 0;
  while (read < record - 1 && scratchFlags.AbortRun == 0 && SpoolFile.Reader.Read(r)) {
    ++read;
    SpoolFile.RecordCount += 1;
    stepper.Execute(r);
  }
  if (read < record - 1 || scratchFlags.AbortRun != 0) return false;
  // The resume move adds the head and fixture offsets back (RapidToXY).
  ResumeX = static_cast<int32_t>(Nearest(skip.LastStepX() / c.Xscale)) - (state.HeadOffX + state.FixtureOffX);
  ResumeY = static_cast<int32_t>(Nearest(skip.LastStepY() / c.Yscale)) - (state.HeadOffY + state.FixtureOffY);
  ResumeZ = static_cast<int32_t>(Nearest(-skip.LastStepZ() / c.Zscale));
  ResumeSpindle = skip.Spindle;
  Spool = state;
  Run.LineCounter = read;
  ResumePending = true;
  keepSpoolState_ = true;
  return true;
}

bool JobEngines::ResumeGcodeAtLine(int line) {
  if (!source_ || line <= 1 || source_->LineNumber() != 0) return false;
  const ConsoleState& cs = ctx_.console.State;
  const double uf = ctx_.config.Units.UnitsFactor;
  StartGcodeState(Gcode, cs.MachineX, cs.MachineY, cs.MachineZ);
  SkipMachine skip;
  skip.SetLastStep(cs.MachineXSteps, cs.MachineYSteps, cs.MachineZSteps);
  JobRunState scratchRun;
  RunFlags scratchFlags;
  SetGcodeFixture(Gcode, ctx_.offsets.ActiveOffsetX, ctx_.offsets.ActiveOffsetY);
  GcodeReader reader(Gcode, scratchRun, skip, ctx_.config, scratchFlags);
  reader.SetFixtures(&ctx_.offsets);
  while (source_->LineNumber() < line - 1 && scratchFlags.AbortRun == 0) {
    if (!reader.Step(*source_)) break;
  }
  if (scratchFlags.AbortRun != 0 || source_->LineNumber() < line - 1) return false;
  ResumeX = FileUnits(Gcode.PrevX, uf);
  ResumeY = FileUnits(Gcode.PrevY, uf);
  // Z from where the skipped lines left the tool (a drilling cycle, a tool change), as the
  // spooler resume does, not from the last programmed Z.
  const double zScale = ctx_.config.Config.Zscale;
  ResumeZ = zScale > 0 ? static_cast<int32_t>(Nearest(-skip.LastStepZ() / zScale)) : FileUnits(Gcode.PrevZ, uf);
  ResumeSpindle = skip.Spindle;
  Machine.SetLaserSegments(Gcode.LaserMode);
  ResumePending = true;
  keepGcodeState_ = true;
  return true;
}

}  // namespace wendlar
