// Line handling of the simulated controller: bytes in, lines out, and the report lines.
#include <algorithm>
#include <utility>

#include "sim/SimController.h"

namespace wendlar::sim {
namespace {

// Longer lines are line noise: they are answered "?" once their end arrives.
constexpr size_t kMaxLine = 80;
constexpr size_t kPacketLineLength = 26;  // "S3", 11 bytes and the checksum in hex

// Only uppercase digits are hex on this line, as the host writes them.
int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

void Put24(uint8_t* at, int64_t value) {
  const auto v = static_cast<uint32_t>(value);
  at[0] = static_cast<uint8_t>(v);
  at[1] = static_cast<uint8_t>(v >> 8);
  at[2] = static_cast<uint8_t>(v >> 16);
}

}  // namespace

template <size_t N>
SimController::ReportText SimController::ReportLine(char kind, const std::array<uint8_t, N>& bytes) {
  static_assert(2 + 2 * N <= std::tuple_size_v<decltype(ReportText::chars)>);
  static constexpr char kDigits[] = "0123456789ABCDEF";
  ReportText line;
  line.chars[0] = kind;
  line.chars[1] = '.';
  size_t at = 2;
  for (uint8_t b : bytes) {
    line.chars[at++] = kDigits[b >> 4];
    line.chars[at++] = kDigits[b & 0x0F];
  }
  line.size = at;
  return line;
}

SimController::SimController(EventLoop& loop, SimOptions options)
    : SimController([&loop] { return loop.NowUs(); }, std::move(options)) {}

SimController::SimController(std::function<int64_t()> clockUs, SimOptions options)
    : clock_(std::move(clockUs)),
      options_(std::move(options)),
      speeds_(options_.firmware >= kWideFirmware),
      lines_(options_.traceLimit),
      records_(options_.traceLimit) {
  ring_.assign(WideFamily() ? 4000 : 4096, Record{});
  physical_ = options_.world.powerUpPosition;
  for (int a = 0; a < kAxes; ++a) offset_[a] = -physical_[a];
  simUs_ = clock_ ? clock_() : 0;
}

void SimController::Update() {
  if (clock_) AdvanceTo(clock_());
}

void SimController::Write(std::string_view bytes, std::string& reply) {
  Update();
  if (deadLine_) return;
  while (!bytes.empty()) {
    size_t end = 0;
    while (end < bytes.size() && bytes[end] != '\r' && bytes[end] != '\n') ++end;
    const std::string_view piece = bytes.substr(0, end);
    // A line longer than kMaxLine is noise however it was split between writes.
    if (!overlong_ && pending_.size() + piece.size() > kMaxLine) overlong_ = true;
    if (end == bytes.size()) {
      if (!overlong_) pending_.append(piece);
      return;
    }
    bytes.remove_prefix(end + 1);
    if (overlong_) {
      overlong_ = false;
      pending_.clear();
      Trace(true, "(overlong line)");
      SendReply("?", reply);
    } else if (pending_.empty()) {
      // The usual case: the whole line came in one write, so it is handled where it lies.
      if (!piece.empty()) HandleLine(piece, reply);
    } else {
      pending_.append(piece);
      HandleLine(pending_, reply);
      pending_.clear();
    }
  }
}

void SimController::HandleLine(std::string_view line, std::string& reply) {
  Trace(true, line);
  const char second = line.size() > 1 ? line[1] : '\0';
  switch (line[0]) {
    case 'R':
      switch (second) {
        case '1': SendReply(InfoReport().View(), reply); return;
        case '2': SendReply(BufferReport().View(), reply); return;
        case '3': SendReply(PositionReport().View(), reply); return;
        case '4': SendReply(VariableReport().View(), reply); return;
        case '5': SendReply(MemoryReport().View(), reply); return;
        default: break;
      }
      break;
    case 'V':
      SendReply(options_.identity, reply);
      return;
    case 'U': {
      // The read-back tells which pattern the last handshake line set: N for high, R for low.
      std::string answer = "US";
      answer += handshakeSeen_ ? (handshakeHigh_ ? "HN" : "LR") : "??";
      answer += " HANDSHAKE READ";
      SendReply(answer, reply);
      return;
    }
    case 'S':
      if (second == '3') {
        HandlePacketLine(line, reply);
        return;
      }
      if (second == '6' || second == '7') {
        // Handshake patterns are written without a reply.
        handshakeSeen_ = true;
        handshakeHigh_ = second == '6';
        return;
      }
      break;
    default:
      break;
  }
  SendReply("?", reply);
}

void SimController::HandlePacketLine(std::string_view line, std::string& reply) {
  TraceRecord traced;
  traced.timeUs = simUs_;
  bool wellFormed = line.size() == kPacketLineLength;
  Record record{};
  uint8_t sum = 0;
  for (size_t i = 0; wellFormed && i < 12; ++i) {
    const int hi = HexValue(line[2 + 2 * i]);
    const int lo = HexValue(line[3 + 2 * i]);
    if (hi < 0 || lo < 0) {
      wellFormed = false;
      break;
    }
    const auto b = static_cast<uint8_t>(hi * 16 + lo);
    record[i] = b;
    if (i < 11) {
      sum ^= b;
      traced.bytes[i] = b;
    }
  }
  if (!wellFormed || sum != record[11]) {
    // A corrupted record is dropped; a job cannot go on with a hole in it.
    traced.checksumOk = false;
    traced.accepted = false;
    records_.Next() = traced;
    dataChecksumError_ = true;
    if (running_) StopEverything();
    SendReply("CS", reply);
    return;
  }
  traced.accepted = AcceptRecord(record);
  records_.Next() = traced;
  SendReply("OK", reply);
}

void SimController::SendReply(std::string_view text, std::string& reply) {
  if (offlineReplies_ > 0) {
    --offlineReplies_;
    text = "E1";
  }
  if (dropReplies_ > 0) {
    --dropReplies_;
    return;
  }
  const size_t at = reply.size();
  reply.append(text);
  const bool report = text.size() > 2 && text[1] == '.';
  if ((garbleReplies_ > 0 || (garbleReport_ && report)) && !text.empty()) {
    if (garbleReplies_ > 0) --garbleReplies_;
    if (report) garbleReport_ = false;
    char& c = reply[at + text.size() / 2];
    c = c == '?' ? '#' : '?';
  }
  Trace(false, std::string_view(reply).substr(at));
  reply += "\r\n";
}

void SimController::Trace(bool fromHost, std::string_view text) {
  // A full trace overwrites its oldest entry, text storage and all.
  TraceLine& entry = lines_.Next();
  entry.timeUs = simUs_;
  entry.fromHost = fromHost;
  entry.text.assign(text);
}

void SimController::ClearTrace() {
  lines_.clear();
  records_.clear();
}

SimController::ReportText SimController::InfoReport() {
  std::array<uint8_t, 5> b{};
  if (infoShowsOutputs_) {
    const int rpm = MeasuredRpm();
    b = {static_cast<uint8_t>(CurrentSpeedIndex()), 255, static_cast<uint8_t>(rpm),
         static_cast<uint8_t>(rpm >> 8), OutputStates()};
  } else {
    b = {static_cast<uint8_t>(options_.firmware), static_cast<uint8_t>(std::clamp(toolNumber_, 0, 99)),
         static_cast<uint8_t>(executedCount_), static_cast<uint8_t>(executedCount_ >> 8),
         static_cast<uint8_t>(executedCount_ >> 16)};
  }
  infoShowsOutputs_ = !infoShowsOutputs_;
  return ReportLine('1', b);
}

SimController::ReportText SimController::BufferReport() {
  const std::array<uint8_t, 6> b = {static_cast<uint8_t>(tail_), static_cast<uint8_t>(tail_ >> 8),
                                    static_cast<uint8_t>(head_), static_cast<uint8_t>(head_ >> 8),
                                    InputsByte(), StateByte()};
  return ReportLine('2', b);
}

SimController::ReportText SimController::PositionReport() {
  const Steps4 p = Position();
  const bool showW = fourthAxis_ != 0 && positionShowsW_;
  positionShowsW_ = !positionShowsW_;
  std::array<uint8_t, 10> b{};
  Put24(&b[0], p[kX]);
  Put24(&b[3], p[kY]);
  Put24(&b[6], showW ? p[kW] : p[kZ]);
  // Older firmware shows its speed here; later firmware moved it to the info report.
  const uint8_t low = options_.firmware < kSpeedInInfoFirmware ? static_cast<uint8_t>(CurrentSpeedIndex())
                                                                : overrideByte_;
  b[9] = static_cast<uint8_t>((showW ? 0x80 : 0x00) | (low & 0x7F));
  return ReportLine('3', b);
}

SimController::ReportText SimController::VariableReport() {
  std::array<uint8_t, 12> b{};
  if (readJustLatched_ || selectedVariable_ == 0) {
    // A memory read answers once; plain reads of set 0 (the transfer test) then see zeros.
    b = window_;
    window_ = {};
    readJustLatched_ = false;
  } else if (selectedVariable_ == 3) {
    const bool sp1 = spindleOn_[0];
    const bool sp2 = spindleOn_[1];
    const uint8_t spinstat = static_cast<uint8_t>(((sp1 || sp2) ? 0x08 : 0) | (sp2 ? 0x01 : 0) |
                                                  (aux_[0] ? 0x04 : 0) | (aux_[1] ? 0x80 : 0));
    b = {3, optionFlags_, spinstat, StateByte(), InputsByte(),
         static_cast<uint8_t>(stopButtonLatched_ ? 1 : 0), fourthAxis_, OutputStates(),
         static_cast<uint8_t>(laserOn_ ? 1 : 0), lastDirection_,
         static_cast<uint8_t>(speeds_.AccelSetting()), 0};
  } else if (selectedVariable_ == 4) {
    b[0] = 4;
    b[1] = static_cast<uint8_t>(executedCount_);
    b[2] = static_cast<uint8_t>(executedCount_ >> 8);
    b[3] = static_cast<uint8_t>(executedCount_ >> 16);
  } else {
    b[0] = static_cast<uint8_t>(selectedVariable_);
  }
  return ReportLine('4', b);
}

SimController::ReportText SimController::MemoryReport() const { return ReportLine('5', memoryReply_); }

}  // namespace wendlar::sim
