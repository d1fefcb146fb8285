#include "core/HomeDir.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace wendlar {

namespace fs = std::filesystem;

namespace {

bool SameIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

}  // namespace

HomeDir::HomeDir(fs::path dir) : dir_(std::move(dir)) {}

fs::path HomeDir::Resolve(std::string_view name) const {
  fs::path p{std::string(name)};
  if (p.has_parent_path() || p.is_absolute()) return p;
  fs::path exact = dir_ / p;
  std::error_code ec;
  if (fs::exists(exact, ec)) return exact;
  for (const auto& entry : fs::directory_iterator(dir_, ec)) {
    if (SameIgnoringCase(entry.path().filename().string(), p.string())) return entry.path();
  }
  return exact;
}

bool HomeDir::WriteAll(int fd, std::string_view data) const {
  size_t room = data.size();
  if (freeSpace_ && *freeSpace_ < room) room = static_cast<size_t>(*freeSpace_);
  size_t done = 0;
  while (done < room) {
    const ssize_t n = ::write(fd, data.data() + done, room - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  if (freeSpace_) *freeSpace_ -= done;
  if (done < data.size()) {
    errno = ENOSPC;
    return false;
  }
  return true;
}

bool HomeDir::WriteTextAtomic(std::string_view name, std::string_view content, std::string* why) const {
  auto fail = [why](const std::string& reason) {
    if (why != nullptr) *why = reason;
    return false;
  };
  const fs::path target = Resolve(name);
  std::error_code ec;
  if (fs::is_directory(target, ec)) return fail("it is a folder");
  fs::path temp = target;
  temp += ".tmp" + std::to_string(::getpid());
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return fail(std::strerror(errno));
  bool ok = WriteAll(fd, content) && ::fsync(fd) == 0;
  int error = ok ? 0 : errno;
  if (::close(fd) != 0 && ok) {
    ok = false;
    error = errno;
  }
  if (!ok) {
    ::unlink(temp.c_str());
    return fail(std::strerror(error != 0 ? error : EIO));
  }
  fs::rename(temp, target, ec);
  if (ec) {
    ::unlink(temp.c_str());
    return fail(ec.message());
  }
  return true;
}

bool HomeDir::WriteLinesAtomic(std::string_view name, const std::vector<std::string>& lines, std::string* why) const {
  std::string content;
  for (const auto& line : lines) {
    content += line;
    content += "\r\n";
  }
  return WriteTextAtomic(name, content, why);
}

bool HomeDir::AppendLine(std::string_view name, std::string_view line, std::string* why) const {
  const fs::path target = Resolve(name);
  const int fd = ::open(target.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) {
    if (why != nullptr) *why = std::strerror(errno);
    return false;
  }
  struct stat before {};
  const bool sized = ::fstat(fd, &before) == 0;
  std::string text(line);
  text += "\r\n";
  bool ok = WriteAll(fd, text);
  int error = ok ? 0 : errno;
  // A half line would join the next fault's line; cut it off, keeping every earlier line.
  if (!ok && sized && S_ISREG(before.st_mode)) (void)::ftruncate(fd, before.st_size);
  if (::close(fd) != 0 && ok) {
    ok = false;
    error = errno;
  }
  if (!ok && why != nullptr) *why = std::strerror(error != 0 ? error : EIO);
  return ok;
}

std::optional<std::string> HomeDir::ReadText(std::string_view name) const {
  std::ifstream in(Resolve(name), std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream buffer;
  buffer << in.rdbuf();
  if (in.bad()) return std::nullopt;
  return buffer.str();
}

std::optional<std::vector<std::string>> HomeDir::ReadLines(std::string_view name) const {
  auto text = ReadText(name);
  if (!text) return std::nullopt;
  return SplitLines(*text);
}

std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> lines;
  std::string current;
  for (char c : text) {
    if (c == '\n') {
      lines.push_back(std::move(current));
      current.clear();
    } else if (c != '\r') {
      current += c;
    }
  }
  if (!current.empty()) lines.push_back(std::move(current));
  return lines;
}

fs::path HomeDir::DefaultFor(const char* argv0) {
  std::error_code ec;
  fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (ec && argv0 != nullptr) exe = fs::absolute(argv0, ec);
  fs::path dir = exe.parent_path();
  if (!dir.empty() && ::access(dir.c_str(), W_OK) == 0) return dir;
  const char* xdg = std::getenv("XDG_DATA_HOME");
  const char* home = std::getenv("HOME");
  fs::path data = xdg != nullptr && *xdg != '\0' ? fs::path(xdg)
                  : home != nullptr             ? fs::path(home) / ".local" / "share"
                                                : fs::temp_directory_path();
  data /= "wendlar";
  fs::create_directories(data, ec);
  return data;
}

}  // namespace wendlar
