#include "console/DebugFile.h"

#include <system_error>

namespace wendlar {

namespace {
// The log of the run in progress; it replaces debug.txt whole when the run ends, so a crash
// leaves the last complete log in place and this one beside it.
std::filesystem::path PartPath(const std::filesystem::path& target) {
  auto part = target;
  part += ".part";
  return part;
}
}  // namespace

void DebugFile::Create() {
  Close();
  out_.open(PartPath(home_.Resolve(kDebugFileName)), std::ios::binary | std::ios::trunc);
}

void DebugFile::Close() {
  if (!out_.is_open()) return;
  out_.close();
  const auto target = home_.Resolve(kDebugFileName);
  std::error_code ec;
  std::filesystem::rename(PartPath(target), target, ec);
}

void DebugFile::WriteDebugLine(std::string_view line) {
  if (!out_.is_open()) return;
  out_ << line << "\r\n";
  out_.flush();
}

}  // namespace wendlar
