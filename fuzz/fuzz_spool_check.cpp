// The spooler job reader as `check` reads a job, on an inch and on a metric machine.
#include "FuzzRig.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  wendlar::fuzz::CheckJobInput(data, size, "job.vrj");
  return 0;
}
