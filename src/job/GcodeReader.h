// The G-code reader: scans a line into the interpreter's registers and carries the line out
// (the scanning in GcodeReader.cpp, the moves in GcodeMoves.cpp).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "config/MachineConfig.h"
#include "core/RunFlags.h"
#include "job/ArcPath.h"
#include "job/GcodeFile.h"
#include "job/GcodeState.h"
#include "job/JobMachine.h"

namespace wendlar {

struct WorkOffsetState;

// Reader messages, shown in the code-line panel.
inline constexpr const char* kMsgG91 = "Warning G91 detected";
inline constexpr const char* kMsgG18 = "Error G18 XZ plane not supported";
inline constexpr const char* kMsgG19 = "Error G19 YZ plane not supported";
inline constexpr const char* kMsgImperialFile = "Imperial Gcode file found";
inline constexpr const char* kMsgToImperial = "Change to Imperial config";
inline constexpr const char* kMsgMetricFile = "Metric Gcode file found";
inline constexpr const char* kMsgToMetric = "Change to Metric config";
inline constexpr const char* kMsgValueError = "ERR AT LINE #";
inline constexpr const char* kMsgPeckQ = "Error peck depth Q must be above 0";
inline constexpr const char* kMsgRArc = "Error R arcs not supported";
inline constexpr const char* kMsgLong3 = "Long3 overflow";
// Constructs outside the dialect that would change the path: the job is refused.
inline constexpr const char* kMsgG53 =
    "Error G53 machine coordinates not supported: remove the line or use a post for this machine";
inline constexpr const char* kMsgParameters = "Error parameters not supported";
inline constexpr const char* kMsgExpressions = "Error expressions not supported";
inline constexpr const char* kMsgOWords = "Error O-words not supported";
inline constexpr const char* kMsgDrillG91 = "Error drilling cycles under G91 not supported";
inline constexpr const char* kMsgPeckStep = "Error peck depth Q below one step";
// Pecks one hole may take: a deeper hole or a finer peck is a typing slip, and would stream
// millions of moves.
inline constexpr int64_t kMaxPecks = 1000;
inline constexpr const char* kMsgPeckCount = "Error more than 1000 pecks in one hole";
inline constexpr const char* kMsgArcNoCentre = "Error arc without I or J";
inline constexpr const char* kMsgArcEnd = "Error arc end not on its circle";

// G73 lifts this far above each peck to break the chip (user units for an inch machine;
// a metric machine lifts the same 0.254 mm rounded to 0.25 mm).
inline constexpr double kG73RetractInch = 0.010;
inline constexpr double kG73RetractMm = 0.25;

// What the reader did, for the checker and the benchmark.
struct GcodeStats {
  int64_t Rapids = 0;        // rapid lines that moved
  int64_t Feeds = 0;         // straight feeds queued
  int64_t Arcs = 0;          // arcs cut (helices included)
  int64_t DrillCycles = 0;   // drilling cycles carried out
  int64_t ArcPoints = 0;     // chord points handed to the buffer
};

class GcodeReader {
 public:
  GcodeReader(GcodeState& state, JobRunState& run, JobMachine& machine, const ConfigState& config,
              RunFlags& flags);

  // True for a line the reader passes over: length 0 or 1, a skip character first, or only a comment.
  static bool SkipsLine(std::string_view line);

  // Scans GcodeLineText into the registers (counts the line, shows "Line # ").
  void ParseGcodeLine();
  // Carries out the line just parsed: dwell, motion, then M code; updates PrevX/Y/Z.
  void ExecuteGcodeLine();
  // The engine's line step for GcodeLineText: shows it, then skips or parses and executes it.
  void RunGcodeLine();
  // Reads the next line from the source and runs it; false at the end of the file.
  bool Step(GcodeLineSource& source);

  // From now on refusals are collected here, each with its file line, instead of stopping the
  // run: the pre-flight reads the whole file and reports them all.
  void CollectRefusals(std::vector<JobRefusal>* list) { refusals_ = list; }
  // The fixture table G54 to G59 select from; without one they change nothing.
  void SetFixtures(const WorkOffsetState* offsets) { fixtures_ = offsets; }

  // The speed value of feeds and feeding Z moves: the job's feed or FeedIdx, 1..100.
  int FeedValue() const;

  const GcodeStats& Stats() const { return stats_; }

 private:
  void ApplyWord(char letter, double value);
  void ApplyGcode(double value);
  // Checks the letters outside the dialect at t[i] (upper case); notes a refusal when they
  // would change the path.
  void CheckForeignLetter(char c, const std::string& t, size_t i);
  void Message(const char* text);
  // Refuses the line: message with the file line and AbortRun (or, collecting, one more
  // refusal), and nothing more of the line runs.
  void Refuse(const std::string& text);
  // Notes a refusal while scanning; the line is refused before anything of it runs.
  void NoteRefusal(std::string text);
  // Puts the targets back where the machine is, for a line that does not move it.
  void KeepPosition();
  // What is subtracted from a program X (Y) to give the machine's: head offset less fixture.
  double OffX() const { return s_.HeadOffsetX - s_.FixtureX; }
  double OffY() const { return s_.HeadOffsetY - s_.FixtureY; }

  // Steps of a length in user units: to whole file units, then to steps (rapids, feeds,
  // drilling) or in one rounding (arcs, tool change). Empty outside the 24-bit range.
  std::optional<int32_t> Steps(double v, double scale) const;
  std::optional<int32_t> StepsDirect(double v, double scale) const;

  bool Rapid();
  bool Feed();
  bool Arc();
  bool Peck();
  bool Drill();
  bool Mcode();
  // Start of a drilling cycle: flush, up to R when below it, rapid to the hole. True when the
  // tool is at R already.
  bool CycleStart(int32_t xs, int32_t ys);
  // The hole's XY in steps; refuses the line (false) when it or the cycle's R, bottom or top
  // is out of the step range.
  bool DrillPosition(int32_t& xs, int32_t& ys);

  GcodeState& s_;
  JobRunState& run_;
  JobMachine& m_;
  const ConfigState& config_;
  RunFlags& flags_;
  GcodeStats stats_;
  std::string valueText_;
  std::string lineText_;
  std::string feedLabel_;  // the feed label last built, from these two
  int64_t feedLabelValue_ = 0;
  std::string feedLabelUnits_;
  std::string lineRefusal_;  // first refusal noted on the line being scanned
  int unknownG_ = -1;        // a G code outside the dialect on the line, refused with axis words
  std::vector<JobRefusal>* refusals_ = nullptr;
  const WorkOffsetState* fixtures_ = nullptr;
};

}  // namespace wendlar
