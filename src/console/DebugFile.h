// The optional debug log of a run ("debug.txt" in the program directory).
#pragma once

#include <fstream>
#include <functional>
#include <string>
#include <string_view>

#include "core/HomeDir.h"
#include "motion/MotionPorts.h"

namespace wendlar {

inline constexpr const char* kDebugFileName = "debug.txt";

class DebugFile : public DebugLog {
 public:
  explicit DebugFile(const HomeDir& home) : home_(home) {}

  // Told when the log cannot be made, written or put in place, with the file and the
  // reason; once, until a log is put in place again.
  std::function<void(const std::string&)> ReportWriteError;

  // Creates the file empty and keeps it open; a file that cannot be made leaves the log off.
  // A log already open goes on: the several hooks of one run (file prepared, job opened,
  // engine started) all ask for it, and the run's log is one file.
  void Create();
  void Close();
  bool DebugOn() const override { return out_.is_open(); }
  // One CR LF line.
  void WriteDebugLine(std::string_view line) override;

 private:
  void Failed(const std::string& file, const std::string& why);

  const HomeDir& home_;
  std::ofstream out_;
  bool failed_ = false;  // a failure was said and nothing has worked since
};

}  // namespace wendlar
