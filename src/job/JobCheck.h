// Reading a job without a controller: what the reader would send, and what it complained about.
#pragma once

#include <filesystem>
#include <ostream>

namespace wendlar {

struct CheckOptions {
  bool Metric = false;  // the machine configuration is metric (default: inch)
};

// Reads a G-code program or a spooler job (*.VRJ) through the real reader and segment buffer
// into a counting sink and prints the drawing limits, the counts and every reader message
// with its line. True when the job would run to its end; false when it would stop
// (AbortRun) or cannot be opened.
bool CheckJobFile(const std::filesystem::path& path, const CheckOptions& options, std::ostream& out);

}  // namespace wendlar
