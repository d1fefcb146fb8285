// The optional debug log of a run ("debug.txt" in the program directory).
#pragma once

#include <fstream>
#include <string_view>

#include "core/HomeDir.h"
#include "motion/MotionPorts.h"

namespace wendlar {

inline constexpr const char* kDebugFileName = "debug.txt";

class DebugFile : public DebugLog {
 public:
  explicit DebugFile(const HomeDir& home) : home_(home) {}

  // Creates the file empty and keeps it open; a file that cannot be made leaves the log off.
  void Create();
  void Close();
  bool DebugOn() const override { return out_.is_open(); }
  // One CR LF line.
  void WriteDebugLine(std::string_view line) override;

 private:
  const HomeDir& home_;
  std::ofstream out_;
};

}  // namespace wendlar
