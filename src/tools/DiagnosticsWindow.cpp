#include "tools/DiagnosticsWindow.h"

#include <charconv>
#include <cstdio>
#include <vector>

#include "link/Commands.h"
#include "link/Wire.h"

namespace wendlar {

namespace {

constexpr int kOldFirmware = 35;  // below: no variable sets, only the buffer report
constexpr uint8_t kVariableSetMemory = 0;
constexpr uint8_t kVariableSetState = 3;
constexpr uint8_t kVariableSetCounter = 4;
constexpr int kPumpsAfterRead = 3;
// How long a queued record may wait for its link tick, and a reply line for its end.
constexpr int64_t kQueueSendMs = 500;
constexpr int64_t kReplyLineMs = 200;

constexpr const char* kStateNames[11] = {"Three      ", "Config     ", "Spinstat   ", "Statis     ",
                                         "Inputs     ", "Estop      ", "Wcfg       ", "IF573b     ",
                                         "v2_573b    ", "dirxyz     ", "acc_t      "};
constexpr const char* kCounterNames[4] = {"prog_cntr_4 ", "prog_cntr_l ", "prog_cntr_m ", "prog_cntr_h "};


std::optional<uint16_t> ParseWord(const std::string& text) {
  size_t b = text.find_first_not_of(' ');
  size_t e = text.find_last_not_of(' ');
  if (b == std::string::npos) return std::nullopt;
  unsigned value = 0;
  const char* first = text.data() + b;
  const char* last = text.data() + e + 1;
  const auto [ptr, ec] = std::from_chars(first, last, value);
  if (ec != std::errc() || ptr != last || value > 0xFFFF) return std::nullopt;
  return static_cast<uint16_t>(value);
}

}  // namespace

std::array<uint8_t, 12> RamTestPattern(int n) {
  const CommandRecord r = commands::RamTestFill(n);
  std::array<uint8_t, 12> bytes{};
  for (int i = 0; i < 11; ++i) bytes[static_cast<size_t>(i)] = r.B(i);
  bytes[11] = PacketChecksum(r);
  return bytes;
}

TTest::TTest(CommandSender& sender, Polling& polling, ControllerReport& report, Console& console, RunFlags& flags,
             const HomeDir& home)
    : sender_(sender), polling_(polling), report_(report), console_(console), flags_(flags), home_(home) {
  View.Form.SetCaption("Diagnostics");
  View.Form.SetVisible(false);
  View.head_val.SetCaption("0");
  View.tail_val.SetCaption("0");
}

void TTest::Show() {
  View.Pic_version.SetCaption("Processor Version " + std::to_string(report_.FirmwareVersion));
  View.Picdate.SetCaption("ID  P" + std::to_string(report_.FirmwareVersion) + "  " +
                          std::to_string(report_.SpeedSteps) + "  " + std::to_string(report_.BufferSize));
  View.Form.SetVisible(true);
}

void TTest::CloseitClick() {
  stopTest_ = true;
  View.Form.SetVisible(false);
}

bool TTest::Busy() const {
  const ConsoleState& s = console_.State;
  return s.Operation != LongOperation::None || s.JobActive;
}

bool TTest::LinkUp() const { return sender_.Connected() && polling_.LinkPolling(); }

bool TTest::QueueAndSend(const CommandRecord& record) {
  sender_.Send(record);
  Link& l = link();
  return l.Loop().WaitUntil([&] { return !l.CommandPending() || flags_.Closing || !l.Connected; }, kQueueSendMs) &&
         !l.CommandPending();
}

void TTest::ReadUntilReply() {
  Link& l = link();
  if (l.LastReply.size() >= 2) return;
  (void)l.Loop().WaitUntil(
      [&] {
        l.ReadReplyLine();
        return l.LastReply.size() >= 2 || flags_.Closing;
      },
      kReplyLineMs);
}

void TTest::Read_VarsClick() {
  OperationGuard guard(console_.State, LongOperation::ServiceTest);
  View.vars.ClearItems();
  if (!guard.Acquired() || console_.State.JobActive) {
    View.vars.AddItem(kServiceBusyText);
    return;
  }
  Link& l = link();
  if (report_.FirmwareVersion < kOldFirmware) {
    View.vars.AddItem("PIC version < 3.6");
    // The buffer report carries the state and input bytes on this firmware.
    polling_.RequestBufferStatus();
    View.vars.AddItem("Statis   " + std::to_string(l.BufferReply[5]));
    View.vars.AddItem("Inputs   " + std::to_string(l.BufferReply[4]));
    return;
  }
  (void)l.ReadVariables(kVariableSetState);
  for (int i = 0; i < kPumpsAfterRead; ++i) l.Loop().PumpMessages();
  for (size_t i = 0; i < 11; ++i) View.vars.AddItem(kStateNames[i] + std::to_string(l.IoReply[i]));
}

void TTest::Read_TailClick() {
  OperationGuard guard(console_.State, LongOperation::ServiceTest);
  if (!guard.Acquired() || console_.State.JobActive) {
    View.vars.SetItems({kServiceBusyText});
    return;
  }
  Link& l = link();
  PollingHeld held(polling_);
  (void)QueueAndSend(commands::ReadTail());
  l.Loop().PumpMessages();
  l.IoReply.fill(0xFF);
  View.vars.ClearItems();
  if (report_.FirmwareVersion < kOldFirmware) return;
  (void)l.ReadVariables(kVariableSetMemory);
  for (int i = 0; i < kPumpsAfterRead; ++i) l.Loop().PumpMessages();
  for (uint8_t b : l.IoReply) View.vars.AddItem("   " + std::to_string(b));
}

void TTest::Read_Prog_cntClick() {
  OperationGuard guard(console_.State, LongOperation::ServiceTest);
  View.vars.ClearItems();
  if (!guard.Acquired() || console_.State.JobActive) {
    View.vars.AddItem(kServiceBusyText);
    return;
  }
  if (report_.FirmwareVersion < kOldFirmware) return;
  Link& l = link();
  (void)l.ReadVariables(kVariableSetCounter);
  const auto& b = l.IoReply;
  for (size_t i = 0; i < 4; ++i) View.vars.AddItem(kCounterNames[i] + std::to_string(b[i]));
  View.vars.AddItem("Prog Line   " + std::to_string(b[1] + 256 * b[2] + 65536 * b[3]));
}

void TTest::Button2Click() {
  sender_.Send(commands::ClearProgramCounter());
  link().Loop().PumpMessages();
}

void TTest::Button1Click() { sender_.Send(commands::ReadTail()); }

void TTest::Set_HTClick() {
  const auto head = ParseWord(View.head_val.Caption());
  const auto tail = ParseWord(View.tail_val.Caption());
  if (!head || !tail) {
    View.vars.AddItem("Head and tail must be whole numbers 0..65535");
    return;
  }
  // Moving the ring's pointers under a running job would run or skip its records.
  if (Busy()) {
    View.vars.AddItem(kServiceBusyText);
    return;
  }
  sender_.Send(commands::SetHeadTail(*head, *tail));
}

TestEnd TTest::DatatransClick() {
  OperationGuard guard(console_.State, LongOperation::ServiceTest);
  if (!guard.Acquired() || console_.State.JobActive) {
    View.Err_list.AddItem(kServiceBusyText);
    return TestEnd::Refused;
  }
  Link& l = link();
  const StopMark mark(flags_);
  stopTest_ = false;
  View.Datatrans.SetEnabled(false);
  int errors = 0;
  TestEnd end = TestEnd::Done;
  for (int block = 1; block <= kTransferBlocks; ++block) {
    if (stopTest_ || flags_.StopWaiting() || mark.Stopped()) {
      end = TestEnd::Stopped;
      break;
    }
    if (!sender_.Connected() || polling_.Silent()) {
      end = TestEnd::LinkLost;
      break;
    }
    // A reply that never decoded must count as an error, not pass with the last block's bytes.
    l.IoReply.fill(0xFF);
    (void)l.ReadVariables(kVariableSetMemory);
    polling_.CheckSilence();
    bool bad = false;
    for (uint8_t b : l.IoReply) bad = bad || b != 0;
    if (bad) {
      ++errors;
      View.Err_list.AddItem("------ " + std::to_string(block));
      for (uint8_t b : l.IoReply) View.Err_list.AddItem("0 " + std::to_string(b));
    }
    View.Blocks_lab.SetCaption("Blocks sent " + std::to_string(block));
    View.Errors_lab.SetCaption("Errors " + std::to_string(errors));
    View.Status_lab.SetCaption("Status " + std::to_string(l.BufferReply[5]));
    l.Loop().PumpMessages();
  }
  View.Datatrans.SetEnabled(true);
  return end;
}

TestEnd TTest::Ram_testClick() {
  OperationGuard guard(console_.State, LongOperation::ServiceTest);
  if (!guard.Acquired() || console_.State.JobActive) {
    View.vars.AddItem(kServiceBusyText);
    return TestEnd::Refused;
  }
  Link& l = link();
  flags_.AbortRun = 0;
  const StopMark mark(flags_);
  TestEnd end = TestEnd::Done;
  {
    PollingHeld held(polling_);
    // Empty ring, execution held, so the blocks stay where they were written.
    if (!QueueAndSend(commands::SetHeadTail(0, 0))) return TestEnd::LinkLost;
    l.Loop().PumpMessages();
    if (!QueueAndSend(CommandRecord(commands::kPause, {0, 1}))) return TestEnd::LinkLost;
    l.Loop().PumpMessages();
    l.Loop().PumpMessages();
    for (int n = 0; n < kRamTestBlocks; ++n) {
      if (flags_.StopWaiting() || mark.Stopped()) {
        end = TestEnd::Stopped;
        break;
      }
      if (!sender_.Connected()) {
        end = TestEnd::LinkLost;
        break;
      }
      l.ReadReplyLine();
      sender_.SendNow(commands::RamTestFill(n));
      ReadUntilReply();
      l.SendLine(commands::kRequestBuffer);
      ReadUntilReply();
      l.Loop().PumpMessages();
    }
    (void)QueueAndSend(commands::Resume());
  }
  return end;
}

RamCheck TTest::ReadRam(bool save) {
  RamCheck check;
  OperationGuard guard(console_.State, LongOperation::ServiceTest);
  View.vars.ClearItems();
  if (!guard.Acquired() || console_.State.JobActive) {
    View.vars.AddItem(kServiceBusyText);
    check.End = TestEnd::Refused;
    return check;
  }
  Link& l = link();
  std::vector<std::string> file{"Ramtest", "Head " + std::to_string(report_.BufHead) + "     Tail " +
                                               std::to_string(report_.BufTail)};
  flags_.AbortRun = 0;
  const StopMark mark(flags_);
  {
    PollingHeld held(polling_);
    if (!QueueAndSend(commands::SetHeadTail(0, 0))) {
      check.End = TestEnd::LinkLost;
    } else {
      l.Loop().PumpMessages();
      l.SendLine(commands::kRequestBuffer);
      ReadUntilReply();
    }
    View.Errors_lab.SetCaption("Errors 0");
    for (int n = 0; check.End == TestEnd::Done && n < kRamTestBlocks; ++n) {
      if (flags_.StopWaiting() || mark.Stopped()) {
        check.End = TestEnd::Stopped;
        break;
      }
      if (!QueueAndSend(commands::ReadTail())) {
        check.End = TestEnd::LinkLost;
        break;
      }
      l.Loop().PumpMessages();
      l.IoReply.fill(0xFF);
      (void)l.ReadVariables(kVariableSetMemory);
      ++check.BlocksRead;
      if (l.IoReply != RamTestPattern(n)) {
        if (check.FirstBad < 0) check.FirstBad = n;
        ++check.Errors;
        View.vars.AddItem(std::to_string(n) + " is bad");
        View.Errors_lab.SetCaption("Errors " + std::to_string(check.Errors));
      }
      char head[16];
      std::snprintf(head, sizeof head, "%6d: ", n);
      std::string line = head;
      for (uint8_t b : l.IoReply) {
        char cell[8];
        std::snprintf(cell, sizeof cell, "%4d", b);
        line += cell;
      }
      file.push_back(std::move(line));
      l.Loop().PumpMessages();
    }
  }
  if (check.End != TestEnd::Done) {
    View.vars.AddItem("Read stopped after " + std::to_string(check.BlocksRead) + " blocks");
  } else if (check.FirstBad >= 0) {
    View.vars.AddItem("First bad block " + std::to_string(check.FirstBad));
  } else {
    View.vars.AddItem(std::to_string(kRamTestBlocks) + " blocks good");
  }
  // A read cut short would replace an earlier complete file with part of one.
  std::string why;
  if (save && check.End == TestEnd::Done && !home_.WriteLinesAtomic(kRamTestFile, file, &why)) {
    View.vars.AddItem("Error writing " + home_.Resolve(kRamTestFile).string() + ": " + why);
  }
  return check;
}

void TTest::TuneClick() {
  if (Hooks.RebuildSpeedTable) Hooks.RebuildSpeedTable();
  if (!Hooks.SpeedTableEntry) return;
  std::vector<std::string> lines;
  for (int i = 1; i <= 250; ++i) {
    const auto [speed, companion] = Hooks.SpeedTableEntry(i);
    lines.push_back(std::to_string(i) + "  " + std::to_string(speed) + "  " + std::to_string(companion));
  }
  View.vars.SetItems(std::move(lines));
}

void TTest::SetAux1(bool on) {
  if (Hooks.SetAux1) Hooks.SetAux1(on);
}

void TTest::SetAux2(bool on) {
  if (Hooks.SetAux2) Hooks.SetAux2(on);
}

void TTest::Spindle(bool on) { sender_.Queue(on ? commands::SpindleOn() : commands::SpindleOff()); }

void TTest::OutputTest(uint8_t pattern) {
  // The step outputs drive the motors: not beside a job or while the machine moves.
  if (Hooks.CheckManual && !Hooks.CheckManual()) return;
  sender_.Send(commands::OutputTest(pattern));
}

void TTest::ShowDebugmenuClick() {
  const bool shown = !View.ShowDebugmenu1.Checked();
  View.ShowDebugmenu1.SetChecked(shown);
  console_.View.Diag1.SetVisible(shown);
}

void TTest::EnableDebugfileClick() {
  const bool on = !View.EnableDebugfile1.Checked();
  View.EnableDebugfile1.SetChecked(on);
  console_.State.DebugLog = on;
}

void TTest::SavetableClick() {
  if (Hooks.SaveControllerTable) (void)Hooks.SaveControllerTable();
}

size_t TTest::AppendRecord(std::string line) {
  View.vars.AddItem(std::move(line));
  return View.vars.Items().size();
}

}  // namespace wendlar
