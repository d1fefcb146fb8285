#include "link/Link.h"

#include <algorithm>

#include "link/Commands.h"
#include "link/Wire.h"
#include "link/WorkUnit.h"

namespace wendlar {

namespace {

// The printable characters of a line, for the traffic monitor.
std::string Printable(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (static_cast<unsigned char>(c) > 31) out += c;
  }
  return out;
}

// Decodes `count` hex pairs after the two-character prefix into a scratch array, so a
// line with one bad digit leaves the reply buffer as it was.
template <size_t N>
bool DecodeHexBytes(const std::string& line, std::array<uint8_t, N>& out) {
  if (line.size() < 2 + 2 * N) return false;
  std::array<uint8_t, N> scratch{};
  for (size_t k = 0; k < N; ++k) {
    const auto byte = HexPairToByte(line[2 + 2 * k], line[3 + 2 * k]);
    if (!byte) return false;
    scratch[k] = *byte;
  }
  out = scratch;
  return true;
}

}  // namespace

Link::Link(EventLoop& loop, SerialPort& port, RunFlags& flags)
    : loop_(loop), port_(port), flags_(flags) {
  usbTimer_ = loop_.CreateTimer(kLinkTickIdleMs, false, [this] { LinkTick(); });
}

Link::~Link() = default;

void Link::OpenPort() {
  const int rc = port_.SioReset(PortNumber, kRxQueueSize, kTxQueueSize);
  OpenError = rc < 0 ? rc : 0;
  if (rc < 0) {
    view_.Status_lab.SetCaption("Port opening error #" + std::to_string(rc));
    PortOpen = false;
    return;
  }
  (void)port_.SioBaud(PortNumber, kBaudCode19200);
  (void)port_.SioParms(PortNumber, kParityNone, kOneStopBit, kDataBits);
  PortOpen = true;
}

void Link::ClosePort() {
  if (!PortOpen) return;
  PortOpen = false;
  const int rc = port_.SioDone(PortNumber);
  view_.Response_lab.SetCaption("Return code " + std::to_string(rc));
}

void Link::ShowTraffic(std::string line) {
  if (view_.Data_list.Items().size() > kTrafficMonitorLines) view_.Data_list.ClearItems();
  view_.Data_list.AddItem(std::move(line));
}

void Link::SendLine(std::string_view text) { Exchange(text, false); }

void Link::Exchange(std::string_view text, bool movesMachine) {
  if (!PortOpen || text.empty()) return;
  // Every exchange is a chance to answer a signal: the stop goes out before this line, and
  // a line that would move the machine does not go at all.
  if (flags_.StopSignalled()) {
    if (!signalStopSent_) StopOnSignal();
    if (movesMachine) {
      ++MotionRefused;
      return;
    }
  } else {
    signalStopSent_ = false;
  }
  // The controller's line buffer is fixed; a longer line would be cut off there.
  if (text.size() > kMaxLineLength) {
    view_.Response_lab.SetCaption("Line too long");
    return;
  }
  if (view_.Show_data_on.Checked()) ShowTraffic(">" + Printable(text));
  const int expected = ExpectedReplyLength(text);

  // Late bytes of an earlier reply must not be taken for this one.
  (void)port_.SioRxClear(PortNumber);
  (void)port_.SioTxClear(PortNumber);
  (void)port_.SioPuts(PortNumber, text.data(), static_cast<int>(text.size()));

  // No pumping while waiting: that would let another exchange start in the middle of this
  // one. The port sleeps on the device (or charges the virtual clock) instead of spinning.
  SpinCount = port_.WaitRxQue(PortNumber, expected, kReplySpinLimit + 1);
  if (SpinCount > kReplySpinLimit) {
    view_.Response_lab.SetCaption("TimeOut " + std::to_string(SpinCount));
  }
  ReadReplyLine();
}

void Link::SendRawLine(std::string_view text) {
  if (!PortOpen) return;
  for (char c : text) (void)port_.SioPutc(PortNumber, c);
  (void)port_.SioPutc(PortNumber, '\r');
}

void Link::ReadReplyLine() {
  if (!PortOpen) return;
  std::string& line = replyLine_;
  line.clear();
  port_.SioGetLine(PortNumber, kMaxReplyReads, line);
  // The offline reports are the only replies of two characters worth decoding.
  if (line.size() > 2 || line == "E1" || line == "E2") {
    DecodeReply(line);
    ++RepliesDecoded;
  }
  ReplyRead = true;
}

void Link::DecodeReply(const std::string& line) {
  LastReply = line;
  ReplyArrived = true;
  LastReplyKind = line.empty() ? '\0' : line[0];

  if (line.size() >= 2 && line[0] == 'E' && (line[1] == '1' || line[1] == '2')) {
    if (console_ != nullptr) console_->ControllerOffline();
  }

  if (line.size() >= 2 && line[1] == '.') {
    bool decoded = false;
    switch (line[0]) {
      case '1':
        decoded = line.size() == 12 && DecodeHexBytes(line, InfoReply);
        if (decoded && replyHandler_ != nullptr) replyHandler_->OnInfoReply();
        break;
      case '2':
        decoded = line.size() == 14 && DecodeHexBytes(line, BufferReply);
        if (decoded && replyHandler_ != nullptr) replyHandler_->OnBufferReply();
        break;
      case '3': {
        std::array<uint8_t, 10> bytes{};
        decoded = line.size() == 22 && DecodeHexBytes(line, bytes);
        if (decoded) {
          std::copy(bytes.begin(), bytes.end(), PositionReply.begin());
          if (replyHandler_ != nullptr) replyHandler_->OnPositionReply();
        }
        break;
      }
      case '4':
        // Longer lines are read from their first 26 characters; shorter ones are ignored.
        decoded = DecodeHexBytes(line, IoReply);
        if (decoded && replyHandler_ != nullptr) replyHandler_->OnIoReply();
        break;
      case '5':
        decoded = DecodeHexBytes(line, MemoryReply);
        if (decoded && replyHandler_ != nullptr) replyHandler_->OnMemoryReply();
        break;
      default:
        break;
    }
    if (decoded) LastReplyKind = line[0];
  }

  if (view_.Show_data_on.Checked()) {
    ShowTraffic(Printable(line) + "   L=" + std::to_string(line.size()));
  }
}

void Link::StopOnSignal() {
  signalStopSent_ = true;
  ++flags_.StopCount;
  flags_.AbortRun = 1;
  StopMotion();
}

void Link::StopMotion(bool sendStop) {
  queue_.clear();
  motionStopped_ = true;
  workStartsAtStop_ = WorkStarts ? WorkStarts() : 0;
  if (sendStop && PortOpen) SendPacket(commands::Stop());
}

bool Link::MotionGateOpen() {
  if (flags_.StopSignalled()) {
    if (!signalStopSent_) StopOnSignal();
    return false;
  }
  if (!motionStopped_) return true;
  const bool newWork = WorkStarts && WorkStarts() != workStartsAtStop_;
  if (newWork || (ConsoleFree && ConsoleFree())) {
    motionStopped_ = false;
    return true;
  }
  return false;
}

void Link::SendPacket(const CommandRecord& record) {
  if (!PortOpen) return;
  const bool moves = commands::MovesMachine(record);
  if (moves && !MotionGateOpen()) {
    ++MotionRefused;
    return;
  }
  Exchange(PacketLine(record), moves);
  if (OnRecordSent) OnRecordSent(record, RecordTag);
  ++PacketsThisPeriod;
  if (recorder_ != nullptr && recorder_->RecordingOn()) {
    const size_t lines = recorder_->AppendRecord(std::to_string(record.Code()) + "  " +
                                                 std::to_string(record.B(1)) + "  " +
                                                 std::to_string(record.B(2)));
    // A forgotten recording would grow without end during a job: stop it and the run.
    if (lines > kRecordUsbLines) {
      recorder_->StopRecording();
      flags_.AbortRun = 1;
    }
  }
}

void Link::QueueCommand(const CommandRecord& record) {
  if (record.Code() == kStopCode) {
    // Nothing queued before a stop may move the machine after it, and the stop does not
    // wait for pacing.
    StopMotion();
    return;
  }
  // A record kept while disconnected would move the machine after a reconnect.
  if (!Connected) return;
  if (DirectSend) {
    // Records still queued from before the switch go first, so call order holds.
    while (!queue_.empty()) {
      const CommandRecord earlier = queue_.front();
      queue_.pop_front();
      SendPacketPaced(earlier);
    }
    SendPacketPaced(record);
    return;
  }
  queue_.push_back(record);
}

void Link::SendPacketPaced(const CommandRecord& record) {
  // Claim this packet's place in the cycle first: a packet sent from a handler that runs
  // while this one pauses takes the next place instead of the same one.
  const int k = InterleaveCount;
  InterleaveCount = k >= 10 ? 0 : k + 1;

  SendPacket(record);
  PacketDelay();
  loop_.PumpMessages();
  if (k == 5) {
    if (R1Count == 20) {
      SendLine("R1\n\r");
      R1Count = 0;
    } else {
      SendLine("R3\n\r");
    }
    loop_.PumpMessages();
    ++R1Count;
  }
  if (k == 3 || k == 8) {
    ++R4Count;
    if (R4Count >= 4) {
      SendLine("R4\n\r");
      R4Count = 1;
    } else {
      SendLine("R2\n\r");
    }
    loop_.PumpMessages();
  }
}

void Link::PacketDelay() {
  if (DelayLoops <= 0) return;
  if (loop_.IsVirtual()) {
    loop_.BusyPasses(DelayLoops, kWorkUnitCostUs);
  } else if (PassUs > 0) {
    // The pause the calibration measured, slept rather than computed.
    loop_.PumpFor(static_cast<int64_t>(DelayLoops * PassUs + 0.5));
  } else {
    // Not measured yet: the work itself is the only measure of the pause.
    for (int pass = 0; pass < DelayLoops; ++pass) {
      CalibrationWorkUnit(loop_);
      loop_.PumpMessages();
    }
  }
}

void Link::SetDirectSend(bool on) {
  DirectSend = on;
  usbTimer_->SetInterval(on ? kLinkTickStreamingMs : kLinkTickIdleMs);
  InterleaveCount = 0;
  if (console_ != nullptr) console_->SetBufferGaugeColor(on ? kGreen : kMaroon);
}

void Link::LinkTick() {
  // The loop never fires this timer again while its handler runs, so there is no need
  // to switch it off here (and switching it back on could undo a stop made meanwhile).
  InLinkTick = true;
  bool recordSent = false;
  if (!Connected) {
    queue_.clear();
  } else if (!queue_.empty()) {
    const CommandRecord record = queue_.front();
    queue_.pop_front();
    SendPacket(record);
    ++PacketsThisPeriod;
    recordSent = true;
  }
  if (poller_ != nullptr) poller_->OnLinkTick(recordSent);
  InLinkTick = false;
}

}  // namespace wendlar
