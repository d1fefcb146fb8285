#include "system/SystemAdapters.h"

#include "system/System.h"

namespace wendlar {

// --- ConsoleSettingsAdapter ---

int ConsoleSettingsAdapter::JobMode() const { return s_.console.State.JobMode; }

void ConsoleSettingsAdapter::ChooseJobMode(int mode) {
  if (mode == 2) {
    s_.console.GcodeModeClick();
  } else {
    s_.console.QuorlexModeClick();
  }
  s_.console.View.Run_button.SetEnabled(false);
  s_.console.View.Run_button.SetFontColor(kGray);
}

int ConsoleSettingsAdapter::FeedIndex() const { return s_.console.State.FeedIndex; }
void ConsoleSettingsAdapter::SetFeedIndex(int index) { s_.console.State.FeedIndex = index; }
int ConsoleSettingsAdapter::SpeedSteps() const { return s_.report.VersionSeen ? s_.report.SpeedSteps : 0; }
int ConsoleSettingsAdapter::SpindleRpm() const { return s_.console.State.SpindleRpm; }
void ConsoleSettingsAdapter::SetSpindleRpm(int rpm) { s_.console.State.SpindleRpm = rpm; }
void ConsoleSettingsAdapter::SetFeedCaption(const std::string& text) { s_.console.View.Feedlab.SetCaption(text); }
void ConsoleSettingsAdapter::SetRpmCaption(const std::string& text) { s_.console.View.Rpmlab.SetCaption(text); }
bool ConsoleSettingsAdapter::UseFeed() const { return s_.console.View.Use_feed.Checked(); }

void ConsoleSettingsAdapter::SetUseFeed(bool checked) {
  s_.console.View.Use_feed.SetChecked(checked);
  s_.console.View.Feedlab.SetFontColor(checked ? kBlack : kGray);
}

bool ConsoleSettingsAdapter::UseRpm() const { return s_.console.View.Use_rpm.Checked(); }

void ConsoleSettingsAdapter::SetUseRpm(bool checked) {
  s_.console.View.Use_rpm.SetChecked(checked);
  s_.console.View.Rpmlab.SetFontColor(checked ? kBlack : kGray);
}

// The port radios of the environment window only matter to the old serial cards; the
// connection window chooses the USB port itself.
void ConsoleSettingsAdapter::SelectPort(int) {}

int ConsoleSettingsAdapter::WindowTop() const { return s_.console.View.Form.Top(); }
int ConsoleSettingsAdapter::WindowLeft() const { return s_.console.View.Form.Left(); }
void ConsoleSettingsAdapter::SetWindowTop(int top) { s_.console.View.Form.SetTop(top); }
void ConsoleSettingsAdapter::SetWindowLeft(int left) { s_.console.View.Form.SetLeft(left); }
int ConsoleSettingsAdapter::JogMode() const { return s_.console.State.JogMode; }
void ConsoleSettingsAdapter::SetJogSpeed(int speed) { s_.console.State.JogSpeed = speed; }
void ConsoleSettingsAdapter::ShowWAxis(bool shown) { s_.console.ShowWAxis(shown); }

void ConsoleSettingsAdapter::ShowActiveOffset(int fixture, double x, double y) {
  s_.console.ShowActiveOffset(fixture, x, y);
}

void ConsoleSettingsAdapter::EnableToolTouchPad(bool enabled) { s_.console.View.ToolTouchpad1.SetEnabled(enabled); }
void ConsoleSettingsAdapter::SetPlasmaPanel(const PlasmaRow& row) { s_.manual.Speeds.SetPlasmaPanel(row); }
void ConsoleSettingsAdapter::RestoreTop() { s_.console.RestoreTop(); }

// --- MachineAdapter ---

void MachineAdapter::SendCommand(const CommandRecord& record) { s_.sender.Send(record); }
void MachineAdapter::SendSpindleSpeed(int rpm) { s_.manual.Out.SendSpindleSpeed(rpm); }
void MachineAdapter::InitialiseController() { (void)s_.initialisation.InitialiseController(); }

void MachineAdapter::RebuildSpeedTable() {
  s_.report.VersionSeen = false;
  s_.status.ShowInfo();
}

int MachineAdapter::MaxSpeedValue() const { return s_.tables.MaxSpeedValue; }
int32_t MachineAdapter::MachineXSteps() const { return s_.console.State.MachineXSteps; }
int32_t MachineAdapter::MachineYSteps() const { return s_.console.State.MachineYSteps; }

void MachineAdapter::MoveZNow(int32_t zSteps, uint8_t speedIndex, bool wait) {
  (void)s_.manual.Motion.MoveZ(zSteps, speedIndex, wait);
}

int MachineAdapter::SpeedIndexOf(int velocity) const { return s_.tables.SpeedIndexOf(velocity); }
void MachineAdapter::SendOverrides() { s_.manual.Speeds.SendOverrides(); }
void MachineAdapter::SetUpFourthAxis() { s_.setup.SendFourthAxisMode(); }
bool MachineAdapter::ReadControllerTable() { return s_.tableRead.ReadControllerTable(); }
bool MachineAdapter::InterlockEnabled() const { return s_.setup.View.Interlock_enable.Checked(); }
bool MachineAdapter::AutoSpindleStopChecked() const { return s_.setup.View.Auto_Spindle_Stop.Checked(); }

std::string MachineAdapter::SetUpBlocked() const { return s_.status.SetUpBlocked(); }

void MachineAdapter::AddFaultHistory(const std::string& text) { s_.jumpbox.AddFaultHistory(text); }

// --- MotionAdapter ---

void MotionAdapter::QueueCommand(const CommandRecord& record) { s_.link.QueueCommand(record); }

void MotionAdapter::QueueFromLine(const CommandRecord& record, int32_t line) {
  const int32_t current = s_.link.RecordTag;
  s_.link.RecordTag = line;
  s_.link.QueueCommand(record);
  s_.link.RecordTag = current;
}
bool MotionAdapter::Connected() const { return s_.link.Connected; }
uint16_t MotionAdapter::BufHead() const { return s_.report.BufHead; }
uint16_t MotionAdapter::BufTail() const { return s_.report.BufTail; }
int MotionAdapter::BufferSize() const { return s_.report.BufferSize; }
bool MotionAdapter::PollWhileWaiting() { return s_.polling.PollWhileWaiting(); }
bool MotionAdapter::UseFeed() const { return s_.console.View.Use_feed.Checked(); }
int MotionAdapter::FeedIndex() const { return s_.console.State.FeedIndex; }
int MotionAdapter::JobMode() const { return s_.console.State.JobMode; }
double MotionAdapter::CurrentFeed() const { return GcodeFeed ? GcodeFeed() : 0.0; }
int MotionAdapter::SpoolXYFeed() const { return SpoolXY ? SpoolXY() : 0; }
int MotionAdapter::SpoolZFeed() const { return SpoolZ ? SpoolZ() : 0; }

// --- LinkEventsAdapter ---

void LinkEventsAdapter::ConsoleConnected(bool connected) {
  ConsoleView& v = s_.console.View;
  v.Functions1.SetEnabled(connected);
  if (connected) {
    s_.console.State.NeedsInitialisation = true;
    s_.console.State.InitHeld = false;
    v.Running.SetCaption("Local");
    s_.console.SetConsoleIdle(true);
  } else {
    v.Running.SetCaption("Not connected");
  }
  s_.status.ShowMachineState();
}

bool LinkEventsAdapter::LinkChangeAllowed() const {
  const ConsoleState& state = s_.console.State;
  return state.Operation == LongOperation::None && !state.JobActive;
}

bool LinkEventsAdapter::SaveEnvironment() {
  std::string why;
  if (s_.environment.SaveEnvironment(&why)) return true;
  s_.ReportWriteError(std::string("Cannot save ") + kEnvironmentFile + ": " + why);
  return false;
}

void LinkEventsAdapter::ShowTransferSpeed(const std::string& caption, int position, Color color) {
  Control& bar = s_.console.View.usbspdBar1;
  bar.SetBackColor(color);
  if (!caption.empty()) bar.SetCaption(caption);
  if (position >= 0) bar.SetPosition(position);
}

void LinkEventsAdapter::ShowTableProgress(const std::string& text) { s_.console.View.Progress.SetCaption(text); }
void LinkEventsAdapter::SetTableProgressColor(Color color) { s_.console.View.Progress.SetFontColor(color); }
void LinkEventsAdapter::AddTableLine(const std::string& line) { s_.console.View.Com_list.AddItem(line); }

}  // namespace wendlar
