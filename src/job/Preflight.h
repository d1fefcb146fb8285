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
  int SpeedSteps = 100;                      // entries of the controller's speed table (250 on 32-bit)
};

// A run of consecutive segment packets and the time they take at their planned speeds.
struct RateWindow {
  int FirstLine = 0, LastLine = 0;  // file lines (records) the packets came from
  int64_t Packets = 0;
  double Seconds = 0;
  double Length = 0;  // user units

  double PacketsPerSec() const { return Seconds > 0 ? Packets / Seconds : 0.0; }
  double FeedPerMin() const { return Seconds > 0 ? Length / Seconds * 60.0 : 0.0; }
};

// Segment packets per rate window: long enough that the controller's buffer cannot simply
// hide a burst, short enough to find one section that starves it.
inline constexpr int64_t kRateWindowPackets = 1000;

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
  // Extents of every target in the controller's steps (Z as sent: down positive), from the
  // machine's position with the work and head offsets the run applies.
  bool Moves = false;
  int64_t StepMinX = 0, StepMaxX = 0, StepMinY = 0, StepMaxY = 0, StepMinZ = 0, StepMaxZ = 0;
  // The full window of segment packets that needs the highest packet rate (none when the
  // job has fewer than kRateWindowPackets segment packets).
  RateWindow Busiest;

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

// "Job leaves the travel: X min -54.250 mm is below -5.000 mm", one line for every end of an
// axis the job's extents pass (Z as the program counts it, up positive). Empty when the job
// stays inside or the travel sets no axis.
[[nodiscard]] std::vector<std::string> TravelRefusals(const PreflightResult& result, const ConfigState& config);
// Said once a session when no travel is set.
inline constexpr const char* kNoTravelText = "No travel set: the job's extents are not checked";

// When the busiest section needs more packets per second than the link carried in its
// transfer test: the warning, its lines and the feed the link sustains there. Empty otherwise.
[[nodiscard]] std::vector<std::string> LinkRateWarning(const PreflightResult& result, double linkPacketsPerSec,
                                                       const UnitState& units);

[[nodiscard]] bool IsSpoolJobFile(const std::filesystem::path& path);

}  // namespace wendlar
