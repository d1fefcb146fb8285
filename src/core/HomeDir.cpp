#include "core/HomeDir.h"

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
  {
    std::FILE* f = std::fopen(temp.c_str(), "wb");
    if (f == nullptr) return fail(std::strerror(errno));
    const bool written = std::fwrite(content.data(), 1, content.size(), f) == content.size();
    const bool flushed = written && std::fflush(f) == 0 && ::fsync(fileno(f)) == 0;
    const int error = errno;
    const bool closed = std::fclose(f) == 0;
    if (!written || !flushed || !closed) {
      std::remove(temp.c_str());
      return fail(std::strerror(error != 0 ? error : EIO));
    }
  }
  fs::rename(temp, target, ec);
  if (ec) {
    std::remove(temp.c_str());
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

bool HomeDir::AppendLine(std::string_view name, std::string_view line) const {
  const fs::path target = Resolve(name);
  std::FILE* f = std::fopen(target.c_str(), "ab");
  if (f == nullptr) return false;
  std::string text(line);
  text += "\r\n";
  const bool written = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  const bool closed = std::fclose(f) == 0;
  return written && closed;
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
