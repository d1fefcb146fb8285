#include "job/ConsoleJobMachine.h"

#include "link/Commands.h"

namespace wendlar {

ConsoleJobMachine::ConsoleJobMachine(ManualControl& manual, Link& link, Console& console, SegmentBuffer& buffer,
                                     SpeedTables& tables, RunFlags& flags)
    : BufferedJobMachine(buffer, tables),
      manual_(manual),
      link_(link),
      console_(console),
      segments_(buffer),
      speedTables_(tables),
      flags_(flags) {}

void ConsoleJobMachine::StartCounting() {
  countedPackets_ = Buffer().PacketsSent;
  lastMessage_.clear();
}

void ConsoleJobMachine::CountPackets() {
  const uint32_t now = Buffer().PacketsSent;
  if (link_.Connected) console_.State.SentCount += static_cast<int>(now - countedPackets_);
  countedPackets_ = now;
}

void ConsoleJobMachine::QueueMove(int32_t x, int32_t y, int32_t z, double speed) {
  if (Stopped()) return;
  BufferedJobMachine::QueueMove(x, y, z, speed);
  CountPackets();  // a full buffer flushes by itself
}

void ConsoleJobMachine::QueueMoveW(int32_t x, int32_t y, int32_t w, double speed) {
  if (Stopped()) return;
  BufferedJobMachine::QueueMoveW(x, y, w, speed);
  CountPackets();
}

void ConsoleJobMachine::FlushSegments() {
  BufferedJobMachine::FlushSegments();
  CountPackets();
}

void ConsoleJobMachine::QueueCommand(const CommandRecord& record) {
  if (Stopped() && record.Code() != commands::kEndOfJob) return;
  link_.QueueCommand(record);
  if (link_.Connected && (record.Code() == commands::kCommand54 || record.Code() == commands::kEndOfJob)) {
    ++console_.State.SentCount;
  }
}

void ConsoleJobMachine::RapidXY(int32_t x, int32_t y) {
  if (!Stopped()) (void)manual_.Motion.RapidXY(x, y);
}

void ConsoleJobMachine::MoveZ(int32_t z, int speedIndex, bool wait) {
  if (!Stopped()) (void)manual_.Motion.MoveZ(z, static_cast<uint8_t>(speedIndex), wait);
}

void ConsoleJobMachine::MoveW(int32_t wSteps, int speedIndex, bool wait) {
  if (!Stopped()) (void)manual_.Motion.MoveW(wSteps, static_cast<uint8_t>(speedIndex), wait);
}

void ConsoleJobMachine::HomeW() {
  if (!Stopped()) (void)manual_.Motion.HomeWMacro();
}

void ConsoleJobMachine::SendKnifeAngle(int32_t dx, int32_t dy) {
  if (!Stopped()) Buffer().SendKnifeAngle(dx, dy);
}

void ConsoleJobMachine::Dwell(double seconds) {
  if (!Stopped()) manual_.Out.Dwell(seconds);
}

void ConsoleJobMachine::SpindleOn(int output) {
  if (!Stopped()) manual_.Out.SpindleOn(static_cast<uint8_t>(output));
}

void ConsoleJobMachine::SpindleOff() {
  // Switching off is always allowed: it is part of every stop.
  manual_.Out.SpindleOff();
  if (link_.Connected) ++console_.State.SentCount;
}

bool ConsoleJobMachine::SpindleRunning() const { return console_.State.SpindleRunning; }

void ConsoleJobMachine::SetAux1(bool on) {
  if (!Stopped() || !on) manual_.Out.SetAux1(on);
}

void ConsoleJobMachine::SetAux2(bool on) {
  if (!Stopped() || !on) manual_.Out.SetAux2(on);
}

void ConsoleJobMachine::SetLaser(bool on) {
  if (!Stopped() || !on) manual_.Out.SetLaser(on);
}

void ConsoleJobMachine::SetJobSpindleSpeed(int rpm) {
  if (!Stopped()) manual_.Out.SetJobSpindleSpeed(rpm);
}

void ConsoleJobMachine::WaitForContinue() {
  if (!Stopped() && Hooks.WaitForContinue) Hooks.WaitForContinue();
}

void ConsoleJobMachine::ShowFixture(int number, double x, double y) { console_.ShowActiveOffset(number, x, y); }

void ConsoleJobMachine::ShowFeedLabel(const std::string& text) { console_.View.Feedlab.SetCaption(text); }
void ConsoleJobMachine::ShowLineCounter(int) {
  // The label follows the line the controller executes (the status reaction shows it);
  // what the engine reads now only tags the records it produces.
  const int32_t line = Hooks.CurrentLine ? Hooks.CurrentLine() : 0;
  segments_.LineTag = line;
  link_.RecordTag = line;
}
void ConsoleJobMachine::ShowCodeLine(const std::string& text) { console_.CodeLines.Add(text); }

void ConsoleJobMachine::ShowMessage(const std::string& text) {
  lastMessage_ = text;
  console_.CodeLines.Add(text);
  console_.View.Com_list.AddItem(text);
}

void ConsoleJobMachine::ClearCodeLines() { console_.CodeLines.Clear(); }
void ConsoleJobMachine::AddComList(const std::string& text) { console_.View.Com_list.AddItem(text); }

void ConsoleJobMachine::EnableRun() { console_.View.Run_button.SetEnabled(true); }

void ConsoleJobMachine::ShowRunError(const std::string& caption) {
  ConsoleView& v = console_.View;
  v.Run_button.SetCaption(caption);
  v.Run_button.SetEnabled(false);
  v.Preview.SetEnabled(false);
}

void ConsoleJobMachine::StartDebugLog() {
  if (Hooks.StartDebugLog) Hooks.StartDebugLog();
}

bool ConsoleJobMachine::UseFeed() const { return console_.View.Use_feed.Checked(); }
bool ConsoleJobMachine::UseRpm() const { return console_.View.Use_rpm.Checked(); }
int ConsoleJobMachine::SpindleRpm() const { return console_.State.SpindleRpm; }
bool ConsoleJobMachine::PauseonM0() const { return Hooks.PauseonM0 && Hooks.PauseonM0(); }

int ConsoleJobMachine::FeedSpeedIndex() const { return speedTables_.FeedSpeedIndex(); }
int ConsoleJobMachine::PlungeSpeedIndex() const { return segments_.PlungeSpeedIndex(); }
void ConsoleJobMachine::ShowRpm(int rpm) { console_.View.Rpmlab.SetCaption("Rpm " + std::to_string(rpm)); }
bool ConsoleJobMachine::KnifeMode() const { return Hooks.KnifeMode && Hooks.KnifeMode(); }
bool ConsoleJobMachine::SecondHeadMachine() const { return Hooks.SecondHeadMachine && Hooks.SecondHeadMachine(); }

}  // namespace wendlar
