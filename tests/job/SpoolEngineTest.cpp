// The spooler engine's record step on the default inch machine (8 steps per file unit),
// against a recording machine: what each record kind sends, in order.
#include <gtest/gtest.h>

#include "config/ConfigFile.h"
#include "job/SpoolEngine.h"
#include "RecordingMachine.h"

namespace wendlar::testing {
namespace {

class RecordingOps : public SpoolOps {
 public:
  explicit RecordingOps(std::vector<std::string>& calls) : calls_(calls) {}
  void MoveW(int32_t w, int speed, bool wait) override {
    calls_.push_back("W " + std::to_string(w) + " " + std::to_string(speed) + " " + (wait ? "1" : "0"));
  }
  void HomeW() override { calls_.push_back("HomeW"); }
  void SendKnifeAngle(int32_t dx, int32_t dy) override {
    calls_.push_back("Knife " + std::to_string(dx) + " " + std::to_string(dy));
  }
  int FeedSpeedIndex() const override { return 33; }
  int PlungeSpeedIndex() const override { return 11; }
  void ShowRpm(int rpm) override { RpmLabel = "Rpm " + std::to_string(rpm); }
  bool KnifeMode() const override { return Knife; }
  bool SecondHeadMachine() const override { return TwoHeads; }
  bool Knife = false, TwoHeads = false;
  std::string RpmLabel;

 private:
  std::vector<std::string>& calls_;
};

struct SpoolRig {
  ConfigState config;
  RunFlags flags;
  RecordingMachine m;
  RecordingOps ops{m.Calls};
  SpoolEngineState state;
  SpoolStepper step{m, ops, config, flags, state};

  SpoolRig() {
    SetDefaultConfig(config.Config);
    SetInchUnits(config.Units);
    config.ToolAboveWorkNow = 0.36;  // 2880 steps
  }
  std::vector<std::string> Run(std::initializer_list<SpoolRecord> records) {
    m.Calls.clear();
    for (const SpoolRecord& r : records) step.Execute(r);
    return m.Moves();
  }
};

using Calls = std::vector<std::string>;

TEST(SpoolPeck, ApproachStopsAboveTheWorkThenPecksBackToTheTopEachTime) {
  SpoolRig rig;
  // Depth 0.1" in pecks of 0.05": Z_1st_drop 60, plunge 11, Z_raise_vel 80 (indexes as velocities).
  EXPECT_EQ(rig.Run({{kSpoolPeck, 0, 0, 100, 50}}),
            (Calls{"Z -400 60 0", "Z 0 60 0", "Z 400 11 0", "Z 0 80 1", "Z 400 60 0", "Z 800 11 0", "Z 0 80 1",
                   "Z -2880 80 1"}));
  EXPECT_EQ(rig.m.LastStepZ(), -2880);
}

TEST(SpoolPeck, PeckOfZeroDrillsTheWholeDepthOnceAndANegativeDepthCountsAsItsSize) {
  SpoolRig rig;
  EXPECT_EQ(rig.Run({{kSpoolPeck, 0, 0, -100, 0}}),
            (Calls{"Z -400 60 0", "Z 0 60 0", "Z 800 11 0", "Z 0 80 1", "Z -2880 80 1"}));
}

TEST(SpoolPeck, AStopEndsTheCycleAfterThePeckInHandAndTheSecondHeadPecksOnW) {
  SpoolRig rig;
  rig.flags.AbortRun = 1;
  EXPECT_EQ(rig.Run({{kSpoolPeck, 0, 0, 300, 50}}).size(), 5u);
  rig.flags.AbortRun = 0;
  rig.state.SecondHead = true;
  EXPECT_EQ(rig.Run({{kSpoolPeck, 0, 0, 50, 50}}),
            (Calls{"W -400 60 0", "W 0 60 0", "W 400 11 0", "W 0 80 1", "W -2880 80 1"}));
}

TEST(SpoolArcs, ZeroRadiusMakesNoMotionAndAQuarterEndsOnItsEndPoint) {
  SpoolRig rig;
  EXPECT_TRUE(rig.Run({{kSpoolRapidXY, 1000, 1000}, {kSpoolArcCw, 1000, 1000, 1000, 1000}}) ==
              (Calls{"Rapid 8000 8000"}));
  rig.Run({{kSpoolRapidXY, 0, 0}, {kSpoolArcCcw, 0, 500, 500, 500}});
  EXPECT_EQ(rig.m.Moves().back(), "Move 4000 4000 0 100");
  EXPECT_GT(rig.m.Moves().size(), 4u);
}

TEST(SpoolOffsets, FixtureHeadLaserAndAuxiliaryOffsetsMoveTheTargets) {
  SpoolRig rig;
  rig.state.FixtureOffX = 100;
  rig.state.FixtureOffY = -100;
  rig.config.Config.Laser_Xoff = 0.25;
  rig.config.Config.Aux2R_yoff = 0.5;
  EXPECT_EQ(rig.Run({{kSpoolRapidXY, 1000, 1000}}), (Calls{"Rapid 8800 7200"}));
  // Laser mode: the laser sits -Laser_Xoff from the spindle, its segments go out as laser ones.
  EXPECT_EQ(rig.Run({{kSpoolLaserModeOn}, {kSpoolRapidXY, 1000, 1000}, {kSpoolLaserModeOff}, {kSpoolRapidXY, 0, 0}}),
            (Calls{"LaserSegments 1", "Laser 1", "Rapid 6800 7200", "LaserSegments 0", "Laser 0", "Rapid 800 -800"}));
  EXPECT_EQ(rig.Run({{kSpoolAux2Head, 2}, {kSpoolRapidXY, 0, 0}, {kSpoolLayerStart}, {kSpoolRapidXY, 0, 0}}),
            (Calls{"Aux2 0", "Rapid 800 3200", "Rapid 800 -800"}));
}

TEST(SpoolHeads, ChangeToolSwitchesHeadsOnlyOnATwoHeadMachine) {
  SpoolRig rig;
  EXPECT_TRUE(rig.Run({{kSpoolChangeTool, 2}, {kSpoolZRaise}}) == (Calls{"Z -2880 80 1"}));
  EXPECT_FALSE(rig.state.SecondHead);
  rig.ops.TwoHeads = true;
  EXPECT_EQ(rig.Run({{kSpoolChangeTool, 2}, {kSpoolRapidXY, 0, 0}, {kSpoolZRaise}, {kSpoolSpindleOn}}),
            (Calls{"Cmd 54", "Rapid 4000 4400", "W -2880 80 1"}));  // W_xof 0.5, W_yof 0.55
  EXPECT_TRUE(rig.state.SecondHead);
  rig.config.Config.Auto_Spindle_Start = 1;
  EXPECT_EQ(rig.Run({{kSpoolSpindleOn}}), (Calls{"SpindleOn 1", "Dwell 0"}));
  EXPECT_EQ(rig.Run({{kSpoolChangeTool, 1}, {kSpoolRapidXY, 0, 0}}), (Calls{"Cmd 54", "Rapid 0 0"}));
}

TEST(SpoolZ, WorkTopDropPauseAndTheLaserFocusHeight) {
  SpoolRig rig;
  rig.state.WorkTopZ = 0.2;
  EXPECT_EQ(rig.Run({{kSpoolLowerZ}, {kSpoolZFeed, -50}}), (Calls{"Z -1600 60 1", "Z 400 11 0", "Dwell 0.25"}));
  rig.config.Config.Drop_pause = 0;
  EXPECT_EQ(rig.Run({{kSpoolZFeed, -50}}), (Calls{"Z 400 11 0"}));
  rig.state.LaserSegments = true;
  EXPECT_EQ(rig.Run({{kSpoolLowerZ, 0, 0, 300}}), (Calls{"Z -2400 60 1"}));
  EXPECT_EQ(rig.m.LastStepZ(), -1600);  // feeds still start from the work top
}

TEST(SpoolOutputs, RecordsSwitchOutputsDwellPauseAndSetFeeds) {
  SpoolRig rig;
  rig.config.Config.Aux1_dw_down = 0.5;
  EXPECT_EQ(rig.Run({{kSpoolDwell, 250}, {kSpoolAux1, 1}, {kSpoolAux2, 0}, {kSpoolAux1Head, 1}, {kSpoolPause},
                     {kSpoolLaserOn}, {kSpoolSpindleOff}, {99, 1, 2, 3, 4}}),
            (Calls{"Dwell 0.25", "Aux1 1", "Aux2 0", "Aux1 1", "Dwell 0.5", "WaitForContinue", "Laser 1",
                   "SpindleOff"}));
  EXPECT_TRUE(rig.Run({{kSpoolFeed, 45, 1}, {kSpoolFeed, 12, 2}}).empty());
  EXPECT_EQ(rig.state.SpoolXYFeed, 45);
  EXPECT_EQ(rig.state.SpoolZFeed, 12);
  EXPECT_EQ(rig.Run({{kSpoolSetRpm, 9000}}), (Calls{"Rpm 9000"}));
  EXPECT_EQ(rig.ops.RpmLabel, "Rpm 9000");
  rig.m.UseRpmBox = true;
  EXPECT_TRUE(rig.Run({{kSpoolSetRpm, 5000}}).empty());
  EXPECT_TRUE(rig.Run({{kSpoolHomeR}, {kSpoolTangent, 1, 1}}).empty());
  rig.ops.Knife = true;
  EXPECT_EQ(rig.Run({{kSpoolHomeR}, {kSpoolTangent, 1, 1}}), (Calls{"HomeW", "Dwell 0.5", "Knife 1 1"}));
}

TEST(SpoolArcs, LaserArcsCarryThePowerAndSpeedOfTheLaserFeeds) {
  SpoolRig rig;
  rig.state.LaserSegments = true;
  auto calls = rig.Run({{kSpoolLaserLinear, 100, 0, 170}, {kSpoolArcCw, 100, 100, 200, 100}});
  ASSERT_GE(calls.size(), 3u);
  EXPECT_EQ(calls[0], "MoveW 800 0 520 33");
  for (size_t i = 1; i < calls.size(); ++i) {
    EXPECT_EQ(calls[i].substr(0, 6), "MoveW ") << calls[i];
    EXPECT_EQ(calls[i].substr(calls[i].size() - 7), " 520 33") << calls[i];
  }
}

}  // namespace
}  // namespace wendlar::testing
