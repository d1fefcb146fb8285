// The G-code interpreter's registers and modal state, and the job counters both engines share.
#pragma once

#include <cstdint>
#include <string>

namespace wendlar {

// Lengths are in user units (inch or millimetre), Z positive upward.
struct GcodeState {
  std::string GcodeLineText;  // the current line, control characters dropped
  double WordX = 0, WordY = 0, WordZ = 0, WordI = 0, WordJ = 0, WordF = 0, WordP = 0;
  double WordN = 0, WordL = 0, WordR = 0, WordQ = 0, WordH = -100.0;
  double ToolWord = 0;
  int McodeWord = 255;
  int MotionMode = 0;  // 0, 1, 2, 3, 73, 81, 82, 83, 84
  bool Incremental = false;
  bool ReturnToR = true;
  bool DwellPending = false;
  bool LaserMode = false;
  bool ProgramEnded = false;  // M2 or M30 was run: no further line is read
  double CurrentFeed = 1.0;
  double TargetX = 0, TargetY = 0, TargetZ = 0;
  double PrevX = 0, PrevY = 0, PrevZ = 0;
  double ArcEndX = 0, ArcEndY = 0;
  double TopZ = 0;
  double HeadOffsetX = 0, HeadOffsetY = 0;
  double FixtureX = 0, FixtureY = 0;  // the work offset in force, added to program X and Y
  int ParserLineNo = 1;  // lines parsed, counted from 1
  int FileLineNo = 0;    // the file's own number of the line being read; named by messages
  double CycleZ = 0;     // the drilling cycle's bottom, kept while the cycle is modal

  // Per line, set by the scan.
  int MotionWords = 0;
  bool ValueError = false;
  bool LineHasR = false, LineHasIJ = false;
  bool LineHasXY = false, LineHasZ = false;
  bool LineSetsCycle = false;  // a drilling-cycle G code stands on the line
};

// A line or record the job may not run, with the file's line number (or record number).
struct JobRefusal {
  int Line = 0;
  std::string Text;
};

// Counters and stop flags of a run, shared by the two engines and read by the console.
struct JobRunState {
  int LineCounter = 0;       // lines or records started
  int RecordCount = 0;       // spooler records read in this run
  bool ToolChangeStop = false;
  int ToolNumber = 0;        // tool of the last tool change
};

// Resets the state at the start of a G-code run from the machine position in user units.
// WordQ and WordL carry over from the last run.
void StartGcodeState(GcodeState& state, double machineX, double machineY, double machineZ);
// Puts a work offset in force at the start of a run, keeping the machine position.
void SetGcodeFixture(GcodeState& state, double x, double y);

}  // namespace wendlar
