// Helpers of the simulated controller's tests: a hand-set clock, lines and packets.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>

#include "sim/SimController.h"

namespace wendlar::sim::testing {

// A controller on a clock the test moves by hand.
struct Bench {
  explicit Bench(SimOptions options = {}) : sim([this] { return nowUs; }, std::move(options)) {}

  // Writes one line as the host does (LF CR after the text) and returns what came back.
  std::string Line(const std::string& text) {
    std::string reply;
    sim.Write(text + "\n\r", reply);
    return reply;
  }
  // Sends one record as a packet line.
  std::string Send(uint8_t code, std::initializer_list<uint8_t> args = {}) { return Line(Packet(code, args)); }
  // Runs the first steps of the host's initialisation: acceleration settings and table.
  void Initialise() {
    Send(11, {210, 210, 0, 1, 0, 25, 150});
    Send(30, {1});
  }
  void RunMs(int64_t ms) { nowUs += ms * 1000; }

  // "S3", code and b1..b10 in hex, the XOR checksum, without the line end.
  static std::string Packet(uint8_t code, std::initializer_list<uint8_t> args) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    uint8_t bytes[11] = {code};
    int i = 1;
    for (uint8_t b : args) {
      if (i < 11) bytes[i++] = b;
    }
    std::string line = "S3";
    uint8_t sum = 0;
    for (uint8_t b : bytes) {
      line += kHex[b >> 4];
      line += kHex[b & 15];
      sum ^= b;
    }
    line += kHex[sum >> 4];
    line += kHex[sum & 15];
    return line;
  }

  int64_t nowUs = 0;
  SimController sim;
};

// Decodes the hex bytes of a report line ("2.0A00..."), or nothing when malformed.
inline std::string ReportBytes(const std::string& reply) {
  std::string bytes;
  for (size_t i = 2; i + 1 < reply.size() && reply[i] != '\r'; i += 2) {
    bytes += static_cast<char>(std::stoi(reply.substr(i, 2), nullptr, 16));
  }
  return bytes;
}

}  // namespace wendlar::sim::testing
