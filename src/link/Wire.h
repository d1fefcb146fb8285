// Wire encoding of the controller link: hex pairs, packet lines, checksums, reply lengths.
#pragma once

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

// The byte of two hex digits ('0'-'9', 'A'-'F' only); nothing for any other character.
[[nodiscard]] std::optional<uint8_t> HexPairToByte(char high, char low);

// XOR of the code and b1..b10 (b11 never travels).
uint8_t PacketChecksum(const CommandRecord& record);

// The 28-character "S3" line of one record: code and b1..b10 in hex, checksum, LF, CR.
std::string PacketLine(const CommandRecord& record);

// Bytes the controller's reply to `line` must exceed before the reply is read.
int ExpectedReplyLength(std::string_view line);

}  // namespace wendlar
