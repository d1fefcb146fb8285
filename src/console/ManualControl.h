// Manual control of the machine from the console: one object holding the moves, outputs,
// speed controls, jogging, homing, the coordinates dialog and the border run.
#pragma once

#include "console/BorderRun.h"
#include "console/CoordinatesDialog.h"
#include "console/Homing.h"
#include "console/Jogging.h"
#include "console/ManualContext.h"
#include "console/MotionCommands.h"
#include "console/Outputs.h"
#include "console/Overrides.h"

namespace wendlar {

class ManualControl {
 public:
  explicit ManualControl(ManualContext context) : Context(context) {}
  ManualControl(const ManualControl&) = delete;
  ManualControl& operator=(const ManualControl&) = delete;

  ManualContext Context;
  MotionCommands Motion{Context};
  Outputs Out{Context};
  Overrides Speeds{Context, Out};
  Jogging Jog{Context, Motion};
  Homing Home{Context, Motion};
  TCoordinates Coordinates{Context, Motion, Speeds};
  BorderRun Border{Context, Motion, Out};
};

}  // namespace wendlar
