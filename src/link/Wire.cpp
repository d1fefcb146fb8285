#include "link/Wire.h"

namespace wendlar {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

}  // namespace

std::string ByteToHexPair(uint8_t value) {
  return {kHexDigits[value >> 4], kHexDigits[value & 0x0F]};
}

uint8_t PacketChecksum(const CommandRecord& record) {
  uint8_t sum = 0;
  for (int i = 0; i <= 10; ++i) sum ^= record.B(i);
  return sum;
}

std::string PacketLine(const CommandRecord& record) {
  std::string line = "S3";
  line.reserve(28);
  for (int i = 0; i <= 10; ++i) line += ByteToHexPair(record.B(i));
  line += ByteToHexPair(PacketChecksum(record));
  line += "\n\r";
  return line;
}

int ExpectedReplyLength(std::string_view line) {
  if (line.empty()) return 0;
  switch (line[0]) {
    case 'S': return 3;
    case 'V': return 8;
    case 'U': return 17;
    case 'R':
      if (line.size() < 2) return 0;
      switch (line[1]) {
        case '1': return 11;
        case '2': return 13;
        case '3': return 21;
        case '4': return 25;
        case '5': return 11;
        default: return 0;
      }
    default: return 0;
  }
}

}  // namespace wendlar
