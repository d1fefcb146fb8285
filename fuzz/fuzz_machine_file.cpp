// A machine file (*.MAC) loaded, through the setup dialog and back, saved and loaded again:
// what was loaded must survive the round trip unchanged.
#include <cstdio>

#include "FuzzRig.h"
#include "config/ConfigFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // One System for the process: loading replaces what the last input left.
  static wendlar::fuzz::FuzzSystem rig;
  rig.ClearOutput();
  wendlar::fuzz::WriteInput(rig.dir, "FUZZ.MAC", data, size);
  auto& sys = *rig.sys;
  if (wendlar::LoadMachineConfig(sys.config, "FUZZ.MAC", sys.ConfigOutput()) == wendlar::ConfigLoad::NotFound) {
    return 0;
  }
  sys.setup.ConfigToDialog();
  if (!sys.setup.DialogToConfig()) return 0;
  const auto loaded = wendlar::MachineConfigLines(sys.config);
  if (!wendlar::SaveMachineConfig(sys.config, "AGAIN.MAC", sys.ConfigOutput())) __builtin_trap();
  if (wendlar::LoadMachineConfig(sys.config, "AGAIN.MAC", sys.ConfigOutput()) != wendlar::ConfigLoad::Loaded) {
    __builtin_trap();
  }
  const auto again = wendlar::MachineConfigLines(sys.config);
  for (size_t i = 0; i < loaded.size() && i < again.size(); ++i) {
    if (loaded[i] != again[i]) {
      std::fprintf(stderr, "line %zu: saved \"%s\", read back \"%s\"\n", i + 1, loaded[i].c_str(), again[i].c_str());
      __builtin_trap();
    }
  }
  if (again.size() != loaded.size()) __builtin_trap();
  return 0;
}
