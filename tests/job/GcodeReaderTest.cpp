#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <sstream>

#include "GcodeRig.h"
#include "config/WorkOffsets.h"

namespace wendlar::testing {
namespace {

using Calls = std::vector<std::string>;

TEST(GcodeLines, ControlCharactersAreDroppedAndTheLastLineNeedsNoLineFeed) {
  std::istringstream in(std::string("G0\tX1\r\n\nA\x01\0B\nG1 X2", 18));
  GcodeLineSource source(in);
  std::string line;
  ASSERT_TRUE(source.ReadLine(line));
  EXPECT_EQ(line, "G0X1");
  ASSERT_TRUE(source.ReadLine(line));
  EXPECT_EQ(line, "");
  ASSERT_TRUE(source.ReadLine(line));
  EXPECT_EQ(line, "AB");
  ASSERT_TRUE(source.ReadLine(line));
  EXPECT_EQ(line, "G1 X2");
  EXPECT_EQ(source.LineNumber(), 4);
  EXPECT_FALSE(source.ReadLine(line));
}

TEST(GcodeLines, ShortAndMarkedLinesAreShownButSkipped) {
  GcodeRig rig;
  rig.Run("X\n%\n(G0 X1)\n;G0 X1\n/G0 X1\n:1\n[G0 X1]\n{\n\\G0 X1\n*G0 X1\n!G0 X1\nG0 X1\n");
  EXPECT_EQ(rig.m.Moves(), Calls({"Rapid 8000 0"}));
  EXPECT_EQ(rig.m.CodeLines.size(), 12u);
  EXPECT_EQ(rig.run.LineCounter, 1);
  EXPECT_EQ(rig.m.LineCounterShown, "Line # 1");
}

TEST(GcodeWords, CommentsCaseAndSpacesInValues) {
  GcodeRig rig;
  // A closed comment ends at its parenthesis; lower case reads as upper case; ';' ends the line.
  rig.Run("G1 X1 (move) Y2\ng1 x3 y1\nG1 X 1 .5 ; Y9\n(start) G1 X2\n(only a comment)\n");
  EXPECT_EQ(rig.m.Moves(),
            Calls({"Move 8000 16000 0 1", "Move 24000 8000 0 1", "Move 12000 8000 0 1", "Move 16000 8000 0 1"}));
  EXPECT_EQ(rig.run.LineCounter, 4);

  GcodeRig lower;  // a lower-case program moves; today's literal reading moved nothing
  lower.Run("g0 x10 y10 z5\n");
  EXPECT_EQ(lower.m.Moves(), Calls({"Z -40000 60 0", "Rapid 80000 80000"}));
}

TEST(GcodeWords, MalformedValuesRefuseTheLineWithTheFileLineNumber) {
  GcodeRig rig;
  // Blank and comment lines count: the bad value stands on line 4 of the file.
  rig.Run("G0 X1\n\n(note)\nG1 XY2 X--1 Z\nG1 X+.5\n");
  EXPECT_EQ(rig.m.ComList, Calls({"ERR AT LINE #4"}));
  EXPECT_EQ(rig.m.Messages, Calls({"line 4: Error malformed value X"}));
  EXPECT_EQ(rig.m.Moves(), Calls({"Rapid 8000 0"}));
  EXPECT_EQ(rig.flags.AbortRun, 1);

  GcodeRig exponent;  // not X1 and a silent E word
  exponent.Run("G1 X1e300\n");
  EXPECT_EQ(exponent.m.Messages, Calls({"line 1: Error malformed value X1e300"}));
  EXPECT_TRUE(exponent.m.Moves().empty());
}

// Values are read to the very double the library's conversion gives: short ones by the
// reader's own arithmetic, long ones (more than 2^53 in digits, more than 22 decimals) by the
// library, blanks inside dropped.
TEST(GcodeWords, ValuesAreReadToTheLibrarysDouble) {
  GcodeRig rig;
  std::vector<std::string> texts = {"0", "-0", "+.5", "5.", "0.1", "-12.3456", "9007199254740993",
                                    "0.30000000000000004441", "1.00000000000000000000000001", "1 2.5", "- 0.7"};
  uint64_t bits = 0x2545f4914f6cdd1dull;
  for (int i = 0; i < 20000; ++i) {
    bits ^= bits << 13, bits ^= bits >> 7, bits ^= bits << 17;
    std::string digits = std::to_string(bits >> (bits % 64));
    const size_t point = bits % (digits.size() + 1);
    texts.push_back((i % 3 == 0 ? "-" : "") + digits.substr(0, point) + "." + digits.substr(point));
  }
  for (const std::string& text : texts) {
    std::string plain;
    for (char c : text) {
      if (c != ' ') plain.push_back(c);
    }
    const bool negative = plain[0] == '-';
    const size_t from = plain[0] == '-' || plain[0] == '+' ? 1 : 0;
    double expected = 0;
    std::from_chars(plain.data() + from, plain.data() + plain.size(), expected, std::chars_format::fixed);
    if (negative) expected = -expected;
    rig.state.GcodeLineText = "X" + text;
    rig.reader.ParseGcodeLine();
    ASSERT_FALSE(rig.state.ValueError) << text;
    ASSERT_EQ(std::bit_cast<uint64_t>(rig.state.WordX), std::bit_cast<uint64_t>(expected)) << text;
  }
}

TEST(GcodeWords, ToolWordsAndTheirMcodes) {
  GcodeRig rig;
  rig.config.Config.Man_toolch = 1;
  rig.config.Config.Toolch_xpos = 1.0;
  rig.config.Config.Toolch_ypos = 2.0;
  rig.config.Config.Toolch_Zpos = 3.0;
  // T0 is tool 30: a tool change without the move; T2 M3 is M3 only.
  rig.Run("T0\nT2 M3\n");
  EXPECT_EQ(rig.state.ToolWord, 2);
  EXPECT_EQ(rig.m.Moves(), Calls({"SpindleOn 0"}));
  EXPECT_FALSE(rig.run.ToolChangeStop);

  GcodeRig change;
  change.config.Config.Man_toolch = 1;
  change.config.Config.Toolch_xpos = 1.0;
  change.config.Config.Toolch_ypos = 2.0;
  change.config.Config.Toolch_Zpos = 3.0;
  change.Run("M3 T2\nG0 X5\n");
  EXPECT_EQ(change.m.Moves(), Calls({"Z -24000 80 1", "Rapid 8000 16000"}));
  EXPECT_TRUE(change.run.ToolChangeStop);
  EXPECT_EQ(change.run.ToolNumber, 2);
}

TEST(GcodeWords, HeadOffsetsFromH) {
  GcodeRig rig;
  rig.config.Config.Aux1R_xoff = 0.5;
  rig.config.Config.Aux1R_yoff = -0.25;
  rig.config.Config.Aux2R_xoff = 2;
  rig.Run("T1 H1\nG0 X1 Y1\nG1 X2\nT3 H2\nG0 X3\nT4\nG0 X4\n");
  EXPECT_EQ(rig.m.Moves(), Calls({"Rapid 4000 10000", "Move 12000 10000 0 1", "Rapid 8000 8000", "Rapid 32000 8000"}));
  EXPECT_FALSE(rig.run.ToolChangeStop);  // manual tool change is off
}

TEST(GcodeWords, SpindleSpeedOnlyInRapidMode) {
  GcodeRig rig;
  rig.Run("S1200\nG1 X1 S3000\nG2 X1 Y0 I1 J0 S4000\nG0 S999.5\n");
  EXPECT_EQ(rig.m.Calls.front(), "Rpm 1200");
  EXPECT_EQ(rig.m.Calls.back(), "Rpm 1000");
  int rpmCalls = 0;
  for (const auto& c : rig.m.Calls) rpmCalls += c.rfind("Rpm", 0) == 0;
  EXPECT_EQ(rpmCalls, 2);
}

TEST(GcodeWords, DwellLineDoesNothingElse) {
  GcodeRig rig;
  rig.m.Spindle = true;
  rig.Run("G4 P2 M5\nG4 P12\nG4 P-1\n");
  EXPECT_EQ(rig.m.Moves(), Calls({"Dwell 2", "Dwell 12", "Dwell 0"}));
}

TEST(GcodeWords, FeedChangeFlushesAndShowsTheLabel) {
  GcodeRig rig;
  rig.Run("G1 X1 F30\nX2\nF30\nX3 F45.5\n");
  EXPECT_EQ(rig.m.Calls, Calls({"Move 8000 0 0 30", "Move 16000 0 0 30", "Flush", "Move 24000 0 0 46"}));
  EXPECT_EQ(rig.m.FeedLabel, "46 ipm");
  rig.m.UseFeedBox = true;
  rig.m.FeedLabel.clear();
  rig.Run("G1 X4 F200\n");
  EXPECT_EQ(rig.m.FeedLabel, "");
  EXPECT_EQ(rig.m.Calls.back(), "Move 32000 0 0 7");  // the feed index of the last flush
}

TEST(GcodeWords, FeedValueIsCappedAt100AndNeverBelow1) {
  GcodeRig rig;
  rig.Run("G1 X1 F250\nG1 X2 F0.2\nG1 X3 F-5\n");
  EXPECT_EQ(rig.m.Moves(), Calls({"Move 8000 0 0 100", "Move 16000 0 0 1", "Move 24000 0 0 1"}));
}

TEST(GcodeCodes, PlaneAndUnitErrorsRefuseTheWholeLine) {
  GcodeRig rig;
  rig.Run("G1 X1 G18 Y5\nG1 X2\n");
  EXPECT_EQ(rig.m.Messages, Calls({"line 1: Error G18 XZ plane not supported"}));
  EXPECT_EQ(rig.flags.AbortRun, 1);
  EXPECT_TRUE(rig.m.Moves().empty());

  GcodeRig g19;
  g19.Run("G19\n");
  EXPECT_EQ(g19.m.Messages, Calls({"line 1: Error G19 YZ plane not supported"}));

  GcodeRig inch;
  inch.Run("G20\nG21 G0 X1\n");
  EXPECT_EQ(inch.m.Messages, Calls({"Metric Gcode file found", "line 2: Change to Metric config"}));
  EXPECT_EQ(inch.flags.AbortRun, 1);
  EXPECT_TRUE(inch.m.Moves().empty());

  GcodeRig metric(true);
  metric.Run("G21\nG20\n");
  EXPECT_EQ(metric.m.Messages, Calls({"Imperial Gcode file found", "line 2: Change to Imperial config"}));
}

TEST(GcodeCodes, IncrementalWarnsAndAdds) {
  GcodeRig rig;
  rig.Run("G91\nG1 X1 Z-0.5\nX1 Z-0.5\nG90 X0\n");
  EXPECT_EQ(rig.m.Messages, Calls({"Warning G91 detected"}));
  EXPECT_EQ(rig.m.Moves(), Calls({"Move 8000 0 4000 1", "Move 16000 0 8000 1", "Move 0 0 8000 1"}));
  EXPECT_EQ(rig.state.TopZ, 0);  // incremental Z never raises the top
}

TEST(GcodeRapids, ZMovesFirstAndUnchangedLinesSendNothing) {
  GcodeRig rig;
  rig.Run("G0 Z1\nG0 X1 Y2 Z-0.25\nG0 X1\nG0 X1 Y2 Z-0.25\nM9\nG1 X2\n");
  EXPECT_EQ(rig.m.Calls, Calls({"Z -8000 60 0", "Z 2000 60 0", "Rapid 8000 16000", "Aux1 0", "Move 16000 16000 2000 1"}));
  EXPECT_EQ(rig.state.TopZ, 1);
}

TEST(GcodeRapids, StepsRoundToFileUnitsFirstButArcsRoundOnce) {
  GcodeRig rig;
  // 1.0005 in is 1000.5 file units, to even 1000, so 8000 steps; one rounding would give 8004.
  rig.Run("G0 X1.0005\nG1 X1.0015\n");
  EXPECT_EQ(rig.m.Moves(), Calls({"Rapid 8000 0", "Move 8016 0 0 1"}));
  rig.config.Config.Xscale = 8.4;  // 1002 * 8.4 = 8416.8
  rig.m.Calls.clear();
  rig.Run("G1 X1.0015\n");
  EXPECT_EQ(rig.m.Calls, Calls({"Move 8417 0 0 1"}));
}

TEST(GcodeMcodes, OutputsPauseAndLaser) {
  GcodeRig rig;
  rig.m.UseRpmBox = true;
  rig.m.Rpm = 9000;
  rig.Run("M0\nM3\nM3\nM8\nM9\nM10\nM11\nM5\nM24\nG1 X1 L34\nM26\nM77\n");
  EXPECT_EQ(rig.m.Moves(), Calls({"SpindleOn 0", "Rpm 9000", "Aux1 1", "Aux1 0", "Aux2 1", "Aux2 0", "SpindleOff",
                                  "LaserSegments 1", "Laser 1", "MoveW 8000 0 120 1", "Laser 0"}));
  rig.m.PauseOnM0Box = true;
  rig.m.Calls.clear();
  rig.Run("M0\n");
  EXPECT_EQ(rig.m.Calls, Calls({"WaitForContinue"}));
}

TEST(GcodeGuards, OutOfRangeTargetsAreRefusedBeforeAnythingIsQueued) {
  GcodeRig rig;
  // 1048.576 in is 8388608 steps, one past the 24-bit range.
  rig.Run("G1 X1048.575\nG1 X1048.576 M8\nG1 X2\n");
  EXPECT_EQ(rig.m.Moves(), Calls({"Move 8388600 0 0 1"}));
  EXPECT_EQ(rig.m.Messages, Calls({"line 2: Long3 overflow"}));
  EXPECT_EQ(rig.flags.AbortRun, 1);

  GcodeRig huge;
  huge.Run("G0 Y" + std::string(400, '9') + "\n");
  EXPECT_EQ(huge.m.Messages, Calls({"line 1: Long3 overflow"}));
  EXPECT_TRUE(huge.m.Calls.empty());
}

TEST(GcodeGuards, JunkOfAnyKindIsReadToTheEnd) {
  GcodeRig rig;
  std::string junk;
  for (int i = 0; i < 200000; ++i) {
    char c = static_cast<char>((i * 7919) & 0xFF);
    junk.push_back(c == '\n' ? 'X' : c);  // one line of binary junk
  }
  std::string longLine(10 * 1024 * 1024, 'X');
  rig.Run(junk + "\n" + longLine + "\nG4 P1\n");
  // The long line is one value error; the run goes on to the dwell unless junk stopped it.
  if (rig.flags.AbortRun == 0) {
    EXPECT_EQ(rig.m.Calls.back(), "Dwell 1");
  }
  EXPECT_LE(rig.m.ComList.size(), 2u);
}

TEST(GcodeFixtures, TheActiveOffsetAndG54ToG59MoveTheProgram) {
  GcodeRig rig;
  WorkOffsetState offsets;
  offsets.WorkOffsets[0] = {1, 2};
  offsets.WorkOffsets[1] = {5, 5};
  rig.reader.SetFixtures(&offsets);
  SetGcodeFixture(rig.state, 1, 2);  // fixture 1 in force at the start
  // A Z-only rapid moves no XY; G55 alone moves nothing; the next target is in fixture 2.
  rig.Run("G0 Z1\nG0 X1 Y1\nG55\nG0 X1 Y1\nG1 X2 F10\nG54 G0 X0 Y0\n");
  EXPECT_EQ(rig.m.Moves(), Calls({"Z -8000 60 0", "Rapid 16000 24000", "Rapid 48000 48000", "Move 56000 48000 -8000 10",
                                  "Rapid 8000 16000"}));
}

TEST(GcodeMcodes, M2AndM30EndTheProgram) {
  for (const char* end : {"M2", "M30"}) {
    GcodeRig rig;
    // A subprogram after the end is not part of the main program.
    rig.Run(std::string("G0 X1\n") + end + "\nO1000\nG0 X5\n");
    EXPECT_EQ(rig.m.Moves(), Calls({"Rapid 8000 0"})) << end;
    EXPECT_EQ(rig.flags.AbortRun, 0);
  }
}

}  // namespace
}  // namespace wendlar::testing
