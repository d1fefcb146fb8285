// The command record: the unit every part of the program hands to the link.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>

namespace wendlar {

// A one-byte command code and eleven argument bytes b1..b11. Only the code and b1..b10
// reach the wire; b11 is never transmitted.
struct CommandRecord {
  std::array<uint8_t, 12> bytes{};  // bytes[0] is the code, bytes[i] is b<i>

  CommandRecord() = default;
  // CommandRecord(code, {b1, b2, ...}); missing bytes are 0.
  CommandRecord(uint8_t code, std::initializer_list<uint8_t> args) {
    bytes[0] = code;
    size_t i = 1;
    for (uint8_t b : args) {
      if (i < bytes.size()) bytes[i++] = b;
    }
  }

  uint8_t Code() const { return bytes[0]; }
  uint8_t B(int i) const { return bytes[static_cast<size_t>(i)]; }
  void SetB(int i, uint8_t value) { bytes[static_cast<size_t>(i)] = value; }

  friend bool operator==(const CommandRecord&, const CommandRecord&) = default;
};

}  // namespace wendlar
