// What the console accepts while a job is under way, and how the program recovers from a
// controller that falls silent, comes back, restarts or was already set up: whole System
// against the simulated controller on virtual time.
#include <gtest/gtest.h>

#include <string>

#include "link/Commands.h"
#include "support/SimSystem.h"

namespace wendlar::testing {
namespace {

std::string LongFeeds() {
  std::string text = "G20 G90\nG0 Z0.1\nM3\nG1 Z-0.01 F30\n";
  for (int i = 0; i < 40; ++i) text += i % 2 == 0 ? "G1 X0.5 F100\n" : "G1 X0\n";
  return text + "G0 Z0.1\nM5\n";
}

struct Recovery : ::testing::Test {
  SimSystem rig;
  System& sys = *rig.sys;
  ConsoleView& v = sys.console.View;
  ConsoleState& s = sys.console.State;

  void SetUp() override { ASSERT_TRUE(rig.ConnectAndInitialise()); }
  bool Open(const std::string& program) {
    rig.dir.Write("job.nc", program);
    sys.consoleSettings.ChooseJobMode(2);
    return sys.run.PrepareGcodeFile((rig.dir.Path() / "job.nc").string());
  }
  std::vector<std::string> History() const { return sys.jumpbox.View.Fault_list.Items(); }
  bool HistoryHas(const std::string& text) const {
    for (const auto& h : History()) {
      if (h.find(text) != std::string::npos) return true;
    }
    return false;
  }
  size_t Mark() const { return rig.sim.TraceRecords().size(); }
  int Count(size_t from, uint8_t code) const {
    int n = 0;
    for (const auto& r : rig.Records(from)) n += r[0] == code;
    return n;
  }
  // Runs the job until the engine has sent it all and the controller is still at work.
  void StartAndLetTheEngineReturn() {
    sys.run.RunJob();
    ASSERT_TRUE(s.JobActive);
    ASSERT_EQ(s.Operation, LongOperation::None);
  }
};

TEST_F(Recovery, NothingThatMovesOrRedefinesAnAxisIsTakenWhileAJobRuns) {
  ASSERT_TRUE(Open(LongFeeds()));
  StartAndLetTheEngineReturn();
  // The controls that would are greyed, Pause is offered.
  EXPECT_FALSE(v.HomeXYbut.Enabled());
  EXPECT_FALSE(v.Move_2_XY.Enabled());
  EXPECT_FALSE(v.X_Pos.Visible());
  EXPECT_TRUE(v.Pausebut.Enabled());

  const size_t from = Mark();
  rig.prompts.Asked.clear();
  sys.manual.Home.HomeXYbutClick();
  sys.manual.Jog.KeyDown({ConsoleKey::Right, kModAlt, false});
  sys.manual.Jog.JogButtonDown(JogButton::XPos);
  sys.manual.Home.Z_zeroMouseUp(MouseButton::Left);
  sys.manual.Coordinates.SetNewXY();
  sys.manual.Coordinates.View.Xedit.SetCaption("1");
  sys.manual.Coordinates.Go_moveClick();
  rig.RunMs(500);
  for (uint8_t code : {commands::kHomeXY, commands::kJogStart, commands::kMoveZ, commands::kSetPosition}) {
    EXPECT_EQ(Count(from, code), 0) << int{code};
  }
  EXPECT_TRUE(rig.prompts.Asked.empty());  // refused before the question
  const auto& messages = v.Com_list.Items();
  ASSERT_FALSE(messages.empty());
  EXPECT_EQ(messages.back(), "Job running: manual moves are locked");

  // Once the controller reports the end, manual moves go again.
  ASSERT_TRUE(rig.RunUntil([&] { return !s.JobActive; }, 30 * 60 * 1000));
  EXPECT_TRUE(v.HomeXYbut.Enabled());
  EXPECT_FALSE(v.Pausebut.Enabled());
  const size_t after = Mark();
  sys.manual.Jog.JogButtonDown(JogButton::XPos);
  sys.manual.Jog.JogButtonUp(JogButton::XPos);
  rig.RunMs(500);
  EXPECT_EQ(Count(after, commands::kJogStart), 1);
}

TEST_F(Recovery, ASilentControllerEndsTheJobAndTheLinkCanBeClosedAndMadeAgain) {
  ASSERT_TRUE(Open(LongFeeds()));
  StartAndLetTheEngineReturn();
  rig.sim.SetDeadLine(true);
  const int64_t deadAt = rig.loop.NowUs();
  ASSERT_TRUE(rig.RunUntil([&] { return !s.JobActive; }, 10000));
  EXPECT_LT(rig.loop.NowUs() - deadAt, 3'000'000);
  EXPECT_EQ(v.Progress.Caption(), "Job not completed ! Controller not responding");
  EXPECT_FALSE(HistoryHas("Completed"));

  // STOP after the silence returns, and the connection can be closed and made again.
  sys.run.EmergencyStop();
  sys.connection.Stop_usbClick();
  EXPECT_FALSE(sys.link.PortOpen);
  rig.sim.SetDeadLine(false);
  ASSERT_EQ(sys.connection.ConnectController(SimSystem::kSimPort), kConnectOk);
  ASSERT_TRUE(rig.RunUntil([&] { return v.Progress.Caption() == "Ready" && !s.Initialising; }, 30000));
  ASSERT_TRUE(Open("G20 G90\nG1 X1 F60\n"));
  sys.run.RunJob();
  ASSERT_TRUE(rig.RunUntil([&] { return !s.JobActive && !rig.sim.JobRunning(); }, 60000));
  EXPECT_TRUE(sys.status.Run.JobCompleted) << v.Progress.Caption();
}

TEST_F(Recovery, AControllerThatAnswersAgainAfterTheSilenceIsStoppedAtOnce) {
  ASSERT_TRUE(Open(LongFeeds()));
  StartAndLetTheEngineReturn();
  rig.sim.SetDeadLine(true);
  ASSERT_TRUE(rig.RunUntil([&] { return !s.JobActive; }, 10000));
  // It comes back with most of the job still in its buffer.
  rig.RunMs(3000);
  ASSERT_TRUE(rig.sim.JobRunning());
  const size_t from = Mark();
  rig.sim.SetDeadLine(false);
  rig.RunMs(1000);
  const auto records = rig.Records(from);
  ASSERT_FALSE(records.empty());
  EXPECT_EQ(records.front()[0], commands::kStop);
  EXPECT_FALSE(rig.sim.JobRunning());
  const auto at = rig.sim.Position();
  rig.RunMs(30000);
  EXPECT_EQ(rig.sim.Position(), at);
  EXPECT_EQ(rig.sim.OutputStates() & 0x03, 0);
  EXPECT_FALSE(HistoryHas("Completed"));
}

TEST_F(Recovery, ARefusedLineEndsTheJobNotCompletedWithItsMessage) {
  // The pre-flight finds the refused line before anything is sent; the job never reads as
  // completed.
  ASSERT_TRUE(Open("G20 G90\nG1 X0.5 F60\nG18\nG1 X1\n"));
  sys.run.RunJob();
  ASSERT_TRUE(rig.RunUntil([&] { return !s.JobActive && !rig.sim.JobRunning(); }, 60000));
  EXPECT_FALSE(sys.status.Run.JobCompleted);
  EXPECT_FALSE(HistoryHas("Completed"));
  EXPECT_EQ(v.Progress.Caption().rfind("Job refused: ", 0), 0u) << v.Progress.Caption();
  EXPECT_EQ(v.Progress.FontColor(), kRed);

  // A line refused while running (the pre-flight bypassed) ends the job, not completed.
  ASSERT_TRUE(Open("G20 G90\nG1 X0.5 F60\nG18\nG1 X1\n"));
  sys.engines.RunGcodeJob();
  ASSERT_TRUE(rig.RunUntil([&] { return !s.JobActive && !rig.sim.JobRunning(); }, 60000));
  EXPECT_FALSE(sys.status.Run.JobCompleted);
  EXPECT_FALSE(HistoryHas("Completed"));
  EXPECT_EQ(v.Progress.Caption().rfind("Job not completed ! ", 0), 0u) << v.Progress.Caption();
  EXPECT_EQ(v.Progress.FontColor(), kRed);
}

TEST_F(Recovery, ConnectWithNoPortChosenKeepsTheWorkingLink) {
  ASSERT_TRUE(sys.link.Connected);
  sys.connection.Connect_USBClick();  // started up on the remembered port; no radio is checked
  EXPECT_TRUE(sys.link.PortOpen);
  EXPECT_TRUE(sys.link.Connected);
  const size_t from = Mark();
  sys.manual.Jog.JogButtonDown(JogButton::XPos);
  sys.manual.Jog.JogButtonUp(JogButton::XPos);
  rig.RunMs(500);
  EXPECT_EQ(Count(from, commands::kJogStart), 1);
}

TEST_F(Recovery, AHostThatRestartsBesideAPoweredControllerSetsItUpAgainAndRuns) {
  sys.connection.Stop_usbClick();
  // The program starts again; the controller kept its settings and reports itself set up.
  System again(rig.loop, rig.port, rig.prompts, HomeDir(rig.dir.Path()), rig.out);
  again.console.StartClock();
  ASSERT_EQ(again.connection.ConnectController(SimSystem::kSimPort), kConnectOk);
  ASSERT_TRUE(rig.RunUntil(
      [&] { return again.console.View.Progress.Caption() == "Ready" && !again.console.State.Initialising; }, 60000))
      << again.console.View.Progress.Caption();
  EXPECT_NE(again.tables.ControllerTable[1], 0);
  rig.dir.Write("again.nc", "G20 G90\nG1 X1 F60\n");
  again.consoleSettings.ChooseJobMode(2);
  ASSERT_TRUE(again.run.PrepareGcodeFile((rig.dir.Path() / "again.nc").string()));
  again.run.RunJob();
  ASSERT_TRUE(rig.RunUntil([&] { return !again.console.State.JobActive && !rig.sim.JobRunning(); }, 60000));
  EXPECT_TRUE(again.status.Run.JobCompleted) << again.console.View.Progress.Caption();
}

TEST_F(Recovery, AWaitForAMoveEndsAtItsDeadlineWhenTheMachineNeverStops) {
  // A jog runs until it is stopped: the controller reports busy for as long as it goes.
  ASSERT_TRUE(sys.manual.Motion.JogStart(commands::kJogXPlus, 10));
  ASSERT_TRUE(rig.RunUntil([&] { return s.Busy; }, 2000));
  const int64_t start = rig.loop.NowUs();
  EXPECT_FALSE(sys.sender.WaitMoveDone(3000));
  EXPECT_LT(rig.loop.NowUs() - start, 5'000'000);
  sys.manual.Motion.JogStop();
}

}  // namespace
}  // namespace wendlar::testing
