// Whole jobs through run control and the engines into the simulated controller, on
// virtual time: what the operator sees, what the machine did and what went down the line.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "job/SpoolFile.h"
#include "link/Commands.h"
#include "support/ChildProcess.h"
#include "support/SimSystem.h"

namespace wendlar::testing {
namespace {

namespace fs = std::filesystem;
using sim::kX;
using sim::kY;
using sim::kZ;

bool StartsWith(const std::string& s, const std::string& prefix) { return s.rfind(prefix, 0) == 0; }

struct RunOnSimulator : ::testing::Test {
  SimSystem rig;
  System& sys = *rig.sys;
  ConsoleView& v = sys.console.View;
  ConsoleState& s = sys.console.State;

  void SetUp() override { ASSERT_TRUE(rig.ConnectAndInitialise()); }

  void GcodeMode() { sys.consoleSettings.ChooseJobMode(2); }
  bool OpenGcode(const fs::path& file) {
    GcodeMode();
    rig.prompts.Paths.push_back(file.string());
    sys.run.OpenGcodeFile();
    return s.GcodeReady;
  }
  bool OpenSpool(const fs::path& file) {
    sys.consoleSettings.ChooseJobMode(1);
    rig.prompts.Paths.push_back(file.string());
    sys.run.OpenSpoolFile();
    return s.SpoolReady;
  }
  // Runs to the controller's end report; false when it never came.
  bool RunToEnd(int64_t maxMs = 10 * 60 * 1000) {
    sys.run.RunJob();
    return rig.RunUntil([&] { return !s.JobActive && !sim().JobRunning(); }, maxMs);
  }
  sim::SimController& sim() { return rig.sim; }
  std::vector<std::string> History() const { return sys.jumpbox.View.Fault_list.Items(); }
  bool HistoryHas(const std::string& text) const {
    for (const auto& line : History()) {
      if (line.size() >= text.size() && line.compare(line.size() - text.size(), text.size(), text) == 0) return true;
    }
    return false;
  }
  std::string CompletedLine() const {
    for (const auto& line : History()) {
      auto at = line.find("* Completed ");
      if (at != std::string::npos) return line.substr(at + 2);
    }
    return {};
  }
  // Buffered records the controller accepted from trace index `from` on.
  size_t BufferedAccepted(size_t from) const {
    size_t n = 0;
    for (const auto& r : rig.Records(from)) {
      const uint8_t c = r[0];
      const bool immediate = c == 1 || c == 3 || c == 4 || c == 6 || c == 11 || c == 12 || c == 30 || c == 67 ||
                             c == 68 || c == 70 || c >= 128 || c == 134 || c == 135;
      if (!immediate) ++n;
    }
    return n;
  }
  // "Completed ran/sent": the sent count is the host's, the ran count the controller's,
  // asked for when the job ends, so a completed job shows both equal.
  void ExpectCompletedLine() {
    const std::string line = CompletedLine();
    ASSERT_TRUE(StartsWith(line, "Completed ")) << ::testing::PrintToString(History());
    EXPECT_EQ(line, "Completed " + std::to_string(s.SentCount) + "/" + std::to_string(s.SentCount));
    EXPECT_EQ(s.RanCount, s.SentCount);
  }
  size_t TraceSize() const { return sim().TraceRecords().size(); }
  // The controller ran every buffered record the host sent since `from`, without an overrun.
  void ExpectEveryRecordRan(size_t from) {
    EXPECT_EQ(sim().ExecutedCount(), BufferedAccepted(from));
    EXPECT_EQ(static_cast<int>(sim().ExecutedCount()), s.SentCount);
    EXPECT_EQ(sim().Overruns(), 0u);
  }
  // Runs a job set up to resume at X1 Y2 (a job that first went to X4 Y4): up to the safe
  // height, over to X1 Y2 without passing X4 Y4, down to the work, then the cut to X2.
  void RunAndExpectResumeMoveToX1Y2() {
    const size_t from = TraceSize();
    ASSERT_TRUE(RunToEnd());
    std::vector<std::array<uint8_t, 11>> moves;
    for (const auto& r : rig.Records(from)) {
      if (r[0] == commands::kMoveXY || r[0] == commands::kMoveZ || r[0] == commands::kSegment) moves.push_back(r);
    }
    ASSERT_GE(moves.size(), 4u);
    EXPECT_EQ(moves[0][0], commands::kMoveZ);
    EXPECT_EQ(moves[1][0], commands::kMoveXY);
    EXPECT_EQ(moves[1][1] + 256 * moves[1][2], 8000);
    EXPECT_EQ(moves[1][4] + 256 * moves[1][5], 16000);
    EXPECT_EQ(moves[2][0], commands::kMoveZ);
    EXPECT_EQ(moves[3][0], commands::kSegment);
    EXPECT_FALSE(sys.engines.ResumePending);
    EXPECT_EQ(sim().Position()[kX], 16000);
    EXPECT_EQ(sim().Position()[kY], 16000);
  }
  sim::SimController& sim() const { return const_cast<SimSystem&>(rig).sim; }
};

TEST_F(RunOnSimulator, DemoGcodeJobCompletesWithEveryCommandExecuted) {
  ASSERT_TRUE(OpenGcode(ExamplesDir() / "demo.nc"));
  EXPECT_EQ(v.Progress.Caption(), ShortJobName((ExamplesDir() / "demo.nc").string()));
  const size_t from = TraceSize();
  ASSERT_TRUE(RunToEnd());

  // The counter the controller keeps is cleared by the job's record 4, so it counts exactly
  // the buffered records of this job; the host counted each one it sent.
  ExpectEveryRecordRan(from);
  ExpectCompletedLine();
  EXPECT_EQ(sim().Starvations(), 0u);
  EXPECT_TRUE(HistoryHas(sys.status.Run.JobDisplayName));
  EXPECT_TRUE(rig.dir.Read("History.lst").find("Completed ") != std::string::npos);

  // The program ends at X0 Y0 with Z at 0.2", spindle and coolant off.
  const auto at = sim().Position();
  EXPECT_EQ(at[kX], 0);
  EXPECT_EQ(at[kY], 0);
  EXPECT_EQ(at[kZ], -1600);
  EXPECT_EQ(sim().OutputStates(), 0);
  EXPECT_EQ(v.Running.Caption(), "Local");
  EXPECT_TRUE(v.Run_button.Enabled());
  EXPECT_FALSE(s.GcodeReady);  // the file is prepared again at the next Run
  EXPECT_EQ(s.Operation, LongOperation::None);
}

TEST_F(RunOnSimulator, DemoSpoolJobCompletesAndEndsWhereTheFileSays) {
  ASSERT_TRUE(OpenSpool(ExamplesDir() / "demo.vrj"));
  const size_t from = TraceSize();
  ASSERT_TRUE(RunToEnd());
  ExpectEveryRecordRan(from);
  ExpectCompletedLine();
  const auto at = sim().Position();
  EXPECT_EQ(at[kX], 0);
  EXPECT_EQ(at[kY], 0);
  EXPECT_EQ(sim().OutputStates(), 0);
  EXPECT_FALSE(s.SpoolReady);
}

// A program long enough that the engine is still streaming when something happens:
// a zigzag of short feeds.
std::string LongProgram(int lines) {
  std::string text = "G20 G90\nG0 Z0.1\nM3\nG1 Z-0.01 F30\n";
  for (int i = 0; i < lines; ++i) {
    text += "G1 X" + std::to_string((i % 2) * 0.01 + i * 0.0005) + " Y" + std::to_string(i * 0.001) + "\n";
  }
  text += "G0 Z0.1\nM5\nG0 X0 Y0\n";
  return text;
}

std::vector<uint8_t> CodesAfter(const std::vector<std::array<uint8_t, 11>>& records, uint8_t code) {
  std::vector<uint8_t> after;
  bool seen = false;
  for (const auto& r : records) {
    if (seen) after.push_back(r[0]);
    if (r[0] == code) seen = true;
  }
  return after;
}

TEST_F(RunOnSimulator, EmptySpoolJobSendsTheHandshakeAndTheEndRecordOnly) {
  ASSERT_TRUE(WriteSpoolFile(rig.dir.Path() / "empty.vrj", {{kSpoolBorder, 0, 0, 10, 10}, {kSpoolZLimits, -10, 0}}));
  ASSERT_TRUE(OpenSpool(rig.dir.Path() / "empty.vrj"));
  const size_t from = TraceSize();
  ASSERT_TRUE(RunToEnd());
  // Before the engine: the file scan's buffer reset and the run entry's overrides.
  std::vector<uint8_t> codes;
  for (const auto& r : rig.Records(from)) {
    if (r[0] == commands::kSelectVariable) continue;  // the status polling's
    if (codes.empty() && r[0] != commands::kClearProgramCounter) {
      EXPECT_TRUE(r[0] == commands::kClearBuffer || r[0] == commands::kOverrides) << int{r[0]};
      continue;
    }
    codes.push_back(r[0]);
  }
  ASSERT_GE(codes.size(), 4u);
  EXPECT_EQ(codes.back(), commands::kEndOfJob);
  for (size_t i = 1; i + 1 < codes.size(); ++i) {
    EXPECT_TRUE(codes[i] == commands::kClearBuffer || codes[i] == commands::kStartBuffer) << int{codes[i]};
  }
  EXPECT_EQ(sim().ExecutedCount(), 1u);
  ExpectCompletedLine();
}

TEST_F(RunOnSimulator, LastGcodeLineWithoutLineFeedStillRuns) {
  rig.dir.Write("nolf.nc", "G20 G90\nG0 X1\nG0 X2 Y1");
  ASSERT_TRUE(OpenGcode(rig.dir.Path() / "nolf.nc"));
  ASSERT_TRUE(RunToEnd());
  EXPECT_EQ(sim().Position()[kX], 16000);
  EXPECT_EQ(sim().Position()[kY], 8000);
}

TEST_F(RunOnSimulator, FirstFeedStartsFromWhereTheMachineIs) {
  // No rapid before the feed: its delta must be taken from the reported position.
  ASSERT_TRUE(sys.manual.Motion.RapidXY(8000, 8000));
  rig.RunMs(3000);
  rig.dir.Write("feed.nc", "G20 G90\nG1 X1.5 Y1 F60\n");
  ASSERT_TRUE(OpenGcode(rig.dir.Path() / "feed.nc"));
  ASSERT_TRUE(RunToEnd());
  EXPECT_EQ(sim().Position()[kX], 12000);
  EXPECT_EQ(sim().Position()[kY], 8000);
}

TEST_F(RunOnSimulator, DwellRecordOf250WaitsAQuarterSecond) {
  ASSERT_TRUE(WriteSpoolFile(rig.dir.Path() / "dwell.vrj",
                             {{kSpoolBorder, 0, 0, 10, 10}, {kSpoolZLimits, -10, 0}, {kSpoolDwell, 250}}));
  ASSERT_TRUE(OpenSpool(rig.dir.Path() / "dwell.vrj"));
  const size_t from = TraceSize();
  ASSERT_TRUE(RunToEnd());
  int dwells = 0;
  for (const auto& r : rig.Records(from)) {
    if (r[0] != commands::kDwell) continue;
    ++dwells;
    EXPECT_EQ(r[1] + 256 * r[2], 25);  // hundredths
  }
  EXPECT_EQ(dwells, 1);
  EXPECT_GE(sim().JobRunTimeUs(), 250000);
}

TEST_F(RunOnSimulator, EmergencyStopMidJobStopsTheMachineAndSendsOnlyTheEndSequence) {
  rig.dir.Write("long.nc", LongProgram(6000));
  ASSERT_TRUE(OpenGcode(rig.dir.Path() / "long.nc"));
  bool stopped = false;
  bool engineRunning = false;
  auto stopper = rig.loop.CreateTimer(2000, true, [&] {
    if (stopped || !s.JobActive) return;
    stopped = true;
    engineRunning = s.Operation == LongOperation::Job;
    sys.run.EmergencyStop();
  });
  const size_t from = TraceSize();
  ASSERT_TRUE(RunToEnd());
  ASSERT_TRUE(stopped);
  EXPECT_TRUE(engineRunning);
  EXPECT_EQ(v.Progress.Caption(), "Job not completed !");
  EXPECT_EQ(v.Progress.FontColor(), kRed);
  EXPECT_TRUE(HistoryHas("Stopped by Click")) << ::testing::PrintToString(History());
  EXPECT_TRUE(CompletedLine().empty());
  for (uint8_t code : CodesAfter(rig.Records(from), commands::kStop)) {
    EXPECT_TRUE(code == commands::kSpindleOff || code == commands::kEndOfJob) << int{code};
  }
  EXPECT_TRUE(v.Run_button.Enabled());
  EXPECT_EQ(v.Run_button.Caption(), "Run");
  EXPECT_EQ(s.Operation, LongOperation::None);
  EXPECT_EQ(sim().OutputStates(), 0);
}

TEST_F(RunOnSimulator, AStopWhileTheBufferHasRunEmptyIsNeverReportedAsCompleted) {
  // At an M00 the job is still running with nothing left in the controller's buffer; a
  // stop there interrupts the job, so no "Completed" line may be written.
  sys.setup.View.PauseonM0.SetChecked(true);
  rig.dir.Write("pause.nc", "G0 X0.1\nM0\nG0 X0.2\n");
  ASSERT_TRUE(OpenGcode(rig.dir.Path() / "pause.nc"));
  bool stopped = false;
  auto stopper = rig.loop.CreateTimer(500, true, [&] {
    if (stopped || !s.JobActive || !v.Continue.Visible() || sim().Head() != sim().Tail()) return;
    stopped = true;
    sys.run.EmergencyStop();
  });
  ASSERT_TRUE(RunToEnd());
  ASSERT_TRUE(stopped);
  EXPECT_EQ(v.Progress.Caption(), "Job not completed !");
  EXPECT_TRUE(CompletedLine().empty()) << ::testing::PrintToString(History());
  EXPECT_TRUE(HistoryHas("Stopped by Click"));
}

TEST_F(RunOnSimulator, DoorOpenedMidJobStopsOnceAndRefusesRunWhileOpen) {
  sys.setup.View.Interlock_enable.SetChecked(true);
  std::vector<std::string> runningTexts;
  v.SetOnChange([&](const Control& c) {
    if (&c == &v.Running && (runningTexts.empty() || runningTexts.back() != c.Caption())) {
      runningTexts.push_back(c.Caption());
    }
  });
  rig.dir.Write("long.nc", LongProgram(6000));
  ASSERT_TRUE(OpenGcode(rig.dir.Path() / "long.nc"));
  bool opened = false;
  auto door = rig.loop.CreateTimer(2000, true, [&] {
    if (!opened && s.JobActive) {
      opened = true;
      sim().OpenDoor();
    }
  });
  const size_t from = TraceSize();
  ASSERT_TRUE(RunToEnd());
  ASSERT_TRUE(opened);
  rig.RunMs(1000);
  EXPECT_NE(std::find(runningTexts.begin(), runningTexts.end(), "Stopped by Door Open"), runningTexts.end());
  int stops = 0;
  for (const auto& r : rig.Records(from)) stops += r[0] == commands::kStop;
  EXPECT_EQ(stops, 1);
  EXPECT_TRUE(s.DoorOpen);

  const size_t before = TraceSize();
  rig.prompts.Asked.clear();
  sys.run.RunJob();
  EXPECT_EQ(rig.prompts.Asked, std::vector<std::string>{"warning: Door open Interlock"});
  for (const auto& r : rig.Records(before)) EXPECT_NE(r[0], commands::kStartBuffer);

  sim().CloseDoor();
  rig.RunMs(1000);
  EXPECT_FALSE(s.DoorOpen);
}

TEST_F(RunOnSimulator, M00WaitsForContinueAndAToolChangeStopsAtTheChangePositionThenRunContinues) {
  sys.setup.View.PauseonM0.SetChecked(true);
  MachineConfig& c = sys.config.Config;
  c.Man_toolch = 1;
  c.Toolch_xpos = 3;
  c.Toolch_ypos = 0.5;
  c.Toolch_Zpos = 1;
  rig.dir.Write("tool.nc", "G20 G90\nG0 X1 Y1\nM0\nG0 X2\nG91\nT2 M6\nG0 X1\nG0 Y1\n");
  ASSERT_TRUE(OpenGcode(rig.dir.Path() / "tool.nc"));
  std::vector<std::string> continueCaptions;
  int64_t lastRapidXAtM00 = -1;
  sim::Steps4 atChange{};
  auto operatorHand = rig.loop.CreateTimer(500, true, [&] {
    if (!v.Continue.Visible()) return;
    continueCaptions.push_back(v.Continue.Caption());
    if (continueCaptions.size() == 1) {
      for (const auto& r : rig.Records()) {
        if (r[0] == commands::kMoveXY) lastRapidXAtM00 = r[1] + 256 * r[2];
      }
    } else {
      atChange = sim().Position();
    }
    sys.run.ContinueJob();
  });
  ASSERT_TRUE(RunToEnd());
  rig.RunMs(1000);
  ASSERT_EQ(continueCaptions.size(), 2u);
  EXPECT_EQ(continueCaptions[0], "M00 detected, Press to Continue");
  EXPECT_EQ(continueCaptions[1], "Change Tool to #2Set new Z, then Coninue");
  EXPECT_EQ(lastRapidXAtM00, 8000);  // X2 waits for Continue
  EXPECT_EQ(atChange[kX], 24000);
  EXPECT_EQ(atChange[kY], 4000);
  EXPECT_EQ(atChange[kZ], -8000);
  EXPECT_EQ(v.Run_button.Caption(), "Continue");
  EXPECT_TRUE(v.Run_button.Enabled());
  EXPECT_TRUE(s.GcodeReady);

  // The rest runs in G91, the mode set before the stop: X2 Y1 plus 1, 1 (a fresh state
  // would read X1 Y1 as absolute).
  ASSERT_TRUE(RunToEnd());
  EXPECT_EQ(sim().Position()[kX], 24000);
  EXPECT_EQ(sim().Position()[kY], 16000);
  EXPECT_FALSE(s.GcodeReady);
  EXPECT_TRUE(StartsWith(CompletedLine(), "Completed "));
}

TEST_F(RunOnSimulator, ResumeFromALineSkipsTheLinesBeforeAndMakesTheResumeMove) {
  rig.dir.Write("resume.nc", "G20 G90\nG0 Z0.5\nG0 X4 Y4\nG0 X1 Y2\nG1 Z-0.1 F30\nG1 X2 F60\nG0 Z0.5\n");
  ASSERT_TRUE(OpenGcode(rig.dir.Path() / "resume.nc"));
  ASSERT_TRUE(sys.engines.ResumeGcodeAtLine(6));
  EXPECT_TRUE(sys.engines.ResumePending);
  EXPECT_EQ(sys.engines.ResumeX, 1000);
  EXPECT_EQ(sys.engines.ResumeY, 2000);
  EXPECT_EQ(sys.engines.ResumeZ, -100);
  RunAndExpectResumeMoveToX1Y2();
  EXPECT_EQ(sim().Position()[kZ], -4000);
}

TEST_F(RunOnSimulator, GcodeJobsRunInTheActiveWorkOffset) {
  sys.offsets.ActiveOffsetX = 1;
  sys.offsets.ActiveOffsetY = 0.5;
  rig.dir.Write("offset.nc", "G20 G90\nG0 X1 Y1\n");
  ASSERT_TRUE(OpenGcode(rig.dir.Path() / "offset.nc"));
  ASSERT_TRUE(RunToEnd());
  EXPECT_EQ(sim().Position()[kX], 16000);
  EXPECT_EQ(sim().Position()[kY], 12000);

  // A G55 in the program runs the rest in fixture 2, and the console shows that fixture.
  sys.offsets.WorkOffsets[1] = {2, 2};
  rig.dir.Write("g55.nc", "G20 G90\nG55\nG0 X1 Y1\n");
  ASSERT_TRUE(OpenGcode(rig.dir.Path() / "g55.nc"));
  ASSERT_TRUE(RunToEnd());
  EXPECT_EQ(sim().Position()[kX], 24000);
  EXPECT_EQ(sim().Position()[kY], 24000);
  EXPECT_EQ(v.Work_offset_but.Caption(), "Fixture 2");
}

TEST_F(RunOnSimulator, ResumeTakesZFromWhereTheSkippedLinesLeftTheTool) {
  // The manual tool change lifts to 1.5"; the program's last Z (-0.1) is not where the tool is.
  sys.config.Config.Man_toolch = 1;
  sys.config.Config.Toolch_Zpos = 1.5;
  rig.dir.Write("tool.nc", "G20 G90\nG0 Z0.5\nG1 Z-0.1 F30\nT1 M6\nG0 X1 Y1\nG1 X2\n");
  ASSERT_TRUE(OpenGcode(rig.dir.Path() / "tool.nc"));
  ASSERT_TRUE(sys.engines.ResumeGcodeAtLine(6));
  EXPECT_EQ(sys.engines.ResumeZ, 1500);
}

TEST_F(RunOnSimulator, ResumeFromASpoolRecordSkipsTheRecordsBeforeAndMakesTheResumeMove) {
  ASSERT_TRUE(WriteSpoolFile(rig.dir.Path() / "resume.vrj", ResumeSpoolJob()));
  ASSERT_TRUE(OpenSpool(rig.dir.Path() / "resume.vrj"));
  ASSERT_TRUE(sys.engines.ResumeSpoolAtRecord(4));
  EXPECT_EQ(sys.engines.ResumeX, 1000);
  EXPECT_EQ(sys.engines.ResumeY, 2000);
  EXPECT_EQ(sys.engines.ResumeZ, 200);  // the work top the skipped record lowered to
  RunAndExpectResumeMoveToX1Y2();
  EXPECT_TRUE(StartsWith(CompletedLine(), "Completed "));
  EXPECT_FALSE(sys.engines.ResumeSpoolAtRecord(4));  // the file is no longer at its start
}

TEST_F(RunOnSimulator, RunIsRefusedWhileAJobRunsAndWhenNotConnected) {
  rig.dir.Write("long.nc", LongProgram(6000));
  ASSERT_TRUE(OpenGcode(rig.dir.Path() / "long.nc"));
  int nestedStarts = -1;
  auto nested = rig.loop.CreateTimer(1500, true, [&] {
    if (nestedStarts >= 0 || s.Operation != LongOperation::Job) return;
    const size_t before = TraceSize();
    sys.run.RunJob();  // Ctrl+R in the middle of the run
    rig.prompts.Paths.push_back((ExamplesDir() / "demo.nc").string());
    sys.run.OpenGcodeFile();
    sys.run.QuorlexModeClick();
    // Connecting, scanning or closing would pull the link from under the job.
    EXPECT_EQ(sys.connection.ConnectController(SimSystem::kSimPort), kConnectRefused);
    (void)sys.connection.ScanComPorts();
    sys.connection.Stop_usbClick();
    EXPECT_TRUE(sys.link.PortOpen);
    EXPECT_TRUE(sys.link.Connected);
    nestedStarts = 0;
    for (const auto& r : rig.Records(before)) nestedStarts += r[0] == commands::kClearBuffer;
  });
  ASSERT_TRUE(RunToEnd());
  EXPECT_EQ(nestedStarts, 0);
  EXPECT_EQ(s.JobMode, 2);
  ExpectCompletedLine();

  sys.connection.Stop_usbClick();
  rig.RunMs(200);
  const size_t before = TraceSize();
  sys.run.RunJob();
  EXPECT_EQ(v.Progress.Caption(), "Controller not connected");
  EXPECT_EQ(TraceSize(), before);
}

TEST_F(RunOnSimulator, DebugLogWritesTheDwellAndLaserLinesOfASpoolRun) {
  sys.run.Hooks.DebugFileEnabled = [] { return true; };
  ASSERT_TRUE(WriteSpoolFile(rig.dir.Path() / "debug.vrj", {{kSpoolBorder, 0, 0, 10, 10},
                                                             {kSpoolZLimits, -10, 0},
                                                             {kSpoolDwell, 250},
                                                             {kSpoolLaserOn},
                                                             {kSpoolLaserOff}}));
  ASSERT_TRUE(OpenSpool(rig.dir.Path() / "debug.vrj"));
  ASSERT_TRUE(RunToEnd());
  const std::string debug = rig.dir.Read("debug.txt");
  const auto lines = SplitLines(debug);
  ASSERT_EQ(lines.size(), 3u) << debug;
  EXPECT_NE(lines[0].find(" Dwell 25"), std::string::npos);
  EXPECT_EQ(lines[1], " laser");
  EXPECT_EQ(lines[2], " laser");
  EXPECT_FALSE(sys.debugFile.DebugOn());  // closed with the run
  EXPECT_FALSE(s.DebugLog);
}

// Real programs from the corpus, whole, on the simulated machine: every one that the reader
// takes runs to its end, the buffer is never overrun and the machine ends where the host
// last sent it.
TEST_F(RunOnSimulator, CorpusProgramsRunToTheirEnd) {
  const fs::path corpus = CorpusDir();
  if (corpus.empty()) GTEST_SKIP() << "no G-code corpus beside the repository";
  int ran = 0;
  for (const char* name : {"lcnc_plasma_imperial_wrench.ngc", "freecad_centroid_imperial_ref.ngc"}) {
    // Parameters and G53: refused before anything is sent.
    const fs::path file = corpus / name;
    if (!fs::exists(file)) continue;
    SCOPED_TRACE(name);
    ASSERT_TRUE(OpenGcode(file));
    const uint64_t executed = sim().ExecutedCount();
    const size_t from = TraceSize();
    sys.run.RunJob();
    (void)rig.RunUntil([] { return false; }, 500);
    EXPECT_EQ(v.Progress.Caption().rfind("Job refused: ", 0), 0u) << v.Progress.Caption();
    // The message list names the file's line of each refusal.
    ASSERT_FALSE(v.Com_list.Items().empty());
    EXPECT_EQ(v.Com_list.Items().back().rfind("line ", 0), 0u) << v.Com_list.Items().back();
    EXPECT_EQ(sim().ExecutedCount(), executed);
    EXPECT_EQ(BufferedAccepted(from), 0u);
    EXPECT_FALSE(s.JobActive);
  }
  for (const char* name : {"p2g_milldrill_arcs_inch.ngc", "gs_byte135_inch.nc", "ugs_no_spaces.gcode"}) {
    const fs::path file = corpus / name;
    if (!fs::exists(file)) continue;
    SCOPED_TRACE(name);
    ++ran;
    ASSERT_TRUE(OpenGcode(file));
    const size_t from = TraceSize();
    const size_t history = History().size();
    ASSERT_TRUE(RunToEnd(4 * 60 * 60 * 1000));
    EXPECT_FALSE(sys.engines.LastRunStopped());
    ExpectEveryRecordRan(from);
    ASSERT_GT(History().size(), history);
    EXPECT_NE(History().back().find("* Completed "), std::string::npos) << History().back();
    EXPECT_EQ(sim().Position()[kX], sys.segments.LastStepX);
    EXPECT_EQ(sim().Position()[kY], sys.segments.LastStepY);
  }
  if (ran == 0) GTEST_SKIP() << "none of the chosen programs is in the corpus";
}

TEST_F(RunOnSimulator, AControllerThatStopsAnsweringEndsTheReadyWait) {
  ASSERT_TRUE(OpenGcode(ExamplesDir() / "demo.nc"));
  sim().SetDeadLine(true);
  const int64_t start = rig.loop.NowUs();
  sys.run.RunJob();  // returns: the silence or the ready wait's bound ends the start
  EXPECT_LT(rig.loop.NowUs() - start, (kReadyWaitMs + 5000) * 1000);
  EXPECT_EQ(sys.flags.AbortRun, 1);
  EXPECT_EQ(v.Progress.FontColor(), kRed);
  EXPECT_EQ(s.Operation, LongOperation::None);
  EXPECT_TRUE(CompletedLine().empty());
}

}  // namespace
}  // namespace wendlar::testing

namespace wendlar::testing {
namespace {

TEST(RunClose, ClosingTheConsoleMidJobStopsTheMachine) {
  SimSystem rig;
  ASSERT_TRUE(rig.ConnectAndInitialise());
  System& sys = *rig.sys;
  sys.consoleSettings.ChooseJobMode(2);
  std::string program;
  for (int i = 1; i <= 400; ++i) program += "G1 X" + std::to_string(i % 2) + " Y" + std::to_string(i * 0.01) + " F40\n";
  rig.dir.Write("long.nc", program);
  rig.prompts.Paths.push_back((rig.dir.Path() / "long.nc").string());
  sys.run.OpenGcodeFile();
  ASSERT_TRUE(sys.console.State.GcodeReady);
  bool closed = false;
  auto closer = rig.loop.CreateTimer(2000, true, [&] {
    if (closed || !sys.console.State.JobActive) return;
    closed = true;
    sys.run.CloseConsole(sys.link.Connected);
  });
  const size_t from = rig.sim.TraceRecords().size();
  sys.run.RunJob();  // returns once the whole job is in the controller's buffer
  ASSERT_TRUE(rig.RunUntil([&] { return closed; }, 10000));
  rig.RunMs(500);
  bool stopSent = false;
  for (const auto& r : rig.Records(from)) stopSent |= r[0] == commands::kStop;
  EXPECT_TRUE(stopSent);
  EXPECT_FALSE(rig.sim.JobRunning());
  EXPECT_TRUE(sys.flags.Closing);
}

}  // namespace
}  // namespace wendlar::testing
