#include "console/CommandSender.h"

#include <algorithm>

namespace wendlar {

namespace {
// Link ticks to wait for a busy report before taking the move as already done: the buffer
// report comes round at least every 135 ms, so 20 ticks (300 ms) see two of them.
constexpr int kBusyAppearPolls = 20;
// Time bound on each link tick a wait counts, for a loop whose timer stalls.
constexpr int64_t kPerPollTimeoutMs = 1000;
}  // namespace

void CommandSender::SendCommand(uint8_t code, uint8_t b1, uint8_t b2) { Send(CommandRecord(code, {b1, b2})); }

void CommandSender::SendCommand5(uint8_t code, uint8_t b1, uint8_t b2, uint8_t b3, uint8_t b4, uint8_t b5) {
  Send(CommandRecord(code, {b1, b2, b3, b4, b5}));
}

void CommandSender::SendCommandNow(uint8_t code, uint8_t b1, uint8_t b2) { SendNow(CommandRecord(code, {b1, b2})); }

void CommandSender::SendCommand5Now(uint8_t code, uint8_t b1, uint8_t b2, uint8_t b3, uint8_t b4, uint8_t b5) {
  SendNow(CommandRecord(code, {b1, b2, b3, b4, b5}));
}

void CommandSender::Send(const CommandRecord& record) {
  if (link_.Connected) link_.QueueCommand(record);
}

void CommandSender::SendNow(const CommandRecord& record) {
  if (link_.Connected) link_.SendPacket(record);
}

bool CommandSender::SendChecked(const std::optional<CommandRecord>& record, bool now) {
  if (!record) {
    // Sending the low 24 bits would move the machine to a wrong place.
    view_.Progress.SetCaption("Long3 overflow");
    flags_.AbortRun = 1;
    return false;
  }
  if (now) {
    SendNow(*record);
  } else {
    Send(*record);
  }
  return true;
}

bool CommandSender::LinkPolling() const {
  return link_.Connected && (link_.UsbTimer().Enabled() || link_.InLinkTick);
}

bool CommandSender::WaitPolls(int n) {
  // Counted from now rather than reset, so a wait nested in another does not cut it short.
  const int start = *pollCount_;
  auto polls = [&] { return *pollCount_ - start; };
  return link_.Loop().WaitUntil([&] { return polls() >= n || !LinkPolling() || flags_.Closing; },
                                kPerPollTimeoutMs * n) &&
         polls() >= n;
}

bool CommandSender::WaitMoveDone(int64_t deadlineMs) {
  EventLoop& loop = link_.Loop();
  const int start = *pollCount_;
  auto stop = [&] { return flags_.StopWaiting() || !LinkPolling(); };
  loop.WaitUntil([&] { return state_.Busy || stop() || *pollCount_ - start >= kBusyAppearPolls; },
                 kPerPollTimeoutMs * kBusyAppearPolls);
  if (stop()) return false;
  if (!state_.Busy) return true;  // finished between two reports
  // A move may take long; the wait ends with the move, a stop, the link going quiet, or
  // the deadline.
  const int64_t deadlineUs = loop.NowUs() + deadlineMs * 1000;
  auto slice = [&] { return std::clamp<int64_t>((deadlineUs - loop.NowUs()) / 1000, 1, 60000); };
  while (!loop.WaitUntil([&] { return !state_.Busy || stop(); }, slice())) {
    if (!LinkPolling() || loop.NowUs() >= deadlineUs) return false;
  }
  return !stop();
}

}  // namespace wendlar
