#include "console/DebugFile.h"

#include <cerrno>
#include <cstring>
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

void DebugFile::Failed(const std::string& file, const std::string& why) {
  if (failed_) return;
  failed_ = true;
  if (ReportWriteError) ReportWriteError("Cannot write the debug log " + file + ": " + why);
}

void DebugFile::Create() {
  if (out_.is_open()) return;
  const auto part = PartPath(home_.Resolve(kDebugFileName));
  errno = 0;
  out_.open(part, std::ios::binary | std::ios::trunc);
  if (!out_.is_open()) Failed(part.string(), std::strerror(errno != 0 ? errno : EIO));
}

void DebugFile::Close() {
  if (!out_.is_open()) return;
  out_.close();
  const auto target = home_.Resolve(kDebugFileName);
  std::error_code ec;
  std::filesystem::rename(PartPath(target), target, ec);
  // The log stays beside it under its working name; nothing of it is lost.
  if (ec) {
    Failed(target.string(), ec.message() + "; the log is in " + PartPath(target).string());
  } else {
    failed_ = false;
  }
}

void DebugFile::WriteDebugLine(std::string_view line) {
  if (!out_.is_open()) return;
  errno = 0;
  out_ << line << "\r\n";
  out_.flush();
  if (out_.fail()) Failed(PartPath(home_.Resolve(kDebugFileName)).string(), std::strerror(errno != 0 ? errno : EIO));
}

}  // namespace wendlar
