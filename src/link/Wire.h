// Wire encoding of the controller link: hex pairs, packet lines, checksums, reply lengths.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "link/CommandRecord.h"

namespace wendlar {

// Longest line the link sends; the controller's receive line holds 63 characters.
inline constexpr size_t kMaxLineLength = 63;

// The two uppercase hex digits of a byte, high nibble first.
std::string ByteToHexPair(uint8_t value);

namespace wire_detail {
constexpr std::array<int8_t, 256> MakeHexValues() {
  std::array<int8_t, 256> values{};
  for (auto& v : values) v = -1;
  for (int i = 0; i < 10; ++i) values[static_cast<size_t>('0' + i)] = static_cast<int8_t>(i);
  for (int i = 0; i < 6; ++i) values[static_cast<size_t>('A' + i)] = static_cast<int8_t>(10 + i);
  return values;
}
inline constexpr std::array<int8_t, 256> kHexValues = MakeHexValues();
}  // namespace wire_detail

// The byte of two hex digits ('0'-'9', 'A'-'F' only); nothing for any other character.
// Inline: every reply byte passes through it.
[[nodiscard]] inline std::optional<uint8_t> HexPairToByte(char high, char low) {
  const int h = wire_detail::kHexValues[static_cast<unsigned char>(high)];
  const int l = wire_detail::kHexValues[static_cast<unsigned char>(low)];
  if ((h | l) < 0) return std::nullopt;
  return static_cast<uint8_t>(h * 16 + l);
}

// XOR of the code and b1..b10 (b11 never travels).
uint8_t PacketChecksum(const CommandRecord& record);

// The 28-character "S3" line of one record: code and b1..b10 in hex, checksum, LF, CR.
std::string PacketLine(const CommandRecord& record);

// Bytes the controller's reply to `line` must exceed before the reply is read.
int ExpectedReplyLength(std::string_view line);

}  // namespace wendlar
