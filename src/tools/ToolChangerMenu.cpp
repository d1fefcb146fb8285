#include "tools/ToolChangerMenu.h"

#include <vector>

#include "link/Commands.h"

namespace wendlar {

namespace {
constexpr int kPollsPerStep = 4;
constexpr uint8_t kSpiReadSpindleStopped = 0xC1;  // "read bit 1": the spindle-stopped line
constexpr uint8_t kSpiLatchAnswer = 5;            // b2: the byte clocked back goes to the memory report
constexpr uint8_t kModeToolChange = 2;
constexpr uint8_t kModeMemory = 0;
constexpr int kReadRequestMemory = 5;

}  // namespace

TTC_menu::TTC_menu(CommandSender& sender, Polling& polling, const ControllerReport& report, ConsoleState& state,
                   RunFlags& flags)
    : sender_(sender), polling_(polling), report_(report), state_(state), flags_(flags) {
  View.Form.SetCaption("Tool Changer menu");
  View.Form.SetBounds(50, 50, 0, 0);
  View.Form.SetVisible(false);
  View.spin1.SetPosition(6);
  View.SpinEdit1.SetPosition(180);
}

void TTC_menu::Show() { View.Form.SetVisible(true); }

void TTC_menu::Spi(uint8_t value, uint8_t b2) { sender_.SendNow(commands::ToolChangerSpi(value, b2)); }

void TTC_menu::Init_SPIClick() {
  // Record 80 ends a job in the controller: never beside another operation.
  OperationGuard guard(state_, LongOperation::ServiceTest);
  if (!guard.Acquired() || state_.JobActive) {
    View.TC_message.SetCaption(kToolChangerBusyText);
    return;
  }
  StopMark mark(flags_);
  sender_.SendNow(commands::EndOfJob());
  if (!sender_.WaitPolls(kPollsPerStep) || mark.Stopped()) return;
  sender_.Send(commands::ToolChangerMode(kModeToolChange));
  (void)sender_.WaitPolls(kPollsPerStep);
}

void TTC_menu::Send_SpiClick() { Spi(static_cast<uint8_t>(Spin1()), kSpiLatchAnswer); }

void TTC_menu::TC_enableClick() {
  polling_.ReadRequest = kReadRequestMemory;
  sender_.SendNow(commands::ToolChangerSelect(1));
}

void TTC_menu::TC_disableClick() {
  polling_.ReadRequest = kReadRequestMemory;
  sender_.SendNow(commands::ToolChangerSelect(0));
}

void TTC_menu::Set_tcClick() {
  sender_.Send(commands::ToolChangerMode(kModeToolChange));
  polling_.ReadRequest = kReadRequestMemory;
}

void TTC_menu::set_memClick() {
  sender_.Send(commands::ToolChangerMode(kModeMemory));
  polling_.ReadRequest = kReadRequestMemory;
}

void TTC_menu::Read_tcClick() {
  // A job's buffer waits end when polling stops: the read waits for the job.
  OperationGuard guard(state_, LongOperation::ServiceTest);
  if (!guard.Acquired() || state_.JobActive) {
    View.TC_message.SetCaption(kToolChangerBusyText);
    return;
  }
  PollingHeld held(polling_);
  polling_.ReadRequest = kReadRequestMemory;
  (void)sender_.WaitPolls(kPollsPerStep);
}

SpindleWait TTC_menu::Button1Click() {
  View.TC_message.SetCaption("");
  OperationGuard guard(state_, LongOperation::ServiceTest);
  if (!guard.Acquired() || state_.JobActive) {
    View.TC_message.SetCaption(kToolChangerBusyText);
    return SpindleWait::Refused;
  }
  // A finished job leaves AbortRun set; only now, with the console held, may it be cleared.
  flags_.AbortRun = 0;
  return WaitSpindleStop();
}

void TTC_menu::ShowMemoryReply(const std::array<uint8_t, 5>& memory) {
  ++memoryReports_;
  std::vector<std::string> lines;
  for (uint8_t b : memory) lines.push_back("   " + std::to_string(b));
  View.vars1.SetItems(std::move(lines));
}

void TTC_menu::RequestMemoryOnce() {
  {
    PollingHeld held(polling_);
    polling_.ReadRequest = kReadRequestMemory;
    sender_.LinkRef().Loop().PumpMessages();
  }
}

SpindleWait TTC_menu::WaitSpindleStop() {
  // The answer comes only through the rotation's memory request, which older firmware lacks:
  // the wait could never end but by its limit.
  if (report_.FirmwareVersion < kFirmwareWide) {
    View.TC_message.SetCaption(kSpindleWaitFirmwareText);
    return SpindleWait::Refused;
  }
  View.TC_message.SetCaption(kWaitingForSpindleText);
  EventLoop& loop = sender_.LinkRef().Loop();
  const StopMark mark(flags_);
  const int64_t deadlineUs = loop.NowUs() + kSpindleStopLimitMs * 1000;
  SpindleWait result = SpindleWait::TimedOut;
  for (;;) {
    if (flags_.StopWaiting() || mark.Stopped()) {
      result = SpindleWait::Stopping;
      break;
    }
    if (!sender_.Connected() || !polling_.LinkPolling()) {
      result = SpindleWait::LinkLost;
      break;
    }
    if (loop.NowUs() >= deadlineUs) break;
    Spi(kSpiReadSpindleStopped);
    RequestMemoryOnce();
    if (!sender_.WaitPolls(kPollsPerStep)) continue;
    Spi(0x00, kSpiLatchAnswer);
    // Only a report that came after this answer was latched tells about the spindle now;
    // an older one may still hold a stop seen before the spindle was started again.
    const uint64_t latchedAt = memoryReports_;
    if (!sender_.WaitPolls(kPollsPerStep)) continue;
    RequestMemoryOnce();
    if (memoryReports_ > latchedAt && sender_.LinkRef().MemoryReply[1] == 1) {
      result = SpindleWait::Stopped;
      break;
    }
  }
  switch (result) {
    case SpindleWait::Stopped: View.TC_message.SetCaption(kSpindleStoppedText); break;
    case SpindleWait::Stopping: View.TC_message.SetCaption(kSpindleWaitStoppedText); break;
    case SpindleWait::LinkLost: View.TC_message.SetCaption(kSpindleWaitLinkText); break;
    default: View.TC_message.SetCaption(kSpindleWaitTimeText); break;
  }
  return result;
}

}  // namespace wendlar
