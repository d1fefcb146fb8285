// Test doubles for the windows the configuration modules report to.
#pragma once

#include <string>
#include <vector>

#include "config/ConfigFile.h"

namespace wendlar::testing {

class RecordingConfigEvents : public ConfigEvents {
 public:
  std::vector<std::string> Progress;
  std::vector<std::string> Messages;
  int Refreshes = 0;

  void ShowProgress(const std::string& text) override { Progress.push_back(text); }
  void ShowMessage(const std::string& text) override { Messages.push_back(text); }
  void RefreshDialog() override { ++Refreshes; }
};

// Joins lines with CR LF, each line ended, as the program writes files.
inline std::string CrLf(const std::vector<std::string>& lines) {
  std::string out;
  for (const auto& l : lines) out += l + "\r\n";
  return out;
}

}  // namespace wendlar::testing
