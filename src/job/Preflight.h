// Reading a whole job without a controller before it runs: what it would send, and every line
// it may not run.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "config/MachineConfig.h"
#include "job/GcodeState.h"
#include "job/SpoolFile.h"

namespace wendlar {

struct WorkOffsetState;

// Receives every point a pre-flight moves the tool to (the viewer draws from these).
class PathRecorder {
 public:
  virtual ~PathRecorder() = default;
  // A target in the controller's steps (Z as sent, negated), from file line (record) `line`.
  virtual void PathPoint(int line, int32_t x, int32_t y, int32_t z, bool rapid) = 0;
  // The job changed to tool `tool` at line `line`: the points after it are cut with that tool.
  virtual void PathTool(int line, int tool) { (void)line, (void)tool; }
  // Called before every line (record); false ends the reading (the viewer was closed).
  virtual bool KeepReading(int line) = 0;
};

// Where the job starts: the machine position (user units, and the controller's steps) and the
// active work offset (user units), as the run will take them.
struct PreflightStart {
  double MachineX = 0, MachineY = 0, MachineZ = 0;
  int32_t StepX = 0, StepY = 0, StepZ = 0;
  double OffsetX = 0, OffsetY = 0;
  const WorkOffsetState* Offsets = nullptr;  // the fixtures G54 to G59 select
  PathRecorder* Path = nullptr;              // told every point, when set
};

struct PreflightResult {
  bool Opened = false;
  bool Spool = false;
  std::vector<JobRefusal> Refusals;  // every line (record) the job may not run, in file order
  std::vector<JobRefusal> Messages;  // warnings that do not stop the job
  DrawingLimits Limits;              // file units: extents of every target
  int64_t Lines = 0;                 // lines (records) read
  int64_t Rapids = 0, Feeds = 0, Arcs = 0, DrillCycles = 0;
  int64_t Segments = 0, Packets = 0;
  int ToolStops = 0;  // manual tool changes the run will stop for

  bool Ok() const { return Opened && Refusals.empty(); }
};

// Reads the job through the same reader (or spooler step) and segment buffer as a run, with
// the given configuration, into a counting sink. G-code and spooler jobs (*.VRJ) by extension.
[[nodiscard]] PreflightResult PreflightJob(const std::filesystem::path& path, const ConfigState& config,
                                           const PreflightStart& start);

// "line 1945: Error G10 not supported" (or "record 12: ..."), for the first `most` refusals,
// then "... and N more refusals" when there are more.
[[nodiscard]] std::vector<std::string> RefusalLines(const PreflightResult& result, size_t most);

// The extents and counts as the console and `check` show them.
[[nodiscard]] std::vector<std::string> PreflightSummary(const PreflightResult& result, const UnitState& units);

[[nodiscard]] bool IsSpoolJobFile(const std::filesystem::path& path);

}  // namespace wendlar
