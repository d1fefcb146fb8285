// The single-instance lock of the desktop program: a second copy learns it is not alone.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace wendlar {

// An flock on a file named after the lock. The operating system releases it when the
// process ends, however it ends, so a crash never leaves the program locked out.
class InstanceLock {
 public:
  enum class State {
    kAcquired,       // this process holds the lock
    kHeldElsewhere,  // another process holds it: this one should end silently
    kUnavailable,    // the lock file could not be made; better to run than to refuse
  };

  // A lock named `name` kept in `dir`.
  InstanceLock(std::string name, std::filesystem::path dir);
  ~InstanceLock();
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

  // Tries once, without waiting. Calling it again while held changes nothing.
  [[nodiscard]] State TryAcquire();
  // True while this object holds the lock.
  bool Held() const { return fd_ >= 0; }
  // Lets go of the lock (also done by the destructor).
  void Release();
  // The lock file, for messages.
  const std::filesystem::path& FilePath() const { return path_; }

  // The executable's file name without its folder, followed by "_2nd_instance_lockout",
  // in upper case.
  static std::string NameFor(std::string_view argv0);
  // Where locks live: $XDG_RUNTIME_DIR (private to the user), else /tmp.
  static std::filesystem::path DefaultDir();
  // The file for a lock name in a folder; in the shared /tmp it carries the user id, so
  // one user's program never locks out another's.
  static std::filesystem::path FileFor(const std::string& name, const std::filesystem::path& dir);

 private:
  std::filesystem::path path_;
  int fd_ = -1;
};

}  // namespace wendlar
