// Controller reply lines decoded by the link and handled by the whole System: the console's
// reactions, the polling and the status texts, on a connected controller.
#include "FuzzRig.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Connecting runs seconds of virtual time; one System serves every input, and connects
  // again only when an input took it offline.
  static wendlar::fuzz::FuzzSystem rig;
  rig.ClearOutput();
  auto& sys = *rig.sys;
  if (!sys.link.Connected &&
      sys.connection.ConnectController(wendlar::kFirstDevicePort) != wendlar::kConnectOk) {
    __builtin_trap();
  }
  for (const auto& line : wendlar::fuzz::InputLines(data, size)) {
    sys.link.DecodeReply(line);
    rig.loop.RunFor(1);
  }
  rig.loop.RunFor(10);
  return 0;
}
