// The console's six-line code panel: the lines a job reader shows as it goes.
#pragma once

#include <string>

#include "console/ConsoleView.h"

namespace wendlar {

class CodeLinePanel {
 public:
  explicit CodeLinePanel(ConsoleView& view) : view_(view) {}

  // Empties all six labels; the next line goes into GCL3.
  void Clear();
  // Shows a line: GCL3..GCL6 fill in turn, then the panel scrolls up one line per line.
  void Add(const std::string& line);

 private:
  Control& Slot(int n);

  ConsoleView& view_;
  int nextSlot_ = 3;
};

}  // namespace wendlar
