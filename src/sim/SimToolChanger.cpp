#include "sim/SimToolChanger.h"

#include <cstddef>

namespace wendlar::sim {

uint8_t SimToolChanger::InputPort(bool spindleStopped) const {
  uint8_t port = 0;
  if ((Outputs() & 0x02) == 0) port |= 0x01;
  if (spindleStopped) port |= 0x02;
  if (registers_[kCarouselRegister] == 0) port |= 0x04;
  return port;
}

uint8_t SimToolChanger::Transfer(uint8_t byte, bool spindleStopped) {
  if (!selected_) return 0xFF;
  const uint8_t out = answer_;
  answer_ = 0;
  if (writeTo_ >= 0) {
    registers_[static_cast<std::size_t>(writeTo_)] = byte;
    writeTo_ = -1;
    return out;
  }
  const int n = byte & 0x1F;
  const auto reg = static_cast<std::size_t>(n);
  switch (byte >> 5) {
    case 1:
      registers_[kOutputRegister] = static_cast<uint8_t>(registers_[kOutputRegister] | (1u << (n & 7)));
      break;
    case 2:
      registers_[kOutputRegister] = static_cast<uint8_t>(registers_[kOutputRegister] & ~(1u << (n & 7)));
      break;
    case 3:
      writeTo_ = n;
      break;
    case 4:
      answer_ = n == kInputPort ? InputPort(spindleStopped) : registers_[reg];
      break;
    case 6:
      answer_ = n < 8 ? static_cast<uint8_t>((InputPort(spindleStopped) >> n) & 1) : 0;
      break;
    case 7:
      registers_[kCarouselRegister] = 0;
      break;
    default:
      break;
  }
  return out;
}

}  // namespace wendlar::sim
