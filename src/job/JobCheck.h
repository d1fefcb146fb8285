// Reading a job without a controller: what the reader would send, and what it complained about.
#pragma once

#include <filesystem>
#include <ostream>
#include <string>

#include "config/MachineConfig.h"

namespace wendlar {

struct CheckOptions {
  bool Metric = false;  // the machine configuration is metric (default: inch)
};

// The default machine configuration that `check` reads jobs with.
[[nodiscard]] ConfigState CheckConfig(const CheckOptions& options);

// Pre-flights a G-code program or a spooler job (*.VRJ) on the default machine and prints its
// drawing limits, counts, messages and every refusal with its line. True when the job would
// run; false when it is refused or cannot be opened.
// Why a job file cannot be opened for reading, in words ("No such file or directory", "it is
// a folder").
std::string UnreadableReason(const std::filesystem::path& path);

bool CheckJobFile(const std::filesystem::path& path, const CheckOptions& options, std::ostream& out);

}  // namespace wendlar
