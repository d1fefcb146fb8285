// The G-code reader as `check` reads a program, on an inch and on a metric machine.
#include "FuzzRig.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  wendlar::fuzz::CheckJobInput(data, size, "job.nc");
  return 0;
}
