// Spooler job files (*.VRJ): 20-byte records, their labels, opening a job with its header, and a writer.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "config/MachineConfig.h"
#include "core/RunFlags.h"
#include "job/JobMachine.h"

namespace wendlar {

inline constexpr size_t kSpoolRecordBytes = 20;
inline constexpr const char* kMsgIoError = "I/O error";

// Record kinds the program knows.
enum SpoolKind : int32_t {
  kSpoolLayerStart = 0, kSpoolContourStart = 1, kSpoolContourEnd = 2, kSpoolLayerEnd = 3,
  kSpoolBorder = 4, kSpoolZLimits = 5, kSpoolRapidXY = 10, kSpoolZRaise = 13, kSpoolLowerZ = 14,
  kSpoolLinear = 16, kSpoolZFeed = 17, kSpoolPeck = 22, kSpoolLaserLinear = 26, kSpoolLaserOn = 27,
  kSpoolLaserOff = 28, kSpoolArcCw = 30, kSpoolArcCcw = 31, kSpoolRAngle = 41, kSpoolHomeR = 43,
  kSpoolTangent = 45, kSpoolChangeTool = 51, kSpoolAux1Head = 55, kSpoolAux2Head = 56,
  kSpoolSpindleOn = 60, kSpoolSetRpm = 61, kSpoolSpindleOff = 62, kSpoolLaserModeOn = 63,
  kSpoolLaserModeOff = 64, kSpoolDwell = 70, kSpoolAux1 = 72, kSpoolAux2 = 73, kSpoolPause = 76,
  kSpoolFeed = 80,
};

// One record: five signed 32-bit little-endian integers. Lengths are file units
// (0.001 in or 0.01 mm).
struct SpoolRecord {
  int32_t Kind = 0, A = 0, B = 0, C = 0, D = 0;

  // The five numbers separated by single spaces.
  std::string Text() const;
  std::array<uint8_t, kSpoolRecordBytes> Encode() const;
  static SpoolRecord Decode(const uint8_t* bytes);
  friend bool operator==(const SpoolRecord&, const SpoolRecord&) = default;
};

// The text the viewer shows for a record, number included; empty for kinds without a label.
std::string SpoolRecordLabel(const SpoolRecord& record);
// The viewer's layer line of a kind-0 record.
std::string SpoolLayerText(const SpoolRecord& record);

// Reads records in order; a partial record at the end is not a record.
class SpoolReader {
 public:
  SpoolReader() = default;
  // Opens the file; false when it cannot be opened for reading.
  [[nodiscard]] bool Open(const std::filesystem::path& path);
  bool IsOpen() const { return file_ != nullptr; }
  void Close();
  // The next whole record; false at the end of the file.
  bool Read(SpoolRecord& record);

 private:
  std::unique_ptr<std::ifstream> file_;
};

// Writes records in the file's own layout (for tests, examples and the demo job), whole or
// not at all; false when anything failed, and `why` then gets the reason in words.
std::string EncodeSpoolRecords(const std::vector<SpoolRecord>& records);
[[nodiscard]] bool WriteSpoolFile(const std::filesystem::path& path, const std::vector<SpoolRecord>& records,
                                  std::string* why = nullptr);

// The header's drawing limits in file units.
struct DrawingLimits {
  int32_t XMin = 0, YMin = 0, XMax = 0, YMax = 0;
  int32_t ZTop = 0, ZBot = 0;
};

// The four code-line panel lines of the limits, values in user units.
std::vector<std::string> DrawingLimitsLines(const DrawingLimits& limits, const UnitState& units);

// An open spooler job and what opening it read.
struct SpoolJob {
  SpoolReader Reader;
  DrawingLimits Limits;
  std::string RecordText;    // the last record read, as text
  int RecordCount = 0;       // records read by the run
  int SpoolXYFeed = 21, SpoolZFeed = 22;
  double WorkTopZ = 0;       // the work top in user units, from the header
};

// Opens the job file and reads its two header records, shows the drawing limits in the
// code-line panel and enables Run. When the file cannot be opened, Run_button reads
// "I/O error" and, with Preview, is disabled; false then.
[[nodiscard]] bool OpenSpoolJob(const std::filesystem::path& path, SpoolJob& job, ConfigState& config,
                                JobMachine& machine, RunFlags& flags);

}  // namespace wendlar
