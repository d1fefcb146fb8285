// The simulated controller's line parser: whatever a host may write, in pieces, over time.
#include "FuzzRig.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  wendlar::VirtualEventLoop loop;
  wendlar::sim::SimController sim(loop);
  std::string reply;
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  // Pieces end after each CR, so motion runs between lines as on a real line.
  while (!bytes.empty()) {
    size_t cut = bytes.find('\r');
    cut = cut == std::string_view::npos ? bytes.size() : cut + 1;
    sim.Write(bytes.substr(0, cut), reply);
    bytes.remove_prefix(cut);
    loop.RunFor(3);
    sim.Update();
    reply.clear();
  }
  return 0;
}
