// Line reading of G-code programs: buffered, control characters dropped, any content accepted.
#pragma once

#include <filesystem>
#include <fstream>
#include <istream>
#include <memory>
#include <string>
#include <vector>

namespace wendlar {

class GcodeLineSource {
 public:
  // Reads from a stream the caller keeps alive.
  explicit GcodeLineSource(std::istream& in);
  // Opens a file; Ok() tells whether it opened.
  explicit GcodeLineSource(const std::filesystem::path& path);
  GcodeLineSource(const GcodeLineSource&) = delete;
  GcodeLineSource& operator=(const GcodeLineSource&) = delete;

  bool Ok() const { return in_ != nullptr; }
  // Reads up to a line feed or the end of the file into text, dropping every character with
  // code 31 or less. False when nothing is left (a last line without a line feed still counts).
  bool ReadLine(std::string& text);
  // The file's line number of the line last read, from 1.
  int LineNumber() const { return lineNumber_; }

 private:
  bool Fill();

  std::unique_ptr<std::ifstream> file_;
  std::istream* in_ = nullptr;
  std::vector<char> buf_;
  size_t pos_ = 0, end_ = 0;
  bool eof_ = false;
  int lineNumber_ = 0;
};

}  // namespace wendlar
