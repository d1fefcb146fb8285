#include "console/RunControl.h"

#include <cstdint>

#include "link/Commands.h"

namespace wendlar {

namespace {

constexpr size_t kWholeNameMax = 30;
constexpr size_t kNameHead = 5;
constexpr size_t kNameTail = 31;
constexpr int kContinueBelowStop = 50;
constexpr uint8_t kInputsRunBlocked = 0x80;
// A wait for the operator has no time limit; it is checked in slices so a stop or the
// program closing ends it.
constexpr int64_t kOperatorWaitSliceMs = 60000;

constexpr const char* kM00Caption = "M00 detected, Press to Continue";

}  // namespace

std::string ShortJobName(const std::string& path) {
  if (path.size() <= kWholeNameMax) return path;
  return path.substr(0, kNameHead) + "..." + path.substr(path.size() - kNameTail);
}

RunControl::RunControl(EventLoop& loop, Console& console, StatusReaction& status, CommandSender& sender,
                       ManualControl& manual, ControllerReport& report, Prompts& prompts, ConfigState& config,
                       RunFlags& flags)
    : loop_(loop),
      console_(console),
      status_(status),
      sender_(sender),
      manual_(manual),
      report_(report),
      prompts_(prompts),
      config_(config),
      flags_(flags) {}

bool RunControl::ConsoleFree() const { return console_.State.Operation == LongOperation::None; }

bool RunControl::JobRunning() const {
  return console_.State.Operation == LongOperation::Job || console_.State.JobActive;
}

bool RunControl::JobBusy() const {
  // After the engine returns the controller still works through its buffer; a new run
  // would clear that buffer under the running job.
  return !ConsoleFree() || (console_.State.JobActive && sender_.Connected());
}

void RunControl::FileReadyLook() {
  ConsoleView& v = console_.View;
  v.Run_button.SetEnabled(true);
  v.Run_button.SetRaised(true);
  v.Run_button.SetFontColor(kGreen);
  v.Preview.SetEnabled(true);
  v.Preview.SetRaised(true);
}

void RunControl::NoFileLook() {
  ConsoleView& v = console_.View;
  v.Run_button.SetEnabled(false);
  v.Run_button.SetFontColor(kGray);
  console_.State.SpoolFileName = " ";
  console_.State.GcodeFileName = " ";
}

void RunControl::OpenSpoolFile() {
  if (!ConsoleFree()) return;
  console_.LeaveTop();
  FileDialog dialog;
  dialog.Title = "Open QuorLex file";
  dialog.Filter = "QuorLex Spooler|*.VRJ";
  dialog.FileName = "*.VRJ";
  dialog.DefaultExt = "VRJ";
  dialog.InitialDir = Hooks.SpoolerFolder ? Hooks.SpoolerFolder() : std::string();
  if (auto path = prompts_.OpenFile(dialog)) {
    (void)ChooseSpoolFile(*path);
  } else {
    NoFileLook();
  }
  console_.RestoreTop();
}

bool RunControl::ChooseSpoolFile(const std::string& path) {
  ConsoleState& s = console_.State;
  status_.Run.JobCompleted = true;
  s.JobCompleted = true;
  s.GcodeReady = false;
  FileReadyLook();
  s.SpoolFileName = path;
  if (runner_ != nullptr) runner_->CloseSpoolFile();
  s.SpoolReady = runner_ != nullptr && runner_->ScanSpoolFile(path);
  status_.Run.JobDisplayName = path;
  if (Hooks.JobLoaded) Hooks.JobLoaded(s.SpoolReady ? path : std::string(), true);
  return s.SpoolReady;
}

void RunControl::OpenGcodeFile() {
  if (!ConsoleFree()) return;
  console_.LeaveTop();
  FileDialog dialog;
  dialog.Title = "Open Gcode file";
  dialog.Filter = "Gcode ( nc)|*.nc|Gcode (tap) |*.tap";
  dialog.FileName = "*.NC";
  dialog.DefaultExt = "NC";
  dialog.InitialDir = Hooks.GcodeFolder ? Hooks.GcodeFolder() : std::string();
  if (auto path = prompts_.OpenFile(dialog)) {
    console_.State.GcodeFileName = *path;
    (void)PrepareGcodeFile(*path);
  } else {
    NoFileLook();
  }
  console_.RestoreTop();
}

bool RunControl::PrepareGcodeFile(const std::string& path) {
  ConsoleState& s = console_.State;
  ConsoleView& v = console_.View;
  if (s.DebugLog && Hooks.CreateDebugFile) Hooks.CreateDebugFile();
  s.SpoolReady = false;
  s.GcodeFileName = path;
  v.Run_button.SetFontColor(kGreen);
  v.Run_button.SetRaised(true);
  console_.CodeLines.Clear();
  if (runner_ != nullptr) runner_->CloseGcodeFile();
  if (runner_ == nullptr || !runner_->PrepareGcodeFile(path)) {
    s.GcodeReady = false;
    v.Run_button.SetEnabled(false);
    v.Preview.SetEnabled(false);
  } else {
    s.GcodeReady = true;
    v.Run_button.SetEnabled(true);
    v.Preview.SetEnabled(true);
    v.Preview.SetRaised(true);
    config_.ToolAboveWorkNow = config_.Config.Tool_above_work;
    runner_->ResetRunCounters();
  }
  status_.Run.JobDisplayName = ShortJobName(path);
  v.Progress.SetCaption(status_.Run.JobDisplayName);
  v.Progress.SetFontColor(kBlack);
  if (Hooks.JobLoaded) Hooks.JobLoaded(s.GcodeReady ? path : std::string(), false);
  return s.GcodeReady;
}

void RunControl::Run_buttonMouseUp(bool leftButton) {
  if (!leftButton || (report_.Inputs & kInputsRunBlocked) != 0) return;
  RunJob();
}

void RunControl::RunJob() {
  ConsoleState& s = console_.State;
  ConsoleView& v = console_.View;
  if (JobBusy()) return;
  if (!sender_.Connected()) {
    v.Progress.SetCaption("Controller not connected");
    v.Progress.SetFontColor(kRed);
    return;
  }
  OperationGuard guard(s, LongOperation::Job);

  if (v.Run_button.Caption() != "Run") v.Run_button.SetCaption("Run");
  status_.Run.ToolChangeStop = false;
  if (runner_ != nullptr) runner_->ResetRunCounters();
  s.SentCount = 0;
  v.Progress.SetFontColor(kBlack);
  loop_.PumpMessages();

  manual_.Speeds.SendOverrides();

  if (s.DoorOpen || s.ServoFault) {
    if (s.DoorOpen) prompts_.Warning("Door open Interlock");
    if (s.ServoFault) prompts_.Warning("Clear Servo Fault");
    return;
  }
  status_.Run.DoorStopHandled = false;
  status_.Run.ServoStopHandled = false;
  if (Hooks.DebugFileEnabled && Hooks.DebugFileEnabled()) s.DebugLog = true;
  if (v.Limitswitchdisable1.Checked() && prompts_.AskYesNo("Limit switches are Disabled, Enable them?") &&
      Hooks.EnableLimits) {
    Hooks.EnableLimits();
  }
  // A stop of an earlier run must not end this run's table read before it starts.
  flags_.AbortRun = 0;
  if (Hooks.ReadControllerTable && !Hooks.ReadControllerTable()) {
    v.Progress.SetCaption("Controller table read failed");
    v.Progress.SetFontColor(kRed);
    s.DebugLog = false;
    return;
  }
  status_.Run.EndedEarly = false;
  status_.Run.EndReason.clear();
  status_.Run.EndFault.clear();

  bool ran = false;
  if (s.JobMode == 2) {
    console_.SetConsoleIdle(false);
    if (!s.GcodeReady && s.GcodeFileName != " ") (void)PrepareGcodeFile(s.GcodeFileName);
    v.Run_button.SetEnabled(false);
    v.Run_button.SetFontColor(kGray);
    v.Progress.SetCaption(status_.Run.JobDisplayName);
    if (s.GcodeReady && runner_ != nullptr && runner_->PreflightJob()) {
      if (Hooks.AddFaultHistory) Hooks.AddFaultHistory(status_.Run.JobDisplayName);
      runner_->RunGcodeJob();
      ran = true;
    }
  } else {
    v.Run_button.SetEnabled(false);
    v.Run_button.SetFontColor(kGray);
    console_.SetConsoleIdle(false);
    if (!s.SpoolReady && s.SpoolFileName != " " && runner_ != nullptr) {
      s.SpoolReady = runner_->ScanSpoolFile(s.SpoolFileName);
      status_.Run.JobDisplayName = s.SpoolFileName;
    }
    v.Progress.SetCaption(status_.Run.JobDisplayName);
    if (s.SpoolReady && runner_ != nullptr && runner_->PreflightJob()) {
      if (Hooks.AddFaultHistory) Hooks.AddFaultHistory(status_.Run.JobDisplayName);
      runner_->RunSpoolJob();
      ran = true;
    }
  }
  // Nothing ran: the console must not stay in its running look.
  if (!ran) console_.SetConsoleIdle(true);
  s.DebugLog = false;
}

void RunControl::TogglePause() {
  ConsoleState& s = console_.State;
  // Pausing holds a job; with no job there is nothing to hold, and a pause left behind would
  // turn the next job's first Pause into a resume.
  if (!s.Paused && !JobRunning()) return;
  if (!s.Paused) {
    sender_.SendNow(commands::Pause());
    s.Paused = true;
    console_.View.Pausebut.SetCaption("Paused");
  } else {
    sender_.SendCommand(commands::kPause, 0, 0);
    s.Paused = false;
    console_.View.Pausebut.SetCaption("Pause");
  }
  status_.ShowMachineState();
}

void RunControl::PausebutMouseDown() { console_.View.Pausebut.SetRaised(false); }

void RunControl::PausebutMouseUp() {
  console_.View.Pausebut.SetRaised(true);
  TogglePause();
}

void RunControl::CloseConsole(bool connected) {
  const ConsoleState& s = console_.State;
  if (connected && (s.Operation == LongOperation::Job || s.JobActive)) EmergencyStop();
  console_.Close(connected);
}

void RunControl::EmergencyStop() {
  ConsoleState& s = console_.State;
  ConsoleView& v = console_.View;
  // The flag and the stop record come first: whatever is queued or being sent at this
  // moment must not move the machine after the stop.
  ++flags_.StopCount;
  flags_.AbortRun = 1;
  s.HostStop = false;
  if (JobRunning()) status_.Run.EndedEarly = true;
  sender_.LinkRef().StopMotion();
  (void)sender_.WaitPolls(2);
  (void)sender_.WaitPolls(2);
  manual_.Out.SpindleOff();
  status_.ClearPause();
  console_.SetConsoleIdle(true);
  status_.Run.DoorStopHandled = false;
  status_.Run.ServoStopHandled = false;

  if (s.SpoolReady || s.GcodeReady) {
    if (s.JobMode != 2) {
      v.Run_button.SetCaption("Run");
      status_.Run.ToolChangeStop = false;
      if (!s.SpoolReady && runner_ != nullptr) {
        s.SpoolReady = runner_->ScanSpoolFile(s.SpoolFileName);
        v.Run_button.SetEnabled(true);
      }
    } else {
      if (status_.Run.ToolChangeStop) {
        // The job waits for a tool change that will not come: it is cancelled.
        if (runner_ != nullptr) runner_->CloseGcodeFile();
        s.GcodeReady = false;
        v.Run_button.SetCaption("Run");
      }
      status_.Run.ToolChangeStop = false;
      // A named file is prepared again by Run, so Run stays usable after a cancel too.
      if (s.GcodeReady || s.GcodeFileName != " ") v.Run_button.SetEnabled(true);
    }
    v.Run_button.SetFontColor(kGreen);
  }
  if (s.DebugLog && Hooks.CloseDebugFile) Hooks.CloseDebugFile();
}

void RunControl::ShowContinue(const std::string& caption) {
  ConsoleView& v = console_.View;
  v.Form.SetHeight(console_.State.ConsoleHeight + kContinueExtraHeight);
  v.Continue.SetCaption(caption);
  v.Continue.SetTop(v.Estopbut.Top() + kContinueBelowStop);
  v.Continue.SetVisible(true);
}

void RunControl::HideContinue() {
  console_.View.Continue.SetVisible(false);
  console_.View.Form.SetHeight(console_.State.ConsoleHeight);
}

void RunControl::WaitForContinue() {
  console_.View.Run_button.SetFontColor(kGray);
  ShowContinue(kM00Caption);
  ContinuePressed = false;
  auto done = [&] { return ContinuePressed || flags_.StopWaiting(); };
  while (!done()) {
    const int64_t start = loop_.NowUs();
    if (!loop_.WaitUntil(done, kOperatorWaitSliceMs) && loop_.IsVirtual() &&
        loop_.NowUs() - start < kOperatorWaitSliceMs * 1000) {
      // Nothing left on the virtual clock can press Continue: end the wait as a stop.
      flags_.AbortRun = 1;
    }
  }
  HideContinue();
}

void RunControl::ContinueJob() {
  ConsoleView& v = console_.View;
  ContinuePressed = true;
  HideContinue();
  if (status_.Run.ToolChangeStop) {
    v.Run_button.SetCaption("Continue");
    v.Run_button.SetEnabled(true);
  } else {
    v.Run_button.SetCaption("Run");
  }
  v.Run_button.SetFontColor(kGreen);
}

void RunControl::ShowToolChangePrompt() {
  ContinuePressed = false;  // a new question: an earlier Continue does not answer it
  console_.View.Run_button.SetFontColor(kGray);
  ShowContinue("Change Tool to #" + std::to_string(status_.Run.ToolNumber) + "Set new Z, then Coninue");
}

void RunControl::EndGcodeJob() {
  if (runner_ != nullptr) runner_->CloseGcodeFile();
  console_.State.GcodeReady = false;
}

void RunControl::EndSpoolJob() {
  if (runner_ != nullptr) runner_->CloseSpoolFile();
  console_.State.SpoolReady = false;
}

void RunControl::PreviewMouseDown() { console_.View.Preview.SetRaised(false); }

void RunControl::PreviewClick() {
  ConsoleView& v = console_.View;
  v.Preview.SetRaised(true);
  if (!v.Preview.Enabled() || !ConsoleFree()) return;
  if (Hooks.ShowPreview) Hooks.ShowPreview(console_.State.JobMode);
}

void RunControl::QuorlexModeClick() {
  if (ConsoleFree() && Hooks.ChooseJobMode) Hooks.ChooseJobMode(1);
}

void RunControl::GcodeModeClick() {
  if (ConsoleFree() && Hooks.ChooseJobMode) Hooks.ChooseJobMode(2);
}

}  // namespace wendlar
