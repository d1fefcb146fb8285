// The common part of the configuration tests' fixtures: a program directory with the
// configuration's file access and state, and the fakes the settings windows report to.
#pragma once

#include <gtest/gtest.h>

#include <sstream>

#include "config/ConfigFile.h"
#include "support/ScriptedPrompts.h"
#include "support/TempDir.h"
#include "RecordingEvents.h"

namespace wendlar::testing {

class ConfigRig : public ::testing::Test {
 protected:
  TempDir dir;
  HomeDir home{dir.Path()};
  RecordingConfigEvents events;
  std::ostringstream out;
  ConfigIo io{home, events, out};
  ConfigState state;
  ScriptedPrompts prompts;
  FakeConsole console;
  FakeMachine machine;
};

}  // namespace wendlar::testing
