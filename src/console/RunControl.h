// Run control: choosing and preparing the job file, the checks before a run, Run, Pause,
// Continue and the emergency stop, and the end-of-job handlers the engines call.
#pragma once

#include <functional>
#include <string>

#include "config/MachineConfig.h"
#include "console/CommandSender.h"
#include "console/Console.h"
#include "console/ManualControl.h"
#include "console/StatusReaction.h"
#include "core/EventLoop.h"
#include "core/Prompts.h"
#include "core/RunFlags.h"
#include "link/Polling.h"

namespace wendlar {

// The job engines as run control sees them; the job layer implements it.
class JobRunner {
 public:
  virtual ~JobRunner() = default;
  // Opens a G-code program for reading from its first line; false when it cannot be opened.
  virtual bool PrepareGcodeFile(const std::string& path) = 0;
  virtual void CloseGcodeFile() = 0;
  // Opens a spooler job and reads its header (drawing limits); false when it cannot.
  virtual bool ScanSpoolFile(const std::string& path) = 0;
  virtual void CloseSpoolFile() = 0;
  // Zeroes the line and record counters of a run.
  virtual void ResetRunCounters() = 0;
  virtual void RunGcodeJob() = 0;
  virtual void RunSpoolJob() = 0;
  // Reads the whole prepared job without the controller; false (after showing why) when it
  // may not run. Called before anything of the job is sent.
  virtual bool PreflightJob() { return true; }
};

// Settings and actions of other windows; each may stay empty (unchecked, or skipped).
struct RunHooks {
  std::function<bool()> ReadControllerTable;  // false when the read-back failed
  std::function<void()> EnableLimits;
  std::function<void(const std::string&)> AddFaultHistory;
  // A job file is loaded and ready to run (path, spooler job), or none is (empty path).
  std::function<void(const std::string&, bool)> JobLoaded;
  std::function<bool()> DebugFileEnabled;     // diagnostics menu "Enable Debug file"
  std::function<void()> CreateDebugFile;      // "debug.txt", created empty
  std::function<void()> CloseDebugFile;
  std::function<std::string()> SpoolerFolder;
  std::function<std::string()> GcodeFolder;
  std::function<void(int mode)> ShowPreview;  // the toolpath viewer, modal
  std::function<void(int mode)> ChooseJobMode;
};

// JobDisplayName of a path: whole up to 30 characters, else its first 5, "..." and last 31.
std::string ShortJobName(const std::string& path);

class RunControl {
 public:
  RunControl(EventLoop& loop, Console& console, StatusReaction& status, CommandSender& sender,
             ManualControl& manual, ControllerReport& report, Prompts& prompts, ConfigState& config,
             RunFlags& flags);

  RunHooks Hooks;
  bool ContinuePressed = false;

  // The engines are wired in after construction.
  void SetRunner(JobRunner* runner) { runner_ = runner; }

  // File menu: the open dialogs and the file's preparation. Refused while a long operation runs.
  void OpenSpoolFile();
  void OpenGcodeFile();
  // Prepares the named G-code file: opens it, resets the run state and enables Run; false
  // when it cannot be opened (Run and Preview disabled).
  bool PrepareGcodeFile(const std::string& path);
  // Chooses a spooler file without a dialog (the command line); false when it cannot be read.
  bool ChooseSpoolFile(const std::string& path);

  // The menu entry and Ctrl+R: runs the job of the current mode. Refused while a long
  // operation runs or the controller still runs the last job, and when not connected.
  void RunJob();
  // A release on the Run panel: left button only, and only while inputs bit 7 is clear.
  void Run_buttonMouseUp(bool leftButton);
  void TogglePause();
  void PausebutMouseDown();
  void PausebutMouseUp();
  void EmergencyStop();
  // Closing the console (Exit or the window closing): a running job takes the stop path
  // first, so the machine stops instead of finishing its buffer unattended.
  void CloseConsole(bool connected);
  // The engines' wait at M00, a pause record and a tool change; ends on Continue, a stop or closing.
  void WaitForContinue();
  // The Continue button.
  void ContinueJob();
  // End-of-job handlers of the engines (and of the viewer after reading the file).
  void EndGcodeJob();
  void EndSpoolJob();
  // The prompt after a job stopped for a manual tool change.
  void ShowToolChangePrompt();
  void PreviewMouseDown();
  void PreviewClick();
  // Mode switches of the menu; refused while a long operation runs.
  void QuorlexModeClick();
  void GcodeModeClick();
  // False while a job or another long operation holds the console (connecting waits too).
  bool ConsoleFree() const;
  // True while a job streams or the controller still runs one.
  bool JobRunning() const;

 private:
  bool JobBusy() const;
  void ShowContinue(const std::string& caption);
  void HideContinue();
  void FileReadyLook();
  void NoFileLook();

  EventLoop& loop_;
  Console& console_;
  StatusReaction& status_;
  CommandSender& sender_;
  ManualControl& manual_;
  ControllerReport& report_;
  Prompts& prompts_;
  ConfigState& config_;
  RunFlags& flags_;
  JobRunner* runner_ = nullptr;
};

}  // namespace wendlar
