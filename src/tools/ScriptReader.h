// Macro scripts (TScript_reader): short machine commands typed into the script window or
// read from a .QMF file, each run to completion before the next.
#pragma once

#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "console/ManualControl.h"
#include "core/HomeDir.h"
#include "core/ViewModel.h"

namespace wendlar {

struct TScript_readerView : ViewModel {
  TScript_readerView();

  Control Form{*this, "Script_reader"};  // caption is the title; Visible while shown
  Control ListBox1{*this, "ListBox1"};   // every line run, and the errors
  Control Edit1{*this, "Edit1"};         // the one command Run_Line runs
  Control real_edit1{*this, "real_edit1"};  // the last number read, 3 decimals
  Control Open_Scr{*this, "Open_Scr"}, Run_Line{*this, "Run_Line"};
};

// Operations of other console modules the commands use; System fills them in. An empty
// hook skips its step.
struct ScriptHooks {
  std::function<void()> EnableLimits;
  std::function<void()> DisableLimits;
  // Asks the controller for its position at once; false when no report came back.
  std::function<bool()> RefreshPositions;
  // The console's stop, for a line whose motion outlasts its deadline.
  std::function<void()> StopMachine;
};

// How a line or a file run ended.
enum class ScriptResult {
  Done,         // ran to the end (unknown keywords and "bad command" lines included)
  NumberError,  // a line's number did not read; its motion was not sent
  Stopped,      // a stop, a refused move or the lost controller ended it
  NotRun,       // refused before anything was sent: busy, not connected, no file
};

// The texts the script window's list shows besides the lines themselves.
inline constexpr const char* kBadCommand = "bad command";
inline constexpr const char* kNumberError = "number error";
inline constexpr const char* kScriptStopped = "Script stopped";
inline constexpr const char* kScriptJogging = "Jogging: manual moves are locked";
inline constexpr const char* kScriptNotConnected = "Controller not connected";
inline constexpr const char* kScriptNoPosition = "Position not known: move not sent";
inline constexpr const char* kScriptOverdue = "Motion did not finish in time: machine stopped";

// The longest a line may take, its motion included, before the machine is stopped.
inline constexpr int kScriptLineDeadlineMs = 15 * 60 * 1000;

// A script file opened for reading, or why it could not be.
struct ScriptFile {
  struct Closer {
    void operator()(std::FILE* f) const { std::fclose(f); }
  };
  std::unique_ptr<std::FILE, Closer> Handle;
  std::string Problem;  // "Cannot open script NAME: reason" when Handle is null
};
// Opens a script for reading; `shownName` names it in the problem text.
[[nodiscard]] ScriptFile OpenScriptFile(const std::filesystem::path& path, const std::string& shownName);

class TScript_reader {
 public:
  TScript_reader(ManualControl& manual, const HomeDir& home);
  TScript_reader(const TScript_reader&) = delete;
  TScript_reader& operator=(const TScript_reader&) = delete;

  TScript_readerView View;
  ScriptHooks Hooks;

  std::string ScriptLine;  // the command being executed
  int ScriptCursor = 1;    // 1-based position of the number reader in ScriptLine
  double ScriptValue = 0;  // the last number read
  int LineDeadlineMs = kScriptLineDeadlineMs;

  // "Run Script file": drops the console from always-on-top and shows the window.
  void Show();
  // Closing by any means; the console goes back on top when "Stay on Top" is checked.
  void Close();
  // The file chooser, then the chosen file is run.
  void Open_ScrClick();
  // Runs the edit box's text as one line.
  void Run_LineClick();

  // Executes ScriptLine, waiting for its motion. Refused while a job, another long
  // operation or a motion holds the machine, and while not connected.
  [[nodiscard]] ScriptResult ExecuteScriptLine();
  // Executes a file line by line; a number error or a stop ends it after that line. Bare
  // names are files in the program directory.
  [[nodiscard]] ScriptResult RunScriptFile(const std::string& fileName);
  // Reads the next number of ScriptLine from ScriptCursor into ScriptValue and the number
  // box. On a bad number: "number error", AbortRun set, ScriptValue kept, false.
  bool ParseScriptNumber();

  // True while a line or a file runs.
  bool Running() const { return running_; }

 private:
  class Hold;

  // The reason the machine cannot take a script now, or empty.
  std::string Refusal() const;
  // One line, the console already held.
  ScriptResult ExecuteHeld();
  // Refreshes the machine position for a relative move; when it is not known, says so and
  // stops the script.
  bool PositionKnown();
  void MoveXY(bool relative);
  void MoveZ(bool relative);
  void ClearanceHoming(uint8_t code, uint8_t axis);
  // Waits for the motion just sent; nothing to wait for when it was not sent.
  void WaitMotion(bool sent);
  ScriptResult LineOutcome(const StopMark& stops);
  void Add(const std::string& text) { View.ListBox1.AddItem(text); }

  ManualControl& manual_;
  ManualContext& ctx_;
  const HomeDir& home_;
  bool running_ = false;
  bool numberError_ = false;
};

}  // namespace wendlar
