// The spooler job reader as `check` reads a job, on an inch and on a metric machine.
#include <ostream>
#include <streambuf>

#include "FuzzRig.h"
#include "job/JobCheck.h"

namespace {
struct NullBuffer : std::streambuf {
  int overflow(int c) override { return c; }
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const auto dir = wendlar::fuzz::FreshScratchDir();
  auto path = wendlar::fuzz::WriteInput(dir, "job.vrj", data, size);
  NullBuffer nothing;
  std::ostream out(&nothing);
  (void)wendlar::CheckJobFile(path, {.Metric = false}, out);
  (void)wendlar::CheckJobFile(path, {.Metric = true}, out);
  return 0;
}
