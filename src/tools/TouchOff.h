// Tool touch-off on the touch pad and the corner finder that zeroes X, Y and Z on the stock.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "console/ManualContext.h"
#include "console/MotionCommands.h"

namespace wendlar {

class TouchOff {
 public:
  TouchOff(ManualContext& ctx, MotionCommands& motion) : ctx_(ctx), motion_(motion) {}

  // The configuration dialog's tool diameter (Touch_dia), in user units.
  std::function<double()> ToolDiameter;

  // Menu "Tool Touch pad" (Ctrl+T): lowers the tool onto the pad and sets Z so that the
  // pad's top is at Tpad_Size, then lifts 0.5 units above it. True when it ran to the end.
  bool ToolTouchOff();
  // The console's Touch button: asks "Tool Touch off, Are you sure ?" first.
  void TouchClick();
  // Menu "Corner Finder" (Ctrl+F): touch-off, then the Y and X edges of the stock; ends at
  // X 0, Y 0, 0.4 units above the pad. R_vel_max and Z_raise_vel are restored however it ends.
  bool FindCorner();

  // Why the last routine ended early; empty after a full run.
  const std::string& Failure() const { return failure_; }

 private:
  // Busy then idle, bounded; `mustSeeBusy` for touches, which cannot finish unseen. The
  // marker (if any) goes to the code-line panel between the two halves.
  [[nodiscard]] bool WaitProbe(bool mustSeeBusy, const char* marker = nullptr);
  bool SetPosition(uint8_t axis, int64_t steps);
  // Z to `abovePad` units above the pad's top (below it when negative).
  bool ZToPad(double abovePad, uint8_t speed);
  bool Fail(std::string text);
  void Marker(const char* text) { ctx_.console.CodeLines.Add(text); }
  int64_t ZSteps(double units) const;

  ManualContext& ctx_;
  MotionCommands& motion_;
  std::string failure_;
  const StopMark* mark_ = nullptr;
};

}  // namespace wendlar
