// A G-code reader on the default inch machine (Xscale 8: 8000 steps per inch) and a recording machine.
#pragma once

#include <sstream>
#include <string>

#include "config/ConfigFile.h"
#include "job/GcodeReader.h"
#include "RecordingMachine.h"

namespace wendlar::testing {

struct GcodeRig {
  ConfigState config;
  GcodeState state;
  JobRunState run;
  RunFlags flags;
  RecordingMachine m;
  GcodeReader reader{state, run, m, config, flags};

  explicit GcodeRig(bool metric = false) {
    SetDefaultConfig(config.Config);
    if (metric) SetMetricUnits(config.Units); else SetInchUnits(config.Units);
    StartGcodeState(state, 0, 0, 0);
  }

  // Runs the program as the engine does: line by line until its end, a stop or a tool change.
  void Run(const std::string& program) {
    std::istringstream in(program);
    GcodeLineSource source(in);
    while (flags.AbortRun == 0 && !run.ToolChangeStop && reader.Step(source)) {
    }
  }
};

}  // namespace wendlar::testing
