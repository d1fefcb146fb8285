// Run control on a whole System: file dialogs, captions and colours, the checks before a
// run, pause, continue and the stops. Jobs themselves run in tests/e2e.
#include <gtest/gtest.h>

#include "link/Commands.h"
#include "support/SimSystem.h"

namespace wendlar::testing {
namespace {

TEST(JobDisplayName, PathsUpTo30CharactersShowWholeLongerOnesKeepTheirEnds) {
  const std::string thirty = "/home/op/jobs/part-0001-a.nc12";
  ASSERT_EQ(thirty.size(), 30u);
  EXPECT_EQ(ShortJobName(thirty), thirty);
  const std::string longer = thirty + "3";
  EXPECT_EQ(ShortJobName(longer), "/home..." + longer.substr(longer.size() - 31));
  EXPECT_EQ(ShortJobName(longer).size(), 39u);
  EXPECT_EQ(ShortJobName(""), "");
}

struct RunControlRig : ::testing::Test {
  SimSystem rig;
  System& sys = *rig.sys;
  RunControl& run = sys.run;
  ConsoleView& v = sys.console.View;
  ConsoleState& s = sys.console.State;
  // A one-line G-code job chosen and ready to run.
  bool PrepareJob() {
    rig.dir.Write("a.nc", "G0 X1\n");
    sys.consoleSettings.ChooseJobMode(2);
    return run.PrepareGcodeFile((rig.dir.Path() / "a.nc").string());
  }
};

TEST_F(RunControlRig, OpenDialogsCarryTheirTitlesFiltersAndFoldersAndCancelLeavesNoFile) {
  sys.environment.View.Spoolerfiles.SetCaption("/jobs/vrj");
  sys.environment.View.Gcodefiles.SetCaption("/jobs/nc");
  run.OpenSpoolFile();  // cancelled: no path scripted
  sys.consoleSettings.ChooseJobMode(2);
  run.OpenGcodeFile();
  ASSERT_EQ(rig.prompts.Dialogs.size(), 2u);
  const FileDialog& spool = rig.prompts.Dialogs[0];
  EXPECT_EQ(spool.Title, "Open QuorLex file");
  EXPECT_EQ(spool.Filter, "QuorLex Spooler|*.VRJ");
  EXPECT_EQ(spool.FileName, "*.VRJ");
  EXPECT_EQ(spool.DefaultExt, "VRJ");
  EXPECT_EQ(spool.InitialDir, "/jobs/vrj");
  const FileDialog& gcode = rig.prompts.Dialogs[1];
  EXPECT_EQ(gcode.Title, "Open Gcode file");
  EXPECT_EQ(gcode.Filter, "Gcode ( nc)|*.nc|Gcode (tap) |*.tap");
  EXPECT_EQ(gcode.FileName, "*.NC");
  EXPECT_EQ(gcode.DefaultExt, "NC");
  EXPECT_EQ(gcode.InitialDir, "/jobs/nc");
  EXPECT_FALSE(v.Run_button.Enabled());
  EXPECT_EQ(v.Run_button.FontColor(), kGray);
  EXPECT_EQ(s.GcodeFileName, " ");
  EXPECT_EQ(s.SpoolFileName, " ");
  EXPECT_TRUE(v.Form.Checked());  // back on top after the dialogs
}

TEST_F(RunControlRig, PreparingAJobFileEnablesRunOrReportsItCannotBeOpened) {
  sys.consoleSettings.ChooseJobMode(2);
  rig.dir.Write("a.nc", "G0 X1\n");
  sys.config.ToolAboveWorkNow = 2;
  rig.prompts.Paths.push_back((rig.dir.Path() / "a.nc").string());
  run.OpenGcodeFile();
  EXPECT_TRUE(s.GcodeReady);
  EXPECT_TRUE(v.Run_button.Enabled());
  EXPECT_EQ(v.Run_button.FontColor(), kGreen);
  EXPECT_TRUE(v.Preview.Enabled());
  EXPECT_EQ(sys.config.ToolAboveWorkNow, sys.config.Config.Tool_above_work);
  EXPECT_EQ(v.Progress.Caption(), ShortJobName((rig.dir.Path() / "a.nc").string()));
  EXPECT_EQ(v.Progress.FontColor(), kBlack);

  EXPECT_FALSE(run.PrepareGcodeFile((rig.dir.Path() / "missing.nc").string()));
  EXPECT_FALSE(s.GcodeReady);
  EXPECT_FALSE(v.Run_button.Enabled());
  EXPECT_FALSE(v.Preview.Enabled());

  // An unreadable spool file says so on the Run panel.
  EXPECT_FALSE(run.ChooseSpoolFile((rig.dir.Path() / "none.vrj").string()));
  EXPECT_FALSE(s.SpoolReady);
  EXPECT_EQ(v.Run_button.Caption(), "I/O error");
  EXPECT_FALSE(v.Run_button.Enabled());
}

TEST_F(RunControlRig, RunWithoutAControllerSaysSoAndSendsNothing) {
  ASSERT_TRUE(PrepareJob());
  run.RunJob();
  EXPECT_EQ(v.Progress.Caption(), "Controller not connected");
  EXPECT_TRUE(rig.sim.TraceLines().empty());
  EXPECT_TRUE(s.GcodeReady);
  EXPECT_EQ(s.Operation, LongOperation::None);
}

TEST_F(RunControlRig, InterlocksAndTheLimitQuestionComeBeforeAnyRun) {
  ASSERT_TRUE(rig.ConnectAndInitialise());
  ASSERT_TRUE(PrepareJob());
  s.DoorOpen = true;
  s.ServoFault = true;
  run.RunJob();
  EXPECT_EQ(rig.prompts.Asked, (std::vector<std::string>{"warning: Door open Interlock", "warning: Clear Servo Fault"}));
  EXPECT_TRUE(s.GcodeReady);  // nothing ran

  s.DoorOpen = s.ServoFault = false;
  rig.prompts.Asked.clear();
  v.Limitswitchdisable1.SetChecked(true);
  rig.prompts.Answers.push_back(false);
  run.RunJob();
  EXPECT_EQ(rig.prompts.Asked, (std::vector<std::string>{"yes/no: Limit switches are Disabled, Enable them?"}));
  rig.RunUntil([&] { return !s.JobActive; }, 60000);
  EXPECT_FALSE(s.GcodeReady);  // the job ran and closed its file
}

TEST_F(RunControlRig, RunPanelOnlyAnswersALeftReleaseWhileTheRunInputIsClear) {
  ASSERT_TRUE(rig.ConnectAndInitialise());
  ASSERT_TRUE(PrepareJob());
  run.Run_buttonMouseUp(false);
  EXPECT_TRUE(s.GcodeReady);
  sys.report.Inputs |= 0x80;
  run.Run_buttonMouseUp(true);
  EXPECT_TRUE(s.GcodeReady);
  sys.report.Inputs &= 0x7F;
  run.Run_buttonMouseUp(true);
  EXPECT_FALSE(s.GcodeReady);
}

TEST_F(RunControlRig, PauseHoldsOnlyAJobSendsAtOnceAndResumesThroughTheQueue) {
  ASSERT_TRUE(rig.ConnectAndInitialise());
  // With no job there is nothing to hold: a pause left behind would make the next job's
  // first Pause a resume.
  EXPECT_FALSE(v.Pausebut.Enabled());
  run.TogglePause();
  EXPECT_FALSE(s.Paused);
  EXPECT_EQ(v.Pausebut.Caption(), "Pause");

  OperationGuard job(s, LongOperation::Job);
  const size_t from = rig.sim.TraceRecords().size();
  run.PausebutMouseDown();
  EXPECT_FALSE(v.Pausebut.Raised());
  run.PausebutMouseUp();
  EXPECT_TRUE(v.Pausebut.Raised());
  EXPECT_EQ(v.Pausebut.Caption(), "Paused");
  EXPECT_TRUE(s.Paused);
  auto records = rig.Records(from);
  ASSERT_EQ(records.size(), 1u);  // sent before any link tick
  EXPECT_EQ(records[0][0], commands::kPause);
  EXPECT_EQ(records[0][1], 1);
  EXPECT_EQ(records[0][4], 1);
  run.TogglePause();
  EXPECT_EQ(v.Pausebut.Caption(), "Pause");
  EXPECT_FALSE(s.Paused);
  rig.RunMs(200);
  records = rig.Records(from);
  ASSERT_GE(records.size(), 2u);
  bool resumed = false;
  for (size_t i = 1; i < records.size(); ++i) resumed = resumed || (records[i][0] == commands::kPause && records[i][1] == 0);
  EXPECT_TRUE(resumed);
}

TEST_F(RunControlRig, WaitForContinueEndsOnContinueOnAStopAndOnClosing) {
  std::vector<std::string> captions;
  auto hand = rig.loop.CreateTimer(300, true, [&] {
    if (v.Continue.Visible()) {
      captions.push_back(v.Continue.Caption());
      EXPECT_EQ(v.Form.Height(), s.ConsoleHeight + 40);
      EXPECT_EQ(v.Continue.Top(), v.Estopbut.Top() + 50);
      run.ContinueJob();
    }
  });
  run.WaitForContinue();
  EXPECT_EQ(captions, std::vector<std::string>{"M00 detected, Press to Continue"});
  EXPECT_FALSE(v.Continue.Visible());
  EXPECT_EQ(v.Form.Height(), s.ConsoleHeight);
  EXPECT_EQ(v.Run_button.Caption(), "Run");
  EXPECT_EQ(v.Run_button.FontColor(), kGreen);
  hand.reset();

  auto stop = rig.loop.CreateTimer(300, true, [&] { sys.flags.AbortRun = 1; });
  run.WaitForContinue();
  EXPECT_FALSE(run.ContinuePressed);
  stop.reset();
  sys.flags.AbortRun = 0;
  auto close = rig.loop.CreateTimer(300, true, [&] { sys.console.Close(false); });
  run.WaitForContinue();
  EXPECT_FALSE(run.ContinuePressed);
  EXPECT_FALSE(v.Continue.Visible());
}

TEST_F(RunControlRig, ToolChangePromptAndContinueSetRunToContinue) {
  sys.status.Run.ToolChangeStop = true;
  sys.status.Run.ToolNumber = 4;
  run.ShowToolChangePrompt();
  EXPECT_TRUE(v.Continue.Visible());
  EXPECT_EQ(v.Continue.Caption(), "Change Tool to #4Set new Z, then Coninue");
  EXPECT_EQ(v.Run_button.FontColor(), kGray);
  run.ContinueJob();
  EXPECT_EQ(v.Run_button.Caption(), "Continue");
  EXPECT_TRUE(v.Run_button.Enabled());
  EXPECT_EQ(v.Run_button.FontColor(), kGreen);
}

TEST_F(RunControlRig, EmergencyStopSendsTheStopSwitchesTheSpindleOffAndCancelsAToolChangeStop) {
  ASSERT_TRUE(rig.ConnectAndInitialise());
  ASSERT_TRUE(PrepareJob());
  sys.status.Run.ToolChangeStop = true;
  sys.status.Run.DoorStopHandled = true;
  const size_t from = rig.sim.TraceRecords().size();
  run.EmergencyStop();
  rig.RunMs(200);
  auto records = rig.Records(from);
  ASSERT_FALSE(records.empty());
  EXPECT_EQ(records[0][0], commands::kStop);
  bool spindleOff = false;
  for (const auto& r : records) spindleOff = spindleOff || r[0] == commands::kSpindleOff;
  EXPECT_TRUE(spindleOff);
  EXPECT_EQ(sys.flags.AbortRun, 1);
  EXPECT_FALSE(sys.status.Run.ToolChangeStop);
  EXPECT_FALSE(sys.status.Run.DoorStopHandled);
  EXPECT_FALSE(s.GcodeReady);  // the waiting job is cancelled...
  EXPECT_TRUE(v.Run_button.Enabled());  // ...and Run prepares the named file again
  EXPECT_EQ(v.Run_button.Caption(), "Run");
  EXPECT_EQ(v.Run_button.FontColor(), kGreen);
}

TEST_F(RunControlRig, ModeSwitchAndFileOpeningAreRefusedWhileALongOperationRuns) {
  OperationGuard busy(s, LongOperation::Initialisation);
  run.GcodeModeClick();
  EXPECT_EQ(s.JobMode, 1);
  run.OpenSpoolFile();
  EXPECT_TRUE(rig.prompts.Dialogs.empty());
  EXPECT_FALSE(run.ConsoleFree());
}

}  // namespace
}  // namespace wendlar::testing
