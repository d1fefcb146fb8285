// Macro scripts against the simulated controller on virtual time: the records each command
// sends, where the machine ends up, the list the operator reads, and how runs end.
#include <gtest/gtest.h>

#include <array>
#include <cctype>
#include <filesystem>
#include <string>
#include <vector>

#include "support/SimSystem.h"
#include "tools/ScriptReader.h"

namespace wendlar::testing {
namespace {

using Record = std::array<uint8_t, 11>;
using Lines = std::vector<std::string>;
using sim::kX;
using sim::kY;
using sim::kZ;

// A record from its leading bytes; the rest are 0.
Record Rec(std::initializer_list<uint8_t> bytes) {
  Record r{};
  size_t i = 0;
  for (uint8_t b : bytes) r[i++] = b;
  return r;
}

// The number reader alone needs no controller.
struct ScriptNumbers : ::testing::Test {
  SimSystem rig;
  TScript_reader& script = rig.sys->script;

  // Reads numbers from `line` as the four-letter commands do; nothing is sent.
  std::vector<double> Read(const std::string& line, int count) {
    script.ScriptLine = line;
    script.ScriptCursor = 4;
    std::vector<double> values;
    for (int i = 0; i < count; ++i) {
      if (!script.ParseScriptNumber()) break;
      values.push_back(script.ScriptValue);
    }
    return values;
  }
};

TEST_F(ScriptNumbers, BracketsAndCommasSeparateNumbersAndTheCursorCarriesOn) {
  script.ScriptLine = "MXYA(1.5,2.25)";
  script.ScriptCursor = 4;
  ASSERT_TRUE(script.ParseScriptNumber());
  EXPECT_EQ(script.ScriptValue, 1.5);
  EXPECT_EQ(script.ScriptCursor, 9);  // on the comma
  ASSERT_TRUE(script.ParseScriptNumber());
  EXPECT_EQ(script.ScriptValue, 2.25);
  EXPECT_EQ(script.ScriptCursor, 14);
  EXPECT_EQ(script.View.real_edit1.Caption(), "2.250");

  EXPECT_EQ(Read("MXYA(1,2)", 2), (std::vector<double>{1, 2}));
  EXPECT_EQ(Read("MZ_R -0.1", 1), (std::vector<double>{-0.1}));
  EXPECT_EQ(Read("MZ_A+.5 ", 1), (std::vector<double>{0.5}));
  EXPECT_EQ(script.View.real_edit1.Caption(), "0.500");
  EXPECT_TRUE(script.View.ListBox1.Items().empty());
  EXPECT_EQ(rig.sys->flags.AbortRun, 0);
}

TEST_F(ScriptNumbers, AWrongNumberSaysSoSetsTheStopAndKeepsTheLastValue) {
  script.ScriptValue = 7.0;
  // Blanks are number characters, so "1 2" is one text that does not convert.
  EXPECT_TRUE(Read("MXYA 1 2", 1).empty());
  EXPECT_EQ(script.ScriptValue, 7.0);
  EXPECT_EQ(script.View.real_edit1.Caption(), "7.000");
  EXPECT_EQ(rig.sys->flags.AbortRun, 1);
  // Nothing after the keyword: past the end counts as a wrong character.
  EXPECT_TRUE(Read("MZ_R", 1).empty());
  EXPECT_TRUE(Read("MZ_Ax5", 1).empty());
  EXPECT_TRUE(Read("MZ_A(1.2.3)", 1).empty());
  EXPECT_TRUE(Read("MZ_A()", 1).empty());
  // The second number of a line that holds one.
  EXPECT_EQ(Read("MXYA(1)", 2), (std::vector<double>{1}));
  EXPECT_EQ(script.View.ListBox1.Items(), Lines(6, "number error"));
}

struct ScriptOnSimulator : ::testing::Test {
  SimSystem rig;
  System& sys = *rig.sys;
  TScript_reader& script = sys.script;
  const MachineConfig& config = sys.config.Config;

  void SetUp() override { ASSERT_TRUE(rig.ConnectAndInitialise()); }

  ScriptResult Line(const std::string& text) {
    script.ScriptLine = text;
    return script.ExecuteScriptLine();
  }
  size_t Mark() const { return rig.sim.TraceRecords().size(); }
  // Records of `code` the controller accepted since `from`.
  std::vector<Record> Sent(size_t from, uint8_t code) const {
    std::vector<Record> out;
    for (const auto& r : rig.Records(from)) {
      if (r[0] == code) out.push_back(r);
    }
    return out;
  }
  std::vector<Record> Moves(size_t from) const {
    std::vector<Record> out;
    for (const auto& r : rig.Records(from)) {
      if (r[0] == 7 || r[0] == 8 || r[0] == 20 || r[0] == 21 || r[0] == 110 || r[0] == 111) out.push_back(r);
    }
    return out;
  }
  int64_t At(int axis) { return rig.sim.Position()[static_cast<size_t>(axis)]; }
  const Lines& List() const { return script.View.ListBox1.Items(); }
  uint8_t RapidSpeed() const { return static_cast<uint8_t>(sys.tables.VelocityIndexOf(config.R_vel_max)); }
  // Stops the machine as the console's stop button does once `when` holds.
  std::unique_ptr<Timer> StopWhen(std::function<bool()> when) {
    return rig.loop.CreateTimer(10, true, [this, when] {
      if (when() && sys.flags.AbortRun == 0) sys.run.EmergencyStop();
    });
  }
};

TEST_F(ScriptOnSimulator, MovesSendRecords20And21AndTheMachineEndsThere) {
  size_t from = Mark();
  ASSERT_EQ(Line("MXYA(1.5,2.25)"), ScriptResult::Done);
  // 12000 and 18000 steps (1.5" and 2.25" at 8 steps per 0.001").
  EXPECT_EQ(Sent(from, 20), (std::vector<Record>{Rec({20, 0xE0, 0x2E, 0, 0x50, 0x46, 0, RapidSpeed(), 10})}));
  EXPECT_EQ(At(kX), 12000);
  EXPECT_EQ(At(kY), 18000);

  // Relative to where the last move ended, read fresh from the controller.
  from = Mark();
  ASSERT_EQ(Line("MXYR(0.5,-0.25)"), ScriptResult::Done);
  EXPECT_EQ(Sent(from, 20), (std::vector<Record>{Rec({20, 0x80, 0x3E, 0, 0x80, 0x3E, 0, RapidSpeed(), 10})}));
  EXPECT_EQ(At(kX), 16000);
  EXPECT_EQ(At(kY), 16000);

  // Z down is a positive step count; speed index 50, start speed the smaller of 50 and
  // Z_start_vel, and the finish-first flag.
  from = Mark();
  ASSERT_EQ(Line("MZ_A -0.5"), ScriptResult::Done);
  EXPECT_EQ(Sent(from, 21), (std::vector<Record>{Rec({21, 0xA0, 0x0F, 0, 50, 10, 1})}));
  EXPECT_EQ(At(kZ), 4000);

  from = Mark();
  ASSERT_EQ(Line("MZ_R 0.1"), ScriptResult::Done);
  EXPECT_EQ(Sent(from, 21), (std::vector<Record>{Rec({21, 0x80, 0x0C, 0, 50, 10, 1})}));
  EXPECT_EQ(At(kZ), 3200);
  EXPECT_EQ(sys.console.View.ZPOS.Caption(), "-0.400\"");

  // Up is negative on the wire: -0.25" above home is 2000 steps up.
  from = Mark();
  ASSERT_EQ(Line("MZ_A(0.025)"), ScriptResult::Done);
  EXPECT_EQ(Sent(from, 21), (std::vector<Record>{Rec({21, 0x38, 0xFF, 0xFF, 50, 10, 1})}));
  EXPECT_EQ(At(kZ), -200);

  EXPECT_EQ(List(), (Lines{"MXYA(1.5,2.25)", "MXYR(0.5,-0.25)", "MZ_A -0.5", "MZ_R 0.1", "MZ_A(0.025)"}));
  EXPECT_EQ(sys.console.State.Operation, LongOperation::None);
}

TEST_F(ScriptOnSimulator, RelativeMovesAddUpWhateverTheReportsOrder) {
  // However the last position report and the end of the move fall, each step starts
  // where the previous one ended.
  for (int i = 1; i <= 8; ++i) ASSERT_EQ(Line("MXYR(0." + std::to_string(i) + ",0.125)"), ScriptResult::Done);
  for (int i = 1; i <= 8; ++i) ASSERT_EQ(Line("MZ_R -0.0" + std::to_string(i)), ScriptResult::Done);
  EXPECT_EQ(At(kX), 28800);  // 0.1 + 0.2 + ... + 0.8 = 3.6"
  EXPECT_EQ(At(kY), 8000);
  EXPECT_EQ(At(kZ), 2880);
}

TEST_F(ScriptOnSimulator, HomingCommandsSendTheConsolesRecordsAndLeaveTheClearance) {
  ASSERT_EQ(Line("MXYA(3,2)"), ScriptResult::Done);
  size_t from = Mark();
  ASSERT_EQ(Line("HMXY"), ScriptResult::Done);
  // XY_home_dist 0.1" is 800 steps (0x320) at XYhome_vel 25.
  EXPECT_EQ(Moves(from), (std::vector<Record>{Rec({8, 0, 5, 25, 0x20, 0x03})}));
  EXPECT_EQ(At(kX), 800);
  EXPECT_EQ(At(kY), 800);

  ASSERT_EQ(Line("MZ_A -1"), ScriptResult::Done);
  from = Mark();
  ASSERT_EQ(Line("HM_Z"), ScriptResult::Done);
  EXPECT_EQ(Moves(from), (std::vector<Record>{Rec({7, 0, 5, 30, 0x20, 0x03})}));
  EXPECT_EQ(At(kZ), 800);
}

TEST_F(ScriptOnSimulator, ClearanceHomingBacksOffAHundredthWithTheXScaleForEveryAxis) {
  ASSERT_EQ(Line("MXYA(2,3)"), ScriptResult::Done);
  ASSERT_EQ(Line("MZ_A -1"), ScriptResult::Done);
  size_t from = Mark();
  ASSERT_EQ(Line("G28_X"), ScriptResult::Done);
  // 0.01" x 1000 x Xscale 8 = 80 steps; the Z form too uses XYhome_vel.
  EXPECT_EQ(Moves(from), (std::vector<Record>{Rec({110, 0, 3, 25, 80, 0})}));
  EXPECT_EQ(At(kX), 80);
  EXPECT_EQ(At(kY), 24000);
  from = Mark();
  ASSERT_EQ(Line("G28_Y"), ScriptResult::Done);
  EXPECT_EQ(Moves(from), (std::vector<Record>{Rec({110, 0, 4, 25, 80, 0})}));
  EXPECT_EQ(At(kY), 80);
  from = Mark();
  ASSERT_EQ(Line("G28_Z"), ScriptResult::Done);
  EXPECT_EQ(Moves(from), (std::vector<Record>{Rec({111, 0, 5, 25, 80, 0})}));
  EXPECT_EQ(At(kZ), 80);

  // The changed clearance stays in memory; nothing was written to the program directory.
  EXPECT_EQ(config.XY_home_dist, 0.01);
  for (const auto& entry : std::filesystem::directory_iterator(rig.dir.Path())) {
    std::string ext = entry.path().extension().string();
    for (char& c : ext) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_NE(ext, ".MAC") << entry.path();
  }
  // The console's own homing now backs off the same hundredth.
  from = Mark();
  ASSERT_EQ(Line("HMXY"), ScriptResult::Done);
  EXPECT_EQ(Moves(from), (std::vector<Record>{Rec({8, 0, 5, 25, 80, 0})}));
}

TEST_F(ScriptOnSimulator, LimitCommandsSendTheOptionFlagsAndFollowTheMenuMark) {
  size_t from = Mark();
  ASSERT_EQ(Line("DISLM"), ScriptResult::Done);
  std::vector<Record> flags = Sent(from, 132);
  ASSERT_EQ(flags.size(), 1u);
  EXPECT_EQ(flags[0][1] & 0xC0, 0);
  EXPECT_TRUE(sys.console.View.Limitswitchdisable1.Checked());
  // With the limits off the machine may leave its travel without tripping.
  ASSERT_EQ(Line("MXYA(-0.5,0)"), ScriptResult::Done);
  EXPECT_EQ(At(kX), -4000);

  from = Mark();
  ASSERT_EQ(Line("ENALM"), ScriptResult::Done);
  flags = Sent(from, 132);
  ASSERT_EQ(flags.size(), 1u);
  EXPECT_EQ(flags[0][1] & 0xC0, 0xC0);
  EXPECT_FALSE(sys.console.View.Limitswitchdisable1.Checked());
  EXPECT_EQ(List(), (Lines{"DISLM", "MXYA(-0.5,0)", "ENALM"}));
}

TEST_F(ScriptOnSimulator, BadLinesAreReportedOrIgnoredAndNothingMoves) {
  const size_t from = Mark();
  EXPECT_EQ(Line("MZ_R"), ScriptResult::NumberError);
  EXPECT_EQ(Line("MXYA 1 2"), ScriptResult::NumberError);
  EXPECT_EQ(sys.flags.AbortRun, 1);  // a file run would end here
  EXPECT_EQ(Line("MX"), ScriptResult::Done);     // too short: not even echoed
  EXPECT_EQ(Line("mxya(1,2)"), ScriptResult::Done);  // keywords are case-sensitive
  EXPECT_EQ(Line("G28"), ScriptResult::Done);
  EXPECT_EQ(List(), (Lines{"MZ_R", "number error", "MXYA 1 2", "number error", "number error", "bad command",
                           "mxya(1,2)", "bad command"}));
  EXPECT_TRUE(Moves(from).empty());
  EXPECT_EQ(At(kX), 0);
}

TEST_F(ScriptOnSimulator, AMoveBeyondTheWiresRangeIsNotSentAndEndsTheFile) {
  rig.dir.Write("far.QMF", "MXYA(2000,0)\r\nMXYA(1,1)\r\n");
  const size_t from = Mark();
  EXPECT_EQ(script.RunScriptFile("far.QMF"), ScriptResult::Stopped);
  EXPECT_EQ(List(), (Lines{"MXYA(2000,0)", "Script stopped"}));
  EXPECT_EQ(sys.console.View.Progress.Caption(), "Long3 overflow");
  EXPECT_TRUE(Moves(from).empty());
}

TEST_F(ScriptOnSimulator, OnlyTheKeywordIsComparedSoTrailingTextStillRuns) {
  ASSERT_EQ(Line("MXYA(1,2)"), ScriptResult::Done);
  EXPECT_EQ(At(kX), 8000);
  EXPECT_EQ(At(kY), 16000);
  size_t from = Mark();
  ASSERT_EQ(Line("G28_X and some words"), ScriptResult::Done);
  EXPECT_EQ(Moves(from), (std::vector<Record>{Rec({110, 0, 3, 25, 80, 0})}));
  from = Mark();
  ASSERT_EQ(Line("HMXY please"), ScriptResult::Done);
  EXPECT_EQ(Moves(from), (std::vector<Record>{Rec({8, 0, 5, 25, 80, 0})}));
  // A number ends at its bracket; what follows is never read.
  ASSERT_EQ(Line("MXYA(1,1) junk"), ScriptResult::Done);
  EXPECT_EQ(At(kX), 8000);
}

TEST_F(ScriptOnSimulator, AFileRunsLineByLineAndStopsAfterANumberError) {
  rig.dir.Write("steps.QMF", "MXYA(1,0)\r\n\r\nremark: unknown words are skipped\r\nMZ_A(x)\r\nMXYA(3,0)\r\n");
  // A bare name is a file in the program directory.
  EXPECT_EQ(script.RunScriptFile("steps.QMF"), ScriptResult::NumberError);
  EXPECT_EQ(List(), (Lines{"MXYA(1,0)", "bad command", "remark: unknown words are skipped", "MZ_A(x)",
                           "number error"}));
  EXPECT_EQ(At(kX), 8000);
  EXPECT_EQ(At(kZ), 0);
  EXPECT_EQ(sys.console.State.Operation, LongOperation::None);
  EXPECT_TRUE(script.View.Run_Line.Enabled());

  // The last line needs no line end.
  rig.dir.Write("two.QMF", "MXYA(2,0)\nMXYR(0,1)");
  EXPECT_EQ(script.RunScriptFile((rig.dir.Path() / "two.QMF").string()), ScriptResult::Done);
  EXPECT_EQ(At(kX), 16000);
  EXPECT_EQ(At(kY), 8000);
}

TEST_F(ScriptOnSimulator, AFileThatCannotBeOpenedSaysSoAndSendsNothing) {
  const size_t from = Mark();
  EXPECT_EQ(script.RunScriptFile("missing.QMF"), ScriptResult::NotRun);
  EXPECT_EQ(script.RunScriptFile(rig.dir.Path().string()), ScriptResult::NotRun);
  ASSERT_EQ(List().size(), 2u);
  EXPECT_EQ(List()[0], "Cannot open script missing.QMF: No such file or directory");
  EXPECT_EQ(List()[1], "Cannot open script " + rig.dir.Path().string() + ": Is a directory");
  EXPECT_TRUE(Moves(from).empty());
}

TEST_F(ScriptOnSimulator, OpenScrAsksForAMacroFileInTheProgramDirectoryAndRunsIt) {
  rig.dir.Write("go.QMF", "MXYA(0.5,0.5)\r\n");
  rig.prompts.Paths.push_back((rig.dir.Path() / "go.QMF").string());
  script.Open_ScrClick();
  ASSERT_EQ(rig.prompts.Dialogs.size(), 1u);
  const FileDialog& d = rig.prompts.Dialogs[0];
  EXPECT_EQ(d.Title, "Open Macro Script file");
  EXPECT_EQ(d.Filter, "Tovrel Macro|*.QMF");
  EXPECT_EQ(d.DefaultExt, "qmf");
  EXPECT_EQ(d.InitialDir, rig.dir.Path().string());
  EXPECT_EQ(At(kX), 4000);

  // Run_Line takes the edit box; a cancelled chooser runs nothing.
  script.View.Edit1.SetCaption("MXYR(0.5,0)");
  script.Run_LineClick();
  EXPECT_EQ(At(kX), 8000);
  script.Open_ScrClick();
  EXPECT_EQ(List(), (Lines{"MXYA(0.5,0.5)", "MXYR(0.5,0)"}));
}

TEST_F(ScriptOnSimulator, AStopEndsTheFileAfterTheCurrentLine) {
  rig.dir.Write("long.QMF", "MXYA(10,0)\r\nMXYA(20,0)\r\nMXYA(30,0)\r\nMXYA(0,0)\r\n");
  auto stop = StopWhen([this] { return rig.sim.Position()[kX] > 120000; });
  EXPECT_EQ(script.RunScriptFile("long.QMF"), ScriptResult::Stopped);
  EXPECT_EQ(List(), (Lines{"MXYA(10,0)", "MXYA(20,0)", "Script stopped"}));
  rig.RunMs(1000);
  EXPECT_GT(At(kX), 120000);
  EXPECT_LT(At(kX), 160000);  // the second move never finished and no other followed
  EXPECT_EQ(Sent(0, 20).size(), 2u);
  EXPECT_EQ(sys.console.State.Operation, LongOperation::None);
}

TEST_F(ScriptOnSimulator, ALostControllerEndsTheRunInsteadOfWaitingForEver) {
  rig.dir.Write("far.QMF", "MXYA(40,0)\r\nMXYA(0,0)\r\n");
  auto cut = rig.loop.CreateTimer(10, true, [this] {
    if (rig.sim.Position()[kX] > 40000) rig.sim.SetDeadLine(true);
  });
  const int64_t start = rig.loop.NowUs();
  EXPECT_EQ(script.RunScriptFile("far.QMF"), ScriptResult::Stopped);
  EXPECT_LT(rig.loop.NowUs() - start, 20'000'000);
  EXPECT_EQ(List().front(), "MXYA(40,0)");
  EXPECT_EQ(List().back(), "Script stopped");
  EXPECT_EQ(List().size(), 2u);
}

TEST_F(ScriptOnSimulator, AMotionThatOutlastsTheLinesDeadlineIsStopped) {
  script.LineDeadlineMs = 1500;
  rig.dir.Write("slow.QMF", "MXYA(40,0)\r\nMXYA(0,0)\r\n");
  EXPECT_EQ(script.RunScriptFile("slow.QMF"), ScriptResult::Stopped);
  EXPECT_EQ(List(), (Lines{"MXYA(40,0)", kScriptOverdue, "Script stopped"}));
  rig.RunMs(1000);
  EXPECT_GT(At(kX), 0);
  EXPECT_LT(At(kX), 320000);
  EXPECT_FALSE(rig.sim.StateByte() & 0x08) << "the machine stands";
}

TEST_F(ScriptOnSimulator, NothingRunsBesideAJobOrAMotionAndAStopInForceStays) {
  const size_t from = Mark();
  sys.flags.AbortRun = 1;
  sys.console.State.JobActive = true;
  EXPECT_EQ(Line("MXYA(1,1)"), ScriptResult::NotRun);
  EXPECT_EQ(sys.flags.AbortRun, 1);
  sys.console.State.JobActive = false;

  // A jog from the console, before and after the controller reports it busy.
  ASSERT_TRUE(sys.manual.Motion.JogStart(0x1F, 20));
  EXPECT_EQ(Line("MXYA(1,1)"), ScriptResult::NotRun);
  ASSERT_TRUE(rig.RunUntil([&] { return sys.console.State.Busy; }, 2000));
  rig.dir.Write("one.QMF", "MXYA(1,1)\r\n");
  EXPECT_EQ(script.RunScriptFile("one.QMF"), ScriptResult::NotRun);
  sys.manual.Motion.JogStop();
  EXPECT_EQ(List(), (Lines{"Job running: manual moves are locked", kScriptJogging,
                           "Machine busy: manual moves are locked"}));
  EXPECT_TRUE(Sent(from, 20).empty());
}

TEST(ScriptWithoutController, SaysItIsNotConnectedAndSendsNothing) {
  SimSystem rig;
  TScript_reader& script = rig.sys->script;
  script.ScriptLine = "HMXY";
  EXPECT_EQ(script.ExecuteScriptLine(), ScriptResult::NotRun);
  EXPECT_EQ(script.View.ListBox1.Items(), (Lines{kScriptNotConnected}));
  EXPECT_TRUE(rig.Records().empty());
}

}  // namespace
}  // namespace wendlar::testing
