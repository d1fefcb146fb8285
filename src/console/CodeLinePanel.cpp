#include "console/CodeLinePanel.h"

namespace wendlar {

Control& CodeLinePanel::Slot(int n) {
  switch (n) {
    case 1: return view_.GCL1;
    case 2: return view_.GCL2;
    case 3: return view_.GCL3;
    case 4: return view_.GCL4;
    case 5: return view_.GCL5;
    default: return view_.GCL6;
  }
}

void CodeLinePanel::Clear() {
  for (int n = 1; n <= 6; ++n) Slot(n).SetCaption("");
  nextSlot_ = 3;
}

void CodeLinePanel::Add(const std::string& line) {
  if (nextSlot_ <= 6) {
    Slot(nextSlot_++).SetCaption(line);
    return;
  }
  // Once GCL6 is filled, each line shifts GCL1..GCL5 up and lands in GCL5.
  for (int n = 1; n <= 5; ++n) Slot(n).SetCaption(Slot(n + 1).Caption());
  Slot(5).SetCaption(line);
}

}  // namespace wendlar
