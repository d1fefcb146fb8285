#include "console/StatusReaction.h"

#include <algorithm>

#include "core/Numbers.h"
#include "link/Commands.h"

namespace wendlar {

namespace {

constexpr int kTaskTimerMs = 100;
constexpr uint8_t kInfoOutputsKind = 255;
constexpr uint8_t kInfoVersionBelow = 111;
constexpr uint8_t kInfoToolBelow = 100;
constexpr int kFirmwareCounters = 61;
constexpr int kFirmwareCornerFinder = 64;
constexpr int kFirmwareLampsInInfo = 100;

// State byte bits.
constexpr uint8_t kRunning = 0x80, kStopButton = 0x40, kOvertravel = 0x20, kStoppedByClick = 0x10;
constexpr uint8_t kBusyBit = 0x08, kDataChecksum = 0x04, kRamChecksum = 0x02, kNotInitialised = 0x01;
// Inputs byte bits.
constexpr uint8_t kInDoor = 0x02, kInServo = 0x04;

bool Has(uint8_t byte, uint8_t bit) { return (byte & bit) != 0; }

}  // namespace

const char* MachineStateText(MachineState state) {
  switch (state) {
    case MachineState::Offline: return "Offline";
    case MachineState::Alarm: return "Alarm";
    case MachineState::Stopped: return "Stopped";
    case MachineState::Paused: return "Paused";
    case MachineState::Running: return "Running";
    case MachineState::Idle: return "Idle";
  }
  return "";
}

std::string InputsString(uint8_t in) {
  std::string s(8, '_');
  if (Has(in, 0x80)) s[0] = 'S';
  if (Has(in, 0x20)) s[1] = 'X';
  if (!Has(in, 0x10)) s[2] = 'Y';
  if (!Has(in, 0x08)) s[3] = 'Z';
  if (!Has(in, 0x40)) s[4] = 'W';
  if (!Has(in, 0x04)) s[5] = 'F';
  if (!Has(in, 0x02)) s[6] = 'L';
  return s;
}

StatusReaction::StatusReaction(EventLoop& loop, Console& console, Link& link, Polling& polling,
                               ControllerReport& report, SpeedTables& tables, CommandSender& sender,
                               const ConfigState& config, RunFlags& flags)
    : loop_(loop),
      console_(console),
      link_(link),
      polling_(polling),
      report_(report),
      tables_(tables),
      sender_(sender),
      config_(config),
      flags_(flags) {
  taskTimer_ = loop_.CreateTimer(kTaskTimerMs, false, [this] { TaskTick(); });
  polling_.SetReceiver(this);
}

StatusReaction::~StatusReaction() { polling_.SetReceiver(nullptr); }

void StatusReaction::RefreshRanCount() {
  // The last count may trail the job's last records; the information report alternates
  // its count with the measured rpm, so ask up to twice for a fresh count.
  const int before = countReports_;
  for (int i = 0; i < 2 && countReports_ == before && link_.PortOpen; ++i) polling_.RequestInfo();
}

void StatusReaction::History(const std::string& text) {
  if (Hooks.AddFaultHistory) Hooks.AddFaultHistory(text);
}

int StatusReaction::BufferFill() const {
  const int head = report_.BufHead, tail = report_.BufTail;
  return head >= tail ? head - tail : report_.BufferSize - (tail - head);
}

void StatusReaction::ShowStatus() {
  ConsoleView& v = console_.View;
  ConsoleState& s = console_.State;
  const uint8_t in = report_.Inputs;
  const uint8_t st = report_.StateByte;
  const uint16_t head = report_.BufHead, tail = report_.BufTail;

  if (Hooks.ShowHeadTail) Hooks.ShowHeadTail(head, tail);
  const int fill = BufferFill();
  v.Gauge1.SetPosition(static_cast<int>(Nearest((fill + 20) / 40.0)));
  // While a job runs, the records waiting also say how long the machine has work for.
  ShortText hint;
  hint.Append("Buffer Ram ");
  hint.AppendInt(fill);
  const double rate = Run.Progress.RecordsPerSecond();
  if (Run.Progress.Running() && rate > 0 && fill > 0) {
    hint.Append(", about ");
    hint.AppendInt(static_cast<int>(Nearest(fill / rate)));
    hint.Append(" s");
  }
  v.Gauge1.SetHint(hint.View());

  const std::string inputs = InputsString(in);
  v.Micros.SetCaption(inputs);
  if (Hooks.ServoEnabled && Hooks.ServoEnabled() && !Has(in, kInServo)) {
    v.ServoF_Lab.SetCaption("Servo Fault");
    if (!s.ServoFault) {
      s.ServoFault = true;
      v.ServoF_Lab.SetVisible(true);
      EnableTask();
      History("Servo Fault");
    }
  }

  if (Hooks.PlasmaMode && Hooks.PlasmaMode()) {
    v.Volt_Hi.SetBackColor(Has(in, kInDoor) ? kSilver : kRed);
    v.Volt_low.SetBackColor(Has(in, kInServo) ? kSilver : kRed);
    v.Volt_good.SetBackColor(Has(in, kInDoor) && Has(in, kInServo) ? kGreen : kSilver);
  }

  if (Hooks.InterlockEnabled && Hooks.InterlockEnabled()) {
    if (!Has(in, kInDoor)) {
      s.DoorOpen = false;
    } else if (!s.DoorOpen) {
      s.DoorOpen = true;
      EnableTask();
    }
  }

  if (!Has(st, kRunning)) {
    if (s.JobActive) FinishJob(false, inputs, st);
    v.Running.SetCaption("Local");
  } else {
    v.Running.SetCaption("Running");
    s.JobActive = true;
  }

  s.InitRequested = false;
  if (!Has(st, kStoppedByClick)) s.HostStop = false;

  if (Has(st, kStopButton)) v.Running.SetCaption("Stop pressed!");
  if (Has(st, kOvertravel)) v.Running.SetCaption("Overtravel!");
  if (Has(st, kStoppedByClick) && !s.DoorOpen && !s.ServoFault && !s.HostStop) {
    v.Running.SetCaption("Stopped by Click");
  }
  if (Has(st, kBusyBit)) {
    s.Busy = true;
    if (Run.ProbeRunning) {
      v.Running.SetCaption("Probing");
    } else {
      v.Dwell_LED.SetBackColor(kLime);
    }
  } else {
    s.Busy = false;
    v.Dwell_LED.SetBackColor(kGray);
  }
  if (Has(st, kDataChecksum)) v.Running.SetCaption("Data sumcheck error");
  if (Has(st, kRamChecksum)) v.Running.SetCaption("Ram sumcheck error");
  if (Has(st, kNotInitialised)) {
    v.Running.SetCaption("Not Initialzed");
    if (!s.Initialising && !s.InitHeld) s.InitRequested = true;
    EnableTask();
  } else if (s.NeedsInitialisation && !s.Initialising && !s.InitHeld && s.Operation == LongOperation::None) {
    // A controller that stayed powered while the host restarted reports itself set up, but
    // not with this host's settings and table: it is set up again like a fresh one.
    s.InitRequested = true;
    EnableTask();
  }
  ShowMachineState();
}

std::string StatusReaction::SetUpBlocked() const {
  const ConsoleState& s = console_.State;
  const uint8_t st = report_.StateByte;
  if (link_.Connected && polling_.Silent()) return "Controller not responding";
  if (Has(st, kStopButton)) return "Stop Button pressed on controller!";
  if (Has(st, kOvertravel)) return "Overtravel " + InputsString(report_.Inputs);
  if (Has(st, kDataChecksum)) return "Data sumcheck error";
  if (Has(st, kRamChecksum)) return "Ram sumcheck error";
  if (s.DoorOpen) return "Door open";
  if (s.ServoFault) return "Servo Fault";
  return {};
}

MachineState StatusReaction::State() const {
  const ConsoleState& s = console_.State;
  const uint8_t st = report_.StateByte;
  if (!link_.Connected || polling_.Silent()) return MachineState::Offline;
  const bool alarm = Has(st, kStopButton) || Has(st, kOvertravel) || Has(st, kDataChecksum) ||
                     Has(st, kRamChecksum) || (Has(st, kNotInitialised) && !s.Initialising) || s.DoorOpen ||
                     s.ServoFault;
  if (alarm) return MachineState::Alarm;
  if (s.Paused) return MachineState::Paused;
  if (Has(st, kRunning) || JobRunning()) return MachineState::Running;
  if (Has(st, kStoppedByClick) && !s.HostStop) return MachineState::Stopped;
  return MachineState::Idle;
}

void StatusReaction::ShowMachineState() {
  const MachineState state = State();
  Control& label = console_.View.Machine_state;
  label.SetCaption(MachineStateText(state));
  switch (state) {
    case MachineState::Offline: label.SetBackColor(kGray); break;
    case MachineState::Alarm: label.SetBackColor(kRed); break;
    case MachineState::Stopped: label.SetBackColor(kMaroon); break;
    case MachineState::Paused: label.SetBackColor(kOlive); break;
    case MachineState::Running: label.SetBackColor(kGreen); break;
    case MachineState::Idle: label.SetBackColor(kSilver); break;
  }
  label.SetFontColor(state == MachineState::Idle ? kBlack : kWhite);
}

bool StatusReaction::JobRunning() const {
  const ConsoleState& s = console_.State;
  return s.Operation == LongOperation::Job || s.JobActive;
}

void StatusReaction::EndJobEarly(const std::string& reason) {
  if (!JobRunning()) return;
  Run.EndedEarly = true;
  if (Run.EndReason.empty()) Run.EndReason = reason;
}

void StatusReaction::ClearPause() {
  console_.State.Paused = false;
  console_.View.Pausebut.SetCaption("Pause");
  ShowMachineState();
}

void StatusReaction::FinishJob(bool hostEnded, const std::string& inputs, uint8_t st) {
  ConsoleView& v = console_.View;
  ConsoleState& s = console_.State;
  flags_.AbortRun = 1;
  ClearPause();
  if (!Run.ToolChangeStop) {
    v.Run_button.SetEnabled(true);
    v.Run_button.SetFontColor(kGreen);
  }
  v.Preview.SetEnabled(true);
  // A stop, a fault, a reset or the host's own end of the job ends it even when the buffer
  // happened to be empty: that job did not complete, and the history must not say it did.
  const bool faulted = Has(st, kStopButton) || Has(st, kOvertravel) || Has(st, kStoppedByClick) ||
                       Has(st, kDataChecksum) || Has(st, kRamChecksum) || Has(st, kNotInitialised);
  // A stop on the controller's side ends every sequence of records under way too, and
  // nothing queued may move the machine once the fault is cleared.
  if (faulted) {
    ++flags_.StopCount;
    // A reset controller may have taken records sent before the host knew, a spindle-on
    // among them: they are stopped and the spindle switched off. A latched fault has
    // stopped the controller already, and its own state text stays in Running.
    link_.StopMotion(Has(st, kNotInitialised));
    sender_.Queue(commands::SpindleOff());
  }
  if (hostEnded || BufferNotEmpty() || faulted || Run.EndedEarly) {
    Run.JobCompleted = false;
    // The first of these is also what a caller without the history names as the cause.
    auto fault = [&](const std::string& text) {
      History(text);
      if (Run.EndFault.empty()) Run.EndFault = text;
    };
    if (Has(st, kStopButton)) fault("Stop Button pressed on controller!");
    if (Has(st, kOvertravel)) fault("Overtravel " + inputs);
    if (Has(st, kDataChecksum)) fault("Data sumcheck error");
    if (Has(st, kRamChecksum)) fault("Ram sumcheck error");
    if (Has(st, kStoppedByClick) && !s.DoorOpen && !s.ServoFault) fault("Stopped by Click");
    if (Has(st, kNotInitialised)) fault("Controller reset: Not Initialzed");
    const std::string& reason = Run.EndReason;
    if (!reason.empty() && reason != "Controller not responding") History(reason);
    // The reason stays where the operator looks; the controller's own faults show in Running.
    v.Progress.SetCaption(reason.empty() ? "Job not completed !" : "Job not completed ! " + reason);
    v.Progress.SetFontColor(kRed);
  } else {
    Run.JobCompleted = true;
    RefreshRanCount();
    Run.Progress.Executed(static_cast<uint32_t>(s.RanCount), loop_.NowUs());
    const std::string counts = std::to_string(s.RanCount) + "/" + std::to_string(s.SentCount);
    History("Completed " + counts);
    v.Progress.SetCaption("Completed " + counts);
    v.Progress.SetFontColor(kBlack);
    if (Run.ToolChangeStop && Run.ToolNumber != 0 && Hooks.ShowToolChangePrompt) Hooks.ShowToolChangePrompt();
  }
  s.JobActive = false;
  Run.Progress.Stop();
  console_.SetConsoleIdle(true);
  ShowMachineState();
  if (Hooks.JobEnded) Hooks.JobEnded();
}

bool StatusReaction::BufferNotEmpty() const { return report_.BufHead != report_.BufTail; }

void StatusReaction::ShowLamp(Control& led, bool on) { led.SetBackColor(on ? kRed : kGray); }

void StatusReaction::ShowInfo() {
  const auto& b = link_.InfoReply;
  ConsoleView& v = console_.View;
  if (b[1] < kInfoVersionBelow) {
    report_.FirmwareVersion = b[0];
    if (!report_.VersionSeen) {
      const bool wide = report_.FirmwareVersion >= kFirmwareWide;
      report_.SpeedSteps = wide ? 250 : 100;
      report_.BufferSize = wide ? 4000 : 4096;
      (void)tables_.BuildSpeedTable(report_.SpeedSteps);  // a table file that cannot be written is no reason to stop
      if (report_.FirmwareVersion > kFirmwareCornerFinder) v.CornerFinder1.SetEnabled(true);
      // The feed index must name an entry of the new table: the label shows what a job uses.
      // Nobody chose one yet (first start): the configured contour velocity.
      if (console_.State.FeedIndex == 0) console_.State.FeedIndex = tables_.VelocityIndexOf(config_.Config.CV_Max);
      console_.State.FeedIndex = std::clamp(console_.State.FeedIndex, 1, report_.SpeedSteps);
      const int feed = console_.State.FeedIndex;
      v.Feedlab.SetCaption(std::to_string(tables_.VelTableX[static_cast<size_t>(feed)]) +
                           config_.Units.SpeedUnits);
      if (Hooks.ShowMaxSpeeds) Hooks.ShowMaxSpeeds("Max speeds " + std::to_string(report_.SpeedSteps));
      report_.VersionSeen = true;
    }
  }
  if (b[1] == kInfoOutputsKind) {
    report_.ActualRpm = b[2] + 256 * b[3];
    v.realrpmlab.SetCaption("Actual " + std::to_string(report_.ActualRpm));
    if (report_.FirmwareVersion >= kFirmwareLampsInInfo) {
      ShowOutputLamps({Has(b[4], 0x01), Has(b[4], 0x02), Has(b[4], 0x04), Has(b[4], 0x08)});
      if (report_.FirmwareVersion >= kFirmwareSpeedInInfo) report_.CurrentSpeedIndex = b[0];
    }
  }
  if (b[1] < kInfoToolBelow && report_.FirmwareVersion >= kFirmwareCounters) {
    report_.ToolNumber = b[1];
    v.Tooln_lab.SetCaption("Tool # " + std::to_string(b[1]));
    console_.State.RanCount = b[2] + 256 * b[3] + 65536 * b[4];
    ++countReports_;
    // The line shown is the one the machine works on, not the last one sent.
    if (Run.Progress.Running()) {
      Run.Progress.Executed(static_cast<uint32_t>(console_.State.RanCount), loop_.NowUs());
      if (Run.Progress.ExecutedLine() > 0) v.Gline_lab.SetCaption("Line # " + std::to_string(Run.Progress.ExecutedLine()));
    }
    v.Progcnt_lab.SetCaption("Sent # " + std::to_string(console_.State.RanCount) + "/" +
                             std::to_string(console_.State.SentCount));
  }
}

void StatusReaction::ShowPositions(int32_t x, int32_t y, int32_t third, bool thirdIsW) {
  console_.ShowVelocity(report_.CurrentSpeedIndex);
  console_.ShowPositions(x, y, third, thirdIsW);
}

void StatusReaction::ShowOutputLamps(const std::array<bool, 4>& on) {
  ConsoleView& v = console_.View;
  ShowLamp(v.Sp1_LED, on[0]);
  ShowLamp(v.SP2_LED, on[1]);
  ShowLamp(v.Aux1_LED, on[2]);
  ShowLamp(v.Aux2_LED, on[3]);
}

void StatusReaction::ShowMemory() {
  if (Hooks.ShowMemory) Hooks.ShowMemory();
}

void StatusReaction::ControllerSilent() {
  ConsoleView& v = console_.View;
  const bool job = JobRunning();
  v.Running.SetCaption("Controller not responding");
  v.Progress.SetCaption("Controller not responding");
  v.Progress.SetFontColor(kRed);
  History("Controller not responding");
  flags_.AbortRun = 1;
  ShowMachineState();
  if (!job) return;
  // The job cannot go on without a controller that answers. Should the controller only be
  // slow, the stop written now reaches it first; the job ends here, not at a report that
  // may never come, so the console and the link can be used again.
  ++flags_.StopCount;
  Run.EndedBySilence = true;
  EndJobEarly("Controller not responding");
  link_.StopMotion();
  FinishJob(true, InputsString(report_.Inputs), 0);
}

void StatusReaction::ControllerBack() {
  if (!Run.EndedBySilence) return;
  Run.EndedBySilence = false;
  // Whatever the controller still holds of the ended job must not run now, and the
  // spindle-off sent into the silence was lost.
  link_.StopMotion();
  sender_.Queue(commands::SpindleOff());
  History("Controller answers again: stopped");
}

void StatusReaction::StopFor(const std::string& runningText) {
  ++flags_.StopCount;
  flags_.AbortRun = 1;
  EndJobEarly(runningText);
  link_.StopMotion();
  // Nothing may keep running behind a door or a failed drive.
  sender_.Queue(commands::SpindleOff());
  sender_.Queue(commands::Aux1(false));
  sender_.Queue(commands::Aux2(false));
  ConsoleState& s = console_.State;
  s.SpindleRunning = false;
  // The buttons are ready to switch on again, as after their own Off.
  s.Spindle1State = 2;
  s.Aux1State = 2;
  s.Aux2State = 2;
  loop_.PumpMessages();
  (void)sender_.WaitPolls(2);
  loop_.PumpMessages();
  loop_.PumpMessages();
  sender_.SendCommand(commands::kStopRelease, 0, 0);
  console_.View.Running.SetCaption(runningText);
}

void StatusReaction::TaskTick() {
  taskTimer_->SetEnabled(false);
  ConsoleState& s = console_.State;
  if (s.InitRequested && Hooks.InitialiseController) Hooks.InitialiseController();
  if (s.DoorOpen && !Run.DoorStopHandled) {
    Run.DoorStopHandled = true;
    StopFor("Stopped by Door Open");
  }
  if (s.ServoFault && !Run.ServoStopHandled) {
    Run.ServoStopHandled = true;
    StopFor("Stopped by Servo Fault");
  }
  taskTimer_->SetEnabled(false);
}

void StatusReaction::ServoF_LabClick() {
  console_.State.ServoFault = false;
  console_.View.ServoF_Lab.SetVisible(false);
}

void StatusReaction::ProgressClick() { console_.View.Progress.SetFontColor(kBlack); }

void StatusReaction::Progcnt_labClick() {
  link_.QueueCommand(commands::ClearProgramCounter());
  loop_.PumpMessages();
}

}  // namespace wendlar
