// What the fuzz targets share: a scratch folder, the input as a file, and a whole System.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "core/Prompts.h"
#include "core/VirtualEventLoop.h"
#include "link/serial/InProcessSerialPort.h"
#include "sim/SimController.h"
#include "system/System.h"

namespace wendlar::fuzz {

// A new empty folder of this process's own, removed at exit.
std::filesystem::path FreshScratchDir();

// Writes the input as `name` in `dir`; the path.
std::filesystem::path WriteInput(const std::filesystem::path& dir, std::string_view name, const uint8_t* data,
                                 size_t size);

// The input as job file `name` read as `check` reads it, on an inch and on a metric machine.
void CheckJobInput(const uint8_t* data, size_t size, std::string_view name);

// The input split at LF with CR dropped, as the line readers see it.
std::vector<std::string> InputLines(const uint8_t* data, size_t size);

// A whole System on virtual time in a fresh program folder, the simulated controller on
// its port. Its output and load errors go to string streams nobody reads.
struct FuzzSystem {
  FuzzSystem();
  ~FuzzSystem();
  // Drops what the last input printed, so a rig that serves every input does not grow.
  void ClearOutput() {
    out.str({});
    errors.str({});
  }

  std::filesystem::path dir;
  VirtualEventLoop loop;
  // One rig serves every input: the controller keeps only its latest trace lines.
  sim::SimController sim{loop, sim::SimOptions{.traceLimit = 256}};
  InProcessSerialPort port{loop};
  UnattendedPrompts prompts;
  std::ostringstream out, errors;
  std::unique_ptr<System> sys;
};

}  // namespace wendlar::fuzz
