// A fresh program directory per test, removed afterwards.
#pragma once

#include <filesystem>
#include <string>

namespace wendlar::testing {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  // Writes a file byte for byte.
  void Write(const std::string& name, const std::string& content) const;
  // Reads a file byte for byte; empty when missing.
  std::string Read(const std::string& name) const;
  bool Exists(const std::string& name) const;

 private:
  std::filesystem::path path_;
};

// The folder of real G-code programs beside the repository, or empty when it is absent.
std::filesystem::path CorpusDir();

}  // namespace wendlar::testing
