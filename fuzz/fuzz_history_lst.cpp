// History.lst shown in the fault list, then a new line appended without losing the old ones.
#include "FuzzRig.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // One System for the process: loading replaces what the last input left.
  static wendlar::fuzz::FuzzSystem rig;
  rig.ClearOutput();
  wendlar::fuzz::WriteInput(rig.dir, "History.lst", data, size);
  auto& jumpbox = rig.sys->jumpbox;
  jumpbox.ShowFaultHistory();
  const auto before = rig.sys->home.ReadText("History.lst");
  jumpbox.AddFaultHistory("Door open Interlock");
  const auto after = rig.sys->home.ReadText("History.lst");
  if (!before || !after || after->compare(0, before->size(), *before) != 0) __builtin_trap();
  return 0;
}
