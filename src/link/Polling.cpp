#include "link/Polling.h"

#include "link/Commands.h"

namespace wendlar {

namespace {
// Requests go out every third link tick.
constexpr int kTicksPerRequest = 3;
constexpr int kRotationSlots = 5;
// PollWhileWaiting puts "R1" in place of every eleventh "R3"; "R4" in place of every
// fourth "R2" (the counter shared with paced streaming).
constexpr int kWaitR1Every = 11;
constexpr int kR4Every = 4;
// Firmware below this asks "R1" at the fifth slot, up to 99 "R4".
constexpr int kFirmwareIoPolling = 20;
// Older firmware reports its output lamps in input report set 3.
constexpr int kFirmwareLampsInInfo = 70;
constexpr uint8_t kOutputVariableSet = 3;
constexpr int kReadRequestMemory = 5;
// Fast ticks are 2 ms once calibrated; a wait for n of them never takes longer than this.
constexpr int64_t kFastTickBoundMs = 20;
}  // namespace

int32_t Signed24(uint8_t lo, uint8_t mid, uint8_t hi) {
  int32_t v = lo | (mid << 8) | (hi << 16);
  if (hi >= 128) v -= 1 << 24;
  return v;
}

Polling::Polling(Link& link, ControllerReport& report) : link_(link), report_(report) {
  link_.SetPoller(this);
  link_.SetReplyHandler(this);
}

Polling::~Polling() {
  link_.SetPoller(nullptr);
  link_.SetReplyHandler(nullptr);
}

void Polling::RequestInfo() { link_.SendLine(commands::kRequestInfo); }

void Polling::RequestBufferStatus() {
  BufferFresh = false;
  ++link_.PacketsThisPeriod;
  link_.SendLine(commands::kRequestBuffer);
}

void Polling::RequestPositions() {
  PositionsFresh = false;
  ++link_.PacketsThisPeriod;
  link_.SendLine(commands::kRequestPositions);
}

void Polling::RequestIoStatus() {
  ++link_.PacketsThisPeriod;
  link_.SendLine(commands::kRequestIo);
}

void Polling::RequestMemory() {
  PositionsFresh = false;
  link_.SendLine(commands::kRequestMemory);
}

bool Polling::LinkPolling() const {
  return link_.Connected && PollingEnabled && !silent_ &&
         (link_.UsbTimer().Enabled() || link_.InLinkTick);
}

bool Polling::WaitFastTicks(int n) {
  EventLoop& loop = link_.Loop();
  if (fastTicks_ == nullptr) {
    // Without the fast timer, wait the time the ticks would have taken.
    const int64_t until = loop.NowUs() + int64_t{n} * 2000;
    return loop.WaitUntil([&] { return loop.NowUs() >= until || link_.Flags().StopWaiting(); }, n * 2 + 1);
  }
  // The predicate holds two words, so the wait's std::function keeps it without allocating:
  // this wait runs twice for every status request.
  const int target = *fastTicks_ + n;
  return loop.WaitForTimers([this, target] { return *fastTicks_ - target >= 0 || link_.Flags().StopWaiting(); },
                            n * kFastTickBoundMs + 50);
}

bool Polling::PollWhileWaiting() {
  EventLoop& loop = link_.Loop();
  (void)WaitFastTicks(2);
  CheckSilence();
  if (BufferFresh && PositionsFresh && LinkPolling()) {
    if (++WaitR1Count >= kWaitR1Every) {
      WaitR1Count = 0;
      RequestInfo();
    } else {
      RequestPositions();
    }
    loop.PumpMessages();
  }
  (void)WaitFastTicks(2);
  CheckSilence();
  if (BufferFresh && PositionsFresh && LinkPolling()) {
    if (++link_.R4Count >= kR4Every) {
      link_.R4Count = 1;
      RequestIoStatus();
    } else {
      RequestBufferStatus();
    }
    loop.PumpMessages();
  }
  return LinkPolling() && !link_.Flags().StopWaiting();
}

void Polling::ResetForConnection() {
  report_ = ControllerReport{};
  ReadRequest = 0;
  BufferFresh = false;
  PositionsFresh = false;
  PollingEnabled = true;
  TickCounter = 0;
  Slot = 1;
  WaitR1Count = 0;
  silent_ = false;
  lastRepliesDecoded_ = link_.RepliesDecoded;
  lastReplyUs_ = link_.Loop().NowUs();
}

void Polling::NoteReply() {
  lastReplyUs_ = link_.Loop().NowUs();
  lastRepliesDecoded_ = link_.RepliesDecoded;
  if (!silent_) return;
  silent_ = false;
  if (receiver_ != nullptr) receiver_->ControllerBack();
}

void Polling::CheckSilence() {
  if (!link_.Connected) {
    lastReplyUs_ = link_.Loop().NowUs();
    silent_ = false;
    return;
  }
  // Any line read counts: a garbled or offline answer still shows the line is alive.
  if (link_.RepliesDecoded != lastRepliesDecoded_) NoteReply();
  if (silent_ || link_.Loop().NowUs() - lastReplyUs_ < kSilenceLimitMs * 1000) return;
  silent_ = true;
  if (receiver_ != nullptr) receiver_->ControllerSilent();
}

void Polling::OnLinkTick(bool recordSent) {
  (void)recordSent;
  ++PollCount;
  ++TickCounter;
  CheckSilence();
  if (recordSent || !PollingEnabled || TickCounter < kTicksPerRequest) return;
  TickCounter = 0;
  const int slot = Slot;
  Slot = slot >= kRotationSlots ? 1 : slot + 1;
  switch (slot) {
    case 1:
    case 3:
      RequestPositions();
      break;
    case 2:
    case 4:
      RequestBufferStatus();
      break;
    default:
      if (report_.FirmwareVersion < kFirmwareIoPolling) {
        RequestInfo();
      } else if (report_.FirmwareVersion < kFirmwareWide) {
        RequestIoStatus();
      } else if (ReadRequest == 0) {
        RequestInfo();
      } else if (ReadRequest == kReadRequestMemory) {
        RequestMemory();
      }
      break;
  }
}

void Polling::OnInfoReply() {
  NoteReply();
  if (receiver_ != nullptr) receiver_->ShowInfo();
}

void Polling::OnBufferReply() {
  NoteReply();
  const auto& b = link_.BufferReply;
  report_.BufTail = static_cast<uint16_t>(b[0] | (b[1] << 8));
  report_.BufHead = static_cast<uint16_t>(b[2] | (b[3] << 8));
  report_.Inputs = b[4];
  report_.StateByte = b[5];
  if (receiver_ != nullptr) receiver_->ShowStatus();
  BufferFresh = true;
}

void Polling::OnPositionReply() {
  NoteReply();
  std::array<uint8_t, 10> p{};
  for (size_t i = 0; i < p.size(); ++i) p[i] = static_cast<uint8_t>(link_.PositionReply[i]);
  const int32_t x = Signed24(p[0], p[1], p[2]);
  const int32_t y = Signed24(p[3], p[4], p[5]);
  const int32_t third = Signed24(p[6], p[7], p[8]);
  const bool thirdIsW = p[9] >= 128;
  report_.X = x;
  report_.Y = y;
  (thirdIsW ? report_.W : report_.Z) = third;
  if (report_.FirmwareVersion < kFirmwareSpeedInInfo) report_.CurrentSpeedIndex = p[9] & 0x7F;
  if (receiver_ != nullptr) receiver_->ShowPositions(x, y, third, thirdIsW);
  PositionsFresh = true;
}

void Polling::OnIoReply() {
  NoteReply();
  const auto& b = link_.IoReply;
  if (b[0] == kOutputVariableSet && report_.FirmwareVersion < kFirmwareLampsInInfo && receiver_ != nullptr) {
    const uint8_t s = b[2];
    const bool bit0 = (s & 0x01) != 0, bit3 = (s & 0x08) != 0;
    receiver_->ShowOutputLamps({!bit0 && bit3, bit0 && bit3, (s & 0x04) != 0, (s & 0x80) != 0});
  }
  ReadRequest = 0;
}

void Polling::OnMemoryReply() {
  NoteReply();
  if (receiver_ != nullptr) receiver_->ShowMemory();
  ReadRequest = 0;
}

}  // namespace wendlar
