// Machine files (*.MAC): defaults, loading with its corrections, and saving in the fixed format.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "config/MachineConfig.h"
#include "core/HomeDir.h"

namespace wendlar {

// What loading and saving show in other windows; the console implements it.
class ConfigEvents {
 public:
  virtual ~ConfigEvents() = default;
  // The console's Progress label.
  virtual void ShowProgress(const std::string& text) = 0;
  // The console's message lines.
  virtual void ShowMessage(const std::string& text) = 0;
  // A settings file that did not load as it should, with its name and line: the console's
  // message lines and the program's standard error, so neither face hides it.
  virtual void ReportLoadError(const std::string& text) = 0;
  // A save the operator asked for failed: a message box with the text and its reason.
  virtual void ReportSaveError(const std::string& text) = 0;
  // A file the program writes on its own (History.lst, tables, logs) could not be written:
  // the console's message lines and standard error, with the file and the reason.
  virtual void ReportWriteError(const std::string& text) = 0;
  // Fields to the configuration dialog's boxes (ConfigToDialog); runs after every load.
  virtual void RefreshDialog() = 0;
};

// Where the file helpers report to: the program directory, the windows, standard output.
struct ConfigIo {
  const HomeDir& Home;
  ConfigEvents& Events;
  std::ostream& Out;  // the program's standard-output lines
};

enum class ConfigLoad {
  Loaded,     // every line read
  DataError,  // a line was unreadable or a value refused; see LoadMachineConfig
  NotFound,   // neither the file nor DEFAULT.MAC could be opened; nothing changed
};

// Sets every field that has a default; units, UnitsMode and the carried-only fields without
// a default are left alone. Called once at start before any file is read.
void SetDefaultConfig(MachineConfig& config);
// The same machine in millimetres: scales per 0.01 mm, speeds in mm/min and lengths in mm,
// so that moves take the time they took in inches. UnitsMode becomes 2; the unit state is
// the caller's (SetMetricUnits).
void ConvertConfigToMetric(MachineConfig& config);

inline constexpr const char* kDefaultMachineFile = "DEFAULT.MAC";

// Reads a machine file into the fields, falling back to DEFAULT.MAC when it cannot be
// opened; when DEFAULT.MAC does not exist either (a fresh install) it is written from the
// defaults first and that is said once on standard output. Lines are read in order; the
// first line that cannot be read as its kind (or is missing) ends the reading, and later
// fields keep their previous values. A scale, R_cal or Arc_rez that is not finite and above
// 0 is refused (the field keeps its value) and reading goes on. Either problem shows
// "DATA ERROR READING <name>" in Progress and reports the line and value. The dialog is
// refreshed and ToolAboveWorkNow set in every case but NotFound.
[[nodiscard]] ConfigLoad LoadMachineConfig(ConfigState& state, const std::string& fileName, const ConfigIo& io);

// The 83 lines of a machine file for the state; units and comment come from the dialog.
std::vector<std::string> MachineConfigLines(const ConfigState& state);

// Writes the file atomically; UnitsMode follows the dialog's Inch/Metric choice. On failure
// the console's message lines say so, `why` gets the documented text with the reason, and
// the file on disk is left as it was.
[[nodiscard]] bool SaveMachineConfig(ConfigState& state, const std::string& fileName, const ConfigIo& io,
                                     std::string* why = nullptr);

// Reads a whole file of the program directory as lines, or nothing when it cannot be
// opened as a regular file (missing, a folder, unreadable).
std::optional<std::vector<std::string>> ReadConfigLines(const HomeDir& home, const std::string& fileName);

// Why a whole-file save would fail before anything is written: the folder is missing or
// read-only, or the name is a folder.
bool CanCreateFile(const HomeDir& home, const std::string& fileName);
// The same check with the reason in words; empty when the file can be created.
std::string CannotCreateReason(const HomeDir& home, const std::string& fileName);

// "DATA ERROR READING <file> line <n>: <what>", the text of ReportLoadError.
std::string LoadErrorText(const std::string& fileName, int lineNo, const std::string& what);

}  // namespace wendlar
