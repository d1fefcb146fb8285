// Homing from the console and the menu, the switch-detect homing to a non-zero position,
// and the "Z to Zero" and "Z to Safe" panels.
#pragma once

#include "console/ManualContext.h"
#include "console/MotionCommands.h"

namespace wendlar {

// Y of a dual-head machine after homing, in user units.
inline constexpr double kDualHomeY = 32.0;

enum class MouseButton { Left, Right };

class Homing {
 public:
  Homing(ManualContext& ctx, MotionCommands& motion) : ctx_(ctx), motion_(motion) {}

  // After "Home XY axis, Are you sure ?": HomeXYChoice.
  void HomeXYbutClick();
  // After "Home Z axis, Are you sure ?": HomeZ.
  void HomeZbutClick();
  // Menu "Home W axis", after "Home W axis, Are you sure ?": the menu form of HomeW.
  void HomeWaxisClick();
  // Plain XY homing, or on Hm_XNYP machines both heads with X set to 0 and Y to 32 units.
  // No question and no busy test: the macros call it under their own long operation.
  void HomeXYChoice();

  // Menu "Home Switch Detect": X or Y homed to its switch, then reset and set to 0.
  // Returns when done, stopped or the link went quiet.
  void HomeXNonZero();
  void HomeYNonZero();
  // Z towards its switch with the XY clearance; no wait, no position reset.
  void HomeZNonZero();

  // The Z panels: mouse down lowers the bevel, mouse up raises it and moves Z (left
  // button) or W (right button) to zero or to the safe height.
  void Z_zeroMouseDown();
  void Z_zeroMouseUp(MouseButton button);
  void Z_2topMouseDown();
  void Z_2topMouseUp(MouseButton button);

 private:
  void HomeAxisNonZero(uint8_t mode, uint8_t axis);

  ManualContext& ctx_;
  MotionCommands& motion_;
};

}  // namespace wendlar
