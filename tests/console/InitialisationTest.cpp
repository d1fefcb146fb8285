// The controller initialisation against the simulated controller.
#include <gtest/gtest.h>

#include "support/SimSystem.h"

namespace wendlar::testing {
namespace {

using Record = std::array<uint8_t, 11>;

TEST(Initialisation, NotInitialisedControllerIsBroughtUpOnceInOrder) {
  SimSystem rig;
  System& s = *rig.sys;
  std::vector<std::string> progress;
  bool requestedWhileRunning = false;
  s.console.View.SetOnChange([&](const Control& c) {
    if (c.Name() != "Progress" || (!progress.empty() && progress.back() == c.Caption())) return;
    progress.push_back(c.Caption());
    if (s.console.State.Initialising && s.console.State.InitRequested) requestedWhileRunning = true;
  });
  ASSERT_TRUE(rig.ConnectAndInitialise());
  rig.RunMs(3000);  // more not-initialised reports would start it again now

  // Defaults: Contour_accel 210, Cut_timer 1, Rap_timer 1, Z_raise_vel 80 (index 177 of 250),
  // Slow_safe 10, CV_Max 80, R_vel_max 80, Spind_low 8000; limits on, auto spindle stop on.
  const std::vector<Record> before = {
      {1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
      {11, 210, 210, 1, 1, 0, 25, 150, 0, 0, 0},
      {11, 210, 210, 1, 1, 0, 25, 150, 0, 0, 0},
      {11, 210, 210, 1, 1, 0, 25, 150, 0, 0, 0},
      {21, 1, 0, 0, 177, 10, 0, 0, 0, 0, 0},
      {21, 0, 0, 0, 177, 10, 0, 0, 0, 0, 0},
      {132, 0xC4, 0, 0, 0, 0, 0, 0, 0, 0, 0},
      {68, 64, 0, 0, 0, 0, 0, 0, 0, 0, 0},
      {131, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0},
      {135, 0, 177, 10, 80, 0, 0, 0, 0, 0, 0},
      {67, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
      {30, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0},
  };
  const std::vector<Record> after = {
      {134, 0, 0x40, 0x1F, 0, 0, 0, 0, 0, 0, 0},
      {1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
      {128, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
      {70, 3, 3, 0, 0, 0, 0, 0, 0, 0, 0},
  };
  const auto records = rig.Records();
  ASSERT_EQ(records.size(), before.size() + 102 + after.size());
  EXPECT_EQ(std::vector<Record>(records.begin(), records.begin() + 12), before);
  for (size_t i = 0; i < 51; ++i) {
    EXPECT_EQ(records[12 + 2 * i][0], 138) << i;
    EXPECT_EQ(records[12 + 2 * i][1], 1 + 5 * i) << i;
    EXPECT_EQ(records[13 + 2 * i][0], 70) << i;
  }
  EXPECT_EQ(std::vector<Record>(records.end() - 4, records.end()), after);

  std::vector<std::string> stages;
  for (const auto& p : progress) {
    if (!p.empty() && p.rfind("Loading Table #", 0) != 0) stages.push_back(p);
  }
  EXPECT_EQ(stages, (std::vector<std::string>{"Please wait..initializing", "Please wait.. Accel params",
                                              "Please wait.. Sending Misc", "Please wait.. Building Table",
                                              "Please wait.. Loading Table", "Ready"}));
  EXPECT_FALSE(requestedWhileRunning);
  EXPECT_EQ(s.console.View.Progress.Caption(), "Ready");
  EXPECT_FALSE(s.console.State.Initialising);
  EXPECT_FALSE(s.console.State.InitRequested);
  EXPECT_EQ(s.console.State.Operation, LongOperation::None);
  EXPECT_EQ(rig.sim.StateByte() & 0x01, 0);
  EXPECT_TRUE(s.console.View.X_Pos.Visible());
  EXPECT_TRUE(s.console.View.Functions1.Enabled());
  EXPECT_TRUE(s.console.View.Form.Checked());  // back on top
  EXPECT_EQ(s.tables.ControllerTable[1], rig.sim.Speeds().TableWord(1));
  // It ends by asking the controller who it is.
  const auto lines = rig.HostLines();
  EXPECT_NE(std::find(lines.begin(), lines.end(), "V12345"), lines.end());
}

TEST(Initialisation, OptionFlagsByte) {
  EXPECT_EQ(OptionFlagsByte(false, false, true, false), 0xC4);
  EXPECT_EQ(OptionFlagsByte(false, false, false, false), 0xD4);
  EXPECT_EQ(OptionFlagsByte(true, false, true, false), 0x04);
  EXPECT_EQ(OptionFlagsByte(false, true, true, true), 0xEC);

  SimSystem rig;
  System& s = *rig.sys;
  s.setup.View.Auto_Spindle_Stop.SetChecked(true);
  s.console.View.Limitswitchdisable1.SetChecked(true);
  EXPECT_EQ(s.initialisation.OptionFlags(), 0x04);
  s.setup.View.Interlock_enable.SetChecked(true);
  s.config.Config.Switch_NC = 1;
  EXPECT_EQ(s.initialisation.OptionFlags(), 0x2C);
}

TEST(Initialisation, LimitSwitchEntryResendsTheFlagsAndAccelParamsCarryTheGivenValue) {
  SimSystem rig;
  System& s = *rig.sys;
  s.status.Hooks.InitialiseController = nullptr;
  ASSERT_TRUE(rig.Connect());
  size_t from = rig.sim.TraceRecords().size();
  s.initialisation.LimitSwitchDisableClick();
  EXPECT_TRUE(s.console.View.Limitswitchdisable1.Checked());
  s.initialisation.LimitSwitchDisableClick();
  EXPECT_FALSE(s.console.View.Limitswitchdisable1.Checked());
  std::vector<int> flags;
  for (const auto& r : rig.Records(from)) {
    if (r[0] == 132) flags.push_back(r[1]);
  }
  EXPECT_EQ(flags, (std::vector<int>{0x04, 0xC4}));  // Auto_Spindle_Stop 1 from the defaults

  // The second byte carries the value given.
  s.config.Config.R_accel = 180;
  from = rig.sim.TraceRecords().size();
  s.initialisation.SendAccelParams(s.config.Config.R_accel);
  EXPECT_EQ(rig.Records(from), (std::vector<Record>{{11, 210, 180, 1, 1, 0, 25, 150, 0, 0, 0}}));
}

TEST(Initialisation, RefusedDuringAnotherLongOperationAndWithoutAConnectionOnlyTheClockWaitsElapse) {
  SimSystem rig;
  System& s = *rig.sys;
  s.console.State.Operation = LongOperation::Job;
  EXPECT_FALSE(s.initialisation.InitialiseController());
  EXPECT_EQ(s.console.View.Progress.Caption(), "");
  s.console.State.Operation = LongOperation::None;

  const int64_t start = rig.loop.NowUs();
  EXPECT_TRUE(s.initialisation.InitialiseController());
  EXPECT_EQ(s.console.View.Progress.Caption(), "Ready");
  EXPECT_TRUE(rig.sim.TraceRecords().empty());
  // 46 Clock ticks of 200 ms, and nothing waits for polls that never come.
  EXPECT_GE(rig.loop.NowUs() - start, 46 * 200000);
  EXPECT_LT(rig.loop.NowUs() - start, 12'000'000);
}

}  // namespace
}  // namespace wendlar::testing
