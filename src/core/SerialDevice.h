// The far end of an in-process serial line (the simulated controller implements it).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace wendlar {

class SerialDevice {
 public:
  virtual ~SerialDevice() = default;
  // Takes bytes the host wrote and appends whatever the device answers at once to `reply`.
  virtual void Write(std::string_view bytes, std::string& reply) = 0;
  // How long the answer takes to arrive at the host, in microseconds.
  virtual int64_t ReplyLatencyUs() const { return 1000; }
};

}  // namespace wendlar
