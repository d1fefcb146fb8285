// Session records: every line exchanged with the controller, with its time, in a text file a
// person can read (a port that records), and the controller's side played back from one, so a
// reported problem can be reproduced without the machine.
#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/SerialDevice.h"
#include "link/serial/SerialPort.h"

namespace wendlar {

// The record's first line.
inline constexpr std::string_view kSessionRecordHeader =
    "# Wendlar session record: microseconds from the start, > host to controller, < controller to host";

// Bytes as a record line shows them: printable characters as they are, \n \r \\ and \xHH.
std::string EscapeRecordBytes(std::string_view bytes);
// The bytes back; nothing when an escape is malformed.
[[nodiscard]] std::optional<std::string> UnescapeRecordBytes(std::string_view text);

// Forwards every operation to the port it wraps and writes what goes over the line to `out`:
// one line per host line (up to its CR) and one per stretch of controller bytes read between
// two host lines, each as "<µs> > text" or "<µs> < text".
class RecordingSerialPort : public SerialPort {
 public:
  RecordingSerialPort(SerialPort& inner, std::ostream& out, std::function<int64_t()> clockUs);
  ~RecordingSerialPort() override;
  RecordingSerialPort(const RecordingSerialPort&) = delete;
  RecordingSerialPort& operator=(const RecordingSerialPort&) = delete;

  int SioReset(int port, int rxQueueSize, int txQueueSize) override;
  int SioBaud(int port, int baudCode) override;
  int SioParms(int port, int parity, int stopBits, int dataBits) override;
  int SioPuts(int port, const char* data, int length) override;
  int SioPutc(int port, char byte) override;
  int SioGetc(int port) override;
  int SioRxQue(int port) override;
  int WaitRxQue(int port, int moreThan, int maxPolls) override;
  int SioRxClear(int port) override;
  int SioTxClear(int port) override;
  int SioDone(int port) override;
  std::string PortDescription(int port) const override;
  std::vector<int> Ports() const override;

  // Writes out what is pending; also done at every host line and on destruction.
  void Flush();

 private:
  void HostBytes(std::string_view bytes);
  void WriteEntry(int64_t timeUs, char direction, const std::string& bytes);

  SerialPort& inner_;
  std::ostream& out_;
  std::function<int64_t()> clockUs_;
  int64_t startUs_;
  std::string host_, reply_;
  int64_t replyUs_ = 0;
  int64_t flushedUs_ = 0;
};

// A recorded exchange: a host line and everything the controller sent after it until the
// host's next line.
struct RecordedExchange {
  int64_t timeUs = 0;
  size_t fileLine = 0;  // of the host line in the record
  std::string host;
  std::string reply;
};

// Reads a record; nothing (with the reason) when it is not one.
[[nodiscard]] std::optional<std::vector<RecordedExchange>> ReadSessionRecord(const std::string& text,
                                                                              std::string& error);

// The controller's side of a record, played back: each host line is answered with the
// recorded reply to the matching recorded line, in order. Status and identity requests,
// whose number depends on timing, may come more or less often than recorded; any other line
// that is not the next one recorded is a departure, said through `report`, after which the
// replay goes on from the line's next occurrence (or stays silent when there is none).
class SessionReplay : public SerialDevice {
 public:
  SessionReplay(std::vector<RecordedExchange> exchanges, std::function<void(const std::string&)> report);

  void Write(std::string_view bytes, std::string& reply) override;

  size_t Answered() const { return answered_; }
  size_t Departures() const { return departures_; }
  // Recorded exchanges not reached yet.
  size_t Left() const { return exchanges_.size() - next_; }

 private:
  void Answer(const std::string& line, std::string& reply);
  // The position of `line` from `from` on: any line when `anyBetween`, else only past requests.
  std::optional<size_t> Find(const std::string& line, size_t from, bool anyBetween) const;

  std::vector<RecordedExchange> exchanges_;
  std::function<void(const std::string&)> report_;
  std::string pending_;
  size_t next_ = 0;
  size_t hostLines_ = 0;
  size_t answered_ = 0;
  size_t departures_ = 0;
};

// True for the controller's status and identity requests: lines that ask and change nothing.
bool IsRequestLine(std::string_view line);

}  // namespace wendlar
