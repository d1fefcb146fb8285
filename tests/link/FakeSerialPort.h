// A scripted serial port for the link tests: records what is written, answers lines.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "link/serial/SerialPort.h"

namespace wendlar::test {

class FakeSerialPort : public SerialPort {
 public:
  // Answers a line written with SioPuts; the answer lands in the receive queue at once.
  std::function<std::string(const std::string& line)> responder;
  int openResult = 0;
  int doneResult = 0;
  bool open = false;
  std::string written;             // every byte written, in order
  std::vector<std::string> lines;  // each SioPuts call
  std::string rx;                  // receive queue
  int rxClears = 0;

  int SioReset(int, int, int) override {
    open = openResult >= 0;
    return openResult;
  }
  int SioBaud(int, int) override { return 0; }
  int SioParms(int, int, int, int) override { return 0; }
  int SioPuts(int, const char* data, int length) override {
    std::string line(data, static_cast<size_t>(length));
    written += line;
    lines.push_back(line);
    if (responder) rx += responder(line);
    return length;
  }
  int SioPutc(int, char byte) override {
    written += byte;
    return 0;
  }
  int SioGetc(int) override {
    if (rx.empty()) return -1;
    const auto c = static_cast<unsigned char>(rx.front());
    rx.erase(0, 1);
    return c;
  }
  int SioRxQue(int) override { return static_cast<int>(rx.size()); }
  int SioRxClear(int) override {
    ++rxClears;
    rx.clear();
    return 0;
  }
  int SioTxClear(int) override { return 0; }
  int SioDone(int) override {
    open = false;
    return doneResult;
  }
  std::string PortDescription(int) const override { return "/dev/fake"; }
};

// Answers like a controller: packet lines with "S3" + CR LF, requests with fixed reports.
inline std::string ControllerAnswer(const std::string& line) {
  if (line.rfind("S3", 0) == 0) return "S3K\r\n";
  if (line == "R1\n\r") return "1.0A00000000\r\n";
  if (line == "R2\n\r") return "2.000000000000\r\n";
  if (line == "R3\n\r") return "3.00000000000000000000\r\n";
  if (line == "R4\n\r") return "4.030000000000000000000000\r\n";
  if (line == "R5\n\r") return "5.0100001234\r\n";
  return "";
}

}  // namespace wendlar::test
