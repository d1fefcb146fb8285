// Reads that combine a record with a report request: controller words and variable sets.
#include "link/Commands.h"
#include "link/Link.h"

namespace wendlar {

namespace {

constexpr int kWordReadTries = 9;
constexpr int kWordReadDelays = 3;
constexpr size_t kMemoryReplyLength = 12;
constexpr size_t kVariableReplyMinLength = 6;
// How long ReadVariables keeps reading for a late "4." line before it gives up.
constexpr int64_t kVariableReplyWaitMs = 200;

}  // namespace

bool Link::ReadControllerWord(uint8_t sel1, uint8_t sel2, uint8_t sel3) {
  for (int attempt = 0; attempt < kWordReadTries; ++attempt) {
    if (flags_.StopWaiting()) return false;
    SendPacket(commands::ReadMemory(sel1, sel2, sel3));
    MemoryReply[0] = 0;
    for (int i = 0; i < kWordReadDelays; ++i) PacketDelay();
    SendLine(commands::kRequestMemory);
    if (MemoryReply[0] != 0 && LastReply.size() == kMemoryReplyLength) return true;
  }
  view_.Msg_list.AddItem("R5 read fail");
  return false;
}

bool Link::ReadVariables(uint8_t n) {
  QueueCommand(commands::SelectVariable(n));
  if (!Connected) return false;

  // Polling would interleave its own requests with this exchange.
  const bool timerWasOn = usbTimer_->Enabled();
  usbTimer_->SetEnabled(false);
  // The select record has to reach the controller before "R4" asks for its answer;
  // records queued before it go first, in order.
  while (!queue_.empty()) {
    const CommandRecord record = queue_.front();
    queue_.pop_front();
    SendPacket(record);
  }
  (void)port_.SioRxClear(PortNumber);
  LastReply.clear();
  SendLine(commands::kRequestIo);

  if (LastReply.rfind("5.", 0) != 0 && LastReply.size() < kVariableReplyMinLength) {
    // The reply was late: keep reading, but not past a bound nor past a stop.
    (void)loop_.WaitUntil(
        [&] {
          if (flags_.StopWaiting()) return true;
          ReadReplyLine();
          return LastReply.size() >= kVariableReplyMinLength;
        },
        kVariableReplyWaitMs);
  }
  view_.Status_lab.SetCaption(LastReply);
  usbTimer_->SetEnabled(timerWasOn);
  return LastReply.size() >= kVariableReplyMinLength;
}

}  // namespace wendlar
