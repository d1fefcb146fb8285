#include "core/InstanceLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>

namespace wendlar {

namespace fs = std::filesystem;

InstanceLock::InstanceLock(std::string name, fs::path dir) : path_(FileFor(name, dir)) {}

InstanceLock::~InstanceLock() { Release(); }

InstanceLock::State InstanceLock::TryAcquire() {
  if (fd_ >= 0) return State::kAcquired;
  const int fd = ::open(path_.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return State::kUnavailable;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    ::close(fd);
    return error == EWOULDBLOCK ? State::kHeldElsewhere : State::kUnavailable;
  }
  fd_ = fd;
  return State::kAcquired;
}

void InstanceLock::Release() {
  if (fd_ < 0) return;
  // The file stays: removing it would let a third copy lock a new file while a second
  // still holds the old one.
  ::close(fd_);
  fd_ = -1;
}

std::string InstanceLock::NameFor(std::string_view argv0) {
  const size_t slash = argv0.find_last_of('/');
  std::string name(slash == std::string_view::npos ? argv0 : argv0.substr(slash + 1));
  name += "_2nd_instance_lockout";
  std::transform(name.begin(), name.end(), name.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return name;
}

fs::path InstanceLock::DefaultDir() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && *runtime != '\0' && ::access(runtime, W_OK) == 0) return runtime;
  return "/tmp";
}

fs::path InstanceLock::FileFor(const std::string& name, const fs::path& dir) {
  if (dir == "/tmp") return dir / (name + "." + std::to_string(::getuid()));
  return dir / name;
}

}  // namespace wendlar
