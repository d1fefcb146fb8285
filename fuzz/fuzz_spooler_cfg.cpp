// Spooler.cfg read at start, with the machine file it may name.
#include "FuzzRig.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // One System for the process: loading replaces what the last input left.
  static wendlar::fuzz::FuzzSystem rig;
  rig.ClearOutput();
  wendlar::fuzz::WriteInput(rig.dir, "Spooler.cfg", data, size);
  (void)rig.sys->environment.LoadEnvironment();
  return 0;
}
