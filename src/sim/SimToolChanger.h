// The simulated tool changer on the controller's SPI link: one byte in, the answer to the
// previous command shifted back out.
#pragma once

#include <array>
#include <cstdint>

namespace wendlar::sim {

// Bytes are a 3-bit command and a 5-bit operand n:
//   000 nothing (clocks the answer out)   001 set output bit n    010 clear output bit n
//   011 the next byte goes to register n  100 read register n     101 nothing
//   110 read input line n (answer 0 or 1) 111 home the carousel
// Register 0 holds the outputs, register 1 the carousel position, register 26 the input
// port: bit 0 drawbar clamped (output bit 1 clear), bit 1 spindle stopped, bit 2 carousel
// at home. A deselected changer ignores its bytes and the line reads 0xFF.
class SimToolChanger {
 public:
  static constexpr int kRegisters = 32;
  static constexpr int kOutputRegister = 0;
  static constexpr int kCarouselRegister = 1;
  static constexpr int kInputPort = 26;

  // One SPI byte. `spindleStopped` is the changer's spindle-stopped input line.
  uint8_t Transfer(uint8_t byte, bool spindleStopped);
  void Select(bool on) { selected_ = on; }
  void SetMode(uint8_t mode) { mode_ = mode; }
  bool Selected() const { return selected_; }
  uint8_t Mode() const { return mode_; }
  uint8_t Outputs() const { return registers_[kOutputRegister]; }
  uint8_t InputPort(bool spindleStopped) const;

 private:
  std::array<uint8_t, kRegisters> registers_{};
  uint8_t answer_ = 0;
  int writeTo_ = -1;  // register the next byte is written to
  bool selected_ = true;
  uint8_t mode_ = 0;
};

}  // namespace wendlar::sim
