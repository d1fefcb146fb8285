#include "link/serial/SessionRecord.h"

#include <cstdio>
#include <cstdlib>
#include <ostream>

namespace wendlar {

namespace {

// The record is flushed at least this often, so a killed host leaves nearly all of it.
constexpr int64_t kFlushIntervalUs = 200'000;

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// A host line without its line-end characters, as the controller takes it.
std::string LineText(std::string_view bytes) {
  while (!bytes.empty() && (bytes.back() == '\n' || bytes.back() == '\r')) bytes.remove_suffix(1);
  while (!bytes.empty() && (bytes.front() == '\n' || bytes.front() == '\r')) bytes.remove_prefix(1);
  return std::string(bytes);
}

std::string Quoted(const std::string& line) { return "\"" + EscapeRecordBytes(line) + "\""; }

std::string Seconds(int64_t us) {
  char text[32];
  std::snprintf(text, sizeof text, "%.6f s", static_cast<double>(us) / 1e6);
  return text;
}

}  // namespace

std::string EscapeRecordBytes(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (char ch : bytes) {
    const auto c = static_cast<unsigned char>(ch);
    if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\\') {
      out += "\\\\";
    } else if (c >= 0x20 && c < 0x7F) {
      out += ch;
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
    }
  }
  return out;
}

std::optional<std::string> UnescapeRecordBytes(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      out += text[i];
      continue;
    }
    if (++i >= text.size()) return std::nullopt;
    switch (text[i]) {
      case 'n': out += '\n'; break;
      case 'r': out += '\r'; break;
      case '\\': out += '\\'; break;
      case 'x': {
        if (i + 2 >= text.size()) return std::nullopt;
        const int hi = HexValue(text[i + 1]);
        const int lo = HexValue(text[i + 2]);
        if (hi < 0 || lo < 0) return std::nullopt;
        out += static_cast<char>(hi * 16 + lo);
        i += 2;
        break;
      }
      default: return std::nullopt;
    }
  }
  return out;
}

RecordingSerialPort::RecordingSerialPort(SerialPort& inner, std::ostream& out, std::function<int64_t()> clockUs)
    : inner_(inner), out_(out), clockUs_(std::move(clockUs)), startUs_(clockUs_()) {
  out_ << kSessionRecordHeader << "\r\n";
}

RecordingSerialPort::~RecordingSerialPort() {
  if (!host_.empty()) WriteEntry(clockUs_() - startUs_, '>', host_);
  Flush();
}

void RecordingSerialPort::WriteEntry(int64_t timeUs, char direction, const std::string& bytes) {
  out_ << timeUs << ' ' << direction << ' ' << EscapeRecordBytes(bytes) << "\r\n";
}

void RecordingSerialPort::Flush() {
  if (!reply_.empty()) WriteEntry(replyUs_, '<', reply_);
  reply_.clear();
  out_.flush();
  flushedUs_ = clockUs_();
}

void RecordingSerialPort::HostBytes(std::string_view bytes) {
  const int64_t now = clockUs_() - startUs_;
  for (char c : bytes) {
    if (host_.empty() && !reply_.empty()) {
      // What the controller sent belongs to the line before this one.
      WriteEntry(replyUs_, '<', reply_);
      reply_.clear();
    }
    host_ += c;
    if (c == '\r') {
      WriteEntry(now, '>', host_);
      host_.clear();
    }
  }
  if (clockUs_() - flushedUs_ >= kFlushIntervalUs) {
    out_.flush();
    flushedUs_ = clockUs_();
  }
}

int RecordingSerialPort::SioReset(int port, int rxQueueSize, int txQueueSize) {
  return inner_.SioReset(port, rxQueueSize, txQueueSize);
}
int RecordingSerialPort::SioBaud(int port, int baudCode) { return inner_.SioBaud(port, baudCode); }
int RecordingSerialPort::SioParms(int port, int parity, int stopBits, int dataBits) {
  return inner_.SioParms(port, parity, stopBits, dataBits);
}

int RecordingSerialPort::SioPuts(int port, const char* data, int length) {
  const int sent = inner_.SioPuts(port, data, length);
  if (sent > 0) HostBytes(std::string_view(data, static_cast<size_t>(sent)));
  return sent;
}

int RecordingSerialPort::SioPutc(int port, char byte) {
  const int sent = inner_.SioPutc(port, byte);
  if (sent >= 0) HostBytes(std::string_view(&byte, 1));
  return sent;
}

int RecordingSerialPort::SioGetc(int port) {
  const int c = inner_.SioGetc(port);
  if (c >= 0) {
    if (reply_.empty()) replyUs_ = clockUs_() - startUs_;
    reply_ += static_cast<char>(c);
  }
  return c;
}

int RecordingSerialPort::SioRxQue(int port) { return inner_.SioRxQue(port); }
int RecordingSerialPort::WaitRxQue(int port, int moreThan, int maxPolls) {
  return inner_.WaitRxQue(port, moreThan, maxPolls);
}

int RecordingSerialPort::SioRxClear(int port) {
  // Discarded replies were still sent by the controller: a replay must send them too.
  for (int n = inner_.SioRxQue(port); n > 0; --n) {
    if (SioGetc(port) < 0) break;
  }
  return inner_.SioRxClear(port);
}

int RecordingSerialPort::SioTxClear(int port) { return inner_.SioTxClear(port); }
int RecordingSerialPort::SioDone(int port) {
  Flush();
  return inner_.SioDone(port);
}
std::string RecordingSerialPort::PortDescription(int port) const { return inner_.PortDescription(port); }
std::vector<int> RecordingSerialPort::Ports() const { return inner_.Ports(); }

std::optional<std::vector<RecordedExchange>> ReadSessionRecord(const std::string& text, std::string& error) {
  std::vector<RecordedExchange> exchanges;
  size_t lineNo = 0;
  size_t start = 0;
  bool header = false;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    start = end + 1;
    ++lineNo;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    if (line[0] == '#') {
      header = header || line == kSessionRecordHeader;
      continue;
    }
    char* after = nullptr;
    const long long us = std::strtoll(line.c_str(), &after, 10);
    const size_t at = static_cast<size_t>(after - line.c_str());
    if (!header || at == 0 || line.size() < at + 3 || line[at] != ' ' || (line[at + 1] != '>' && line[at + 1] != '<') ||
        line[at + 2] != ' ') {
      error = header ? "line " + std::to_string(lineNo) + " is not \"<microseconds> > text\" or \"... < text\""
                     : "it does not start with the session record's header line";
      return std::nullopt;
    }
    auto bytes = UnescapeRecordBytes(std::string_view(line).substr(at + 3));
    if (!bytes) {
      error = "line " + std::to_string(lineNo) + " has a malformed \\ escape";
      return std::nullopt;
    }
    // A bare line end is no line to the controller: what follows it answers the line before.
    if (line[at + 1] == '>') {
      if (!LineText(*bytes).empty()) exchanges.push_back(RecordedExchange{us, lineNo, LineText(*bytes), ""});
    } else if (!exchanges.empty()) {
      exchanges.back().reply += *bytes;
    }
  }
  if (exchanges.empty()) {
    error = "it holds no host line";
    return std::nullopt;
  }
  return exchanges;
}

bool IsRequestLine(std::string_view line) {
  return !line.empty() && (line[0] == 'R' || line[0] == 'V' || line[0] == 'U');
}

SessionReplay::SessionReplay(std::vector<RecordedExchange> exchanges, std::function<void(const std::string&)> report)
    : exchanges_(std::move(exchanges)), report_(std::move(report)) {}

void SessionReplay::Write(std::string_view bytes, std::string& reply) {
  for (char c : bytes) {
    if (c != '\n' && c != '\r') {
      // A line longer than any the controller takes is no line of the record.
      if (pending_.size() < 4096) pending_ += c;
      continue;
    }
    if (pending_.empty()) continue;
    std::string line;
    line.swap(pending_);
    ++hostLines_;
    Answer(line, reply);
  }
}

std::optional<size_t> SessionReplay::Find(const std::string& line, size_t from, bool anyBetween) const {
  for (size_t i = from; i < exchanges_.size(); ++i) {
    if (exchanges_[i].host == line) return i;
    if (!anyBetween && !IsRequestLine(exchanges_[i].host)) return std::nullopt;
  }
  return std::nullopt;
}

void SessionReplay::Answer(const std::string& line, std::string& reply) {
  // The next recorded line, or a later one past requests the host did not make this time.
  if (auto at = Find(line, next_, false)) {
    reply += exchanges_[*at].reply;
    next_ = *at + 1;
    ++answered_;
    return;
  }
  if (IsRequestLine(line)) {
    // A request the recording holds fewer of here: the answer last recorded for it stands.
    for (size_t i = next_; i-- > 0;) {
      if (exchanges_[i].host == line) {
        reply += exchanges_[i].reply;
        ++answered_;
        return;
      }
    }
    if (auto ahead = Find(line, next_, true)) {
      reply += exchanges_[*ahead].reply;
      ++answered_;
      return;
    }
  }
  ++departures_;
  std::string text = "the host departed from the recording at its line " + std::to_string(hostLines_) + ": it sent " +
                     Quoted(line);
  if (next_ < exchanges_.size()) {
    const RecordedExchange& e = exchanges_[next_];
    text += ", the recording has " + Quoted(e.host) + " (record line " + std::to_string(e.fileLine) + ", " +
            Seconds(e.timeUs) + ")";
  } else {
    text += " after the recording's end";
  }
  auto again = Find(line, next_, true);
  if (again) {
    text += "; going on from record line " + std::to_string(exchanges_[*again].fileLine);
    reply += exchanges_[*again].reply;
    next_ = *again + 1;
    ++answered_;
  } else {
    text += "; the recording never has it: no answer";
  }
  if (report_) report_(text);
}

}  // namespace wendlar
