// "Run around Border": traces the current job's drawing limits with the tool raised.
#pragma once

#include <cstdint>

#include "console/ManualContext.h"
#include "console/MotionCommands.h"
#include "console/Outputs.h"

namespace wendlar {

// The drawing limits of the current job, in file units (0.001 in or 0.01 mm).
struct BorderLimits {
  int32_t XMin = 0, YMin = 0, XMax = 0, YMax = 0;
};

class BorderRun {
 public:
  BorderRun(ManualContext& ctx, MotionCommands& motion, Outputs& outputs)
      : ctx_(ctx), motion_(motion), outputs_(outputs) {}

  // Set by the job-file scan whenever a job is opened.
  BorderLimits Limits;

  // Run_Border: raises the tool to the safe height, visits the four corners with a short
  // pause at each and returns to the first. Refused while a long operation holds the
  // console; ends early on a stop. On a plasma machine the torch output stays off.
  // True when the whole trace was sent.
  bool Run_BorderClick();

 private:
  ManualContext& ctx_;
  MotionCommands& motion_;
  Outputs& outputs_;
};

}  // namespace wendlar
