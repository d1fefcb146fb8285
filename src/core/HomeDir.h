// The file seam: the program directory, name resolution and safe whole-file writes.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wendlar {

// Bare file names mean files in the program directory; they are resolved here instead of
// changing the process's current directory. Lines are written with CR LF endings.
class HomeDir {
 public:
  explicit HomeDir(std::filesystem::path dir);

  const std::filesystem::path& Path() const { return dir_; }

  // A bare name becomes a path in the program directory, matching an existing file
  // without regard to case; a name with a folder part is used as it is.
  std::filesystem::path Resolve(std::string_view name) const;

  // Writes the whole file through a temporary file and a rename, so a crash or a full
  // disk never leaves a half-written file. False when anything failed; `why` then gets the
  // reason in words (the system's own, e.g. "Permission denied").
  [[nodiscard]] bool WriteTextAtomic(std::string_view name, std::string_view content,
                                     std::string* why = nullptr) const;
  [[nodiscard]] bool WriteLinesAtomic(std::string_view name, const std::vector<std::string>& lines,
                                      std::string* why = nullptr) const;
  // Appends one CR LF line, creating the file when it is missing. On failure the file is
  // cut back to its old length, so earlier lines are kept and no half line is left; `why`
  // gets the reason in words.
  [[nodiscard]] bool AppendLine(std::string_view name, std::string_view line, std::string* why = nullptr) const;

  // A disk that holds only this many more bytes: later writes fail as on a full disk
  // ("No space left on device"). For tests of a full disk; nothing limits writes otherwise.
  void LimitFreeSpace(std::optional<uintmax_t> bytes) { freeSpace_ = bytes; }

  std::optional<std::string> ReadText(std::string_view name) const;
  // Splits on LF and drops CR; a last line without LF still counts.
  std::optional<std::vector<std::string>> ReadLines(std::string_view name) const;

  // The executable's folder when writable, otherwise a per-user data folder.
  static std::filesystem::path DefaultFor(const char* argv0);

 private:
  // Writes all of `data` to an open descriptor, honouring LimitFreeSpace; errno on failure.
  bool WriteAll(int fd, std::string_view data) const;

  std::filesystem::path dir_;
  mutable std::optional<uintmax_t> freeSpace_;
};

// Splits text into lines on LF, dropping CR; a trailing line without LF is kept.
std::vector<std::string> SplitLines(std::string_view text);

}  // namespace wendlar
