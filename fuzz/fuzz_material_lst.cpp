// material.lst read into the materials window, written back and read again unchanged.
#include "FuzzRig.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // One System for the process: loading replaces what the last input left.
  static wendlar::fuzz::FuzzSystem rig;
  rig.ClearOutput();
  wendlar::fuzz::WriteInput(rig.dir, "material.lst", data, size);
  auto& materials = rig.sys->materials;
  (void)materials.LoadMaterials();
  if (!materials.SaveMaterials()) __builtin_trap();
  const auto saved = rig.sys->home.ReadText("material.lst");
  (void)materials.LoadMaterials();
  if (!materials.SaveMaterials() || rig.sys->home.ReadText("material.lst") != saved) __builtin_trap();
  return 0;
}
