// Offsets.cfg read into the work offsets, written back and read again unchanged.
#include "FuzzRig.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // One System for the process: loading replaces what the last input left.
  static wendlar::fuzz::FuzzSystem rig;
  rig.ClearOutput();
  wendlar::fuzz::WriteInput(rig.dir, "Offsets.cfg", data, size);
  auto& jumpbox = rig.sys->jumpbox;
  (void)jumpbox.LoadOffsets();
  jumpbox.OffsetsToDialog();
  if (!jumpbox.SaveOffsets()) __builtin_trap();
  const auto saved = rig.sys->home.ReadText("Offsets.cfg");
  if (!jumpbox.LoadOffsets()) __builtin_trap();
  jumpbox.OffsetsToDialog();
  if (!jumpbox.SaveOffsets() || rig.sys->home.ReadText("Offsets.cfg") != saved) __builtin_trap();
  return 0;
}
