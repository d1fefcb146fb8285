// The program-wide flags that every engine, flush and wait loop tests.
#pragma once

#include <cstdint>

namespace wendlar {

struct RunFlags {
  uint8_t AbortRun = 0;  // set by the operator's stop, job errors and fault reactions
  bool Closing = false;  // the program is shutting down: every nested wait ends
  // True when a wait loop must stop at once.
  bool StopWaiting() const { return AbortRun != 0 || Closing; }
};

}  // namespace wendlar
