// What the console tells the operator at a glance: the one-word state through a job's life
// and its faults, and the line the machine is on rather than the last one sent.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "support/SimSystem.h"

namespace wendlar::testing {
namespace {

struct MachineStateRig : ::testing::Test {
  SimSystem rig;
  System& sys = *rig.sys;
  ConsoleView& v = sys.console.View;
  ConsoleState& s = sys.console.State;

  void SetUp() override {
    EXPECT_EQ(v.Machine_state.Caption(), "Offline");
    ASSERT_TRUE(rig.ConnectAndInitialise());
  }
  bool Open(const std::string& program) {
    rig.dir.Write("job.nc", program);
    sys.consoleSettings.ChooseJobMode(2);
    return sys.run.PrepareGcodeFile((rig.dir.Path() / "job.nc").string());
  }
  std::string State() const { return v.Machine_state.Caption(); }
};

// Twelve legs of one inch at 20 ipm, three seconds each: the whole job fits the
// controller's buffer at once, so the engine has read every line long before the machine
// gets there.
std::string Legs() {
  std::string text = "G20 G90\nG0 Z0.1\n";
  for (int i = 0; i < 12; ++i) text += i % 2 == 0 ? "G1 X1 F20\n" : "G1 X0\n";
  return text;
}

TEST_F(MachineStateRig, TheStateFollowsTheJobAndItsEnd) {
  // The initialisation's closing stop is the host's own: not an operator's stop.
  EXPECT_EQ(State(), "Idle");
  EXPECT_EQ(v.Running.Caption(), "Local");

  ASSERT_TRUE(Open(Legs()));
  sys.run.RunJob();
  ASSERT_TRUE(rig.RunUntil([&] { return s.JobActive; }, 5000));
  EXPECT_EQ(State(), "Running");
  sys.run.TogglePause();
  EXPECT_EQ(State(), "Paused");
  rig.RunMs(1000);
  sys.run.EmergencyStop();
  ASSERT_TRUE(rig.RunUntil([&] { return !s.JobActive; }, 5000));
  rig.RunMs(500);
  EXPECT_EQ(State(), "Stopped");
  EXPECT_EQ(v.Running.Caption(), "Stopped by Click");

  rig.sim.TripOvertravel();
  rig.RunMs(500);
  EXPECT_EQ(State(), "Alarm");
  rig.sim.SetDeadLine(true);
  rig.RunMs(3000);
  EXPECT_EQ(State(), "Offline");
}

TEST_F(MachineStateRig, TheLineShownIsTheOneTheMachineIsOn) {
  ASSERT_TRUE(Open(Legs()));
  sys.run.RunJob();
  // Everything is sent (the engine has closed the file); the machine is in its first legs.
  ASSERT_FALSE(sys.engines.GcodeOpen());
  ASSERT_TRUE(s.JobActive);
  // The controller has started k records of the job: the Z move of line 2, then one leg a
  // line from line 3. The line shown is never ahead of the machine and keeps up with it.
  int shownMax = 0;
  int samples = 0;
  auto sampler = rig.loop.CreateTimer(250, true, [&] {
    const std::string caption = v.Gline_lab.Caption();
    if (!s.JobActive || caption.rfind("Line # ", 0) != 0) return;
    const int shown = std::stoi(caption.substr(7));
    const int machine = static_cast<int>(rig.sim.ExecutedCount()) + 1;
    EXPECT_LE(shown, machine);
    EXPECT_GE(shown, machine - 2) << "the line shown lags the machine";
    shownMax = std::max(shownMax, shown);
    ++samples;
  });
  rig.RunMs(7000);  // two 1-inch legs at F20 and a little more
  // The buffer gauge says how long the machine still has work for.
  EXPECT_NE(v.Gauge1.Hint().find(" s"), std::string::npos) << v.Gauge1.Hint();
  ASSERT_TRUE(rig.RunUntil([&] { return !s.JobActive; }, 120000));
  EXPECT_GT(samples, 20);
  EXPECT_GE(shownMax, 12);
  EXPECT_EQ(v.Progress.Caption().rfind("Completed ", 0), 0u) << v.Progress.Caption();
  EXPECT_EQ(State(), "Idle");
}

}  // namespace
}  // namespace wendlar::testing
