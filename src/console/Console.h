// The console's own logic: creation and show, the Clock timer, the read-outs, the
// code-line panel, idle and running looks, and the window and mode switches.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "config/MachineConfig.h"
#include "console/CodeLinePanel.h"
#include "console/ConsoleState.h"
#include "console/ConsoleView.h"
#include "core/EventLoop.h"
#include "core/RunFlags.h"

namespace wendlar {

// What the console asks of the windows and modules above and beside it. Every hook may
// stay empty; the console then skips that step.
struct ConsoleHooks {
  std::function<void()> ApplyConfigDialog;      // DialogToConfig, run at every show
  std::function<void()> OpenLinkWindow;         // first show opens the connection window
  std::function<void()> CloseLink;              // closing the console while connected
  std::function<int(int)> SpeedTableValue;      // X velocity of a speed index (0 when unknown)
  std::function<int()> JogDisplayMode;          // 1 "Jog Speeds", otherwise percent
};

class Console {
 public:
  Console(EventLoop& loop, ConfigState& config, RunFlags& flags);

  ConsoleView View;
  ConsoleState State;
  CodeLinePanel CodeLines{View};
  ConsoleHooks Hooks;

  // Console creation: defaults, initial captions and looks.
  void Create();
  // Console show (every time the window is shown).
  void Show();
  // Starts the 200 ms Clock timer.
  void StartClock();
  // One Clock tick: counts ClockTicks and blinks the door and servo-fault labels.
  void ClockTick();
  // Called at the end of every Clock tick.
  std::function<void()> OnClockTick;

  // Position read-out after a position report: X, Y and the third field, which is W when
  // `thirdIsW` (the selector's bit 7) and Z otherwise; all in steps.
  void ShowPositions(int32_t xSteps, int32_t ySteps, int32_t thirdSteps, bool thirdIsW);
  // Velocity read-out for the controller's current speed index.
  void ShowVelocity(int speedIndex);
  // Fixture button and label for the active work offset; the read-out subtracts it.
  void ShowActiveOffset(int fixture, double x, double y);

  void ShowJogButtons(bool shown);
  void SetConsoleIdle(bool idle);
  void ShowWAxis(bool shown);

  // Menu and panel switches.
  void StayOnTopClick();
  void QuorlexModeClick();
  void GcodeModeClick();
  void UserMachClick();
  // Exit, or the window closing by any means: stops every wait and closes the link.
  void Close(bool connected);
  // Drops always-on-top before a dialog opens.
  void LeaveTop();
  // Restores always-on-top when "Stay on Top" is checked.
  void RestoreTop();

  // A line for the operator in the message list and the code-line panel; the same line
  // twice in a row is shown once (a held key repeats its refusal).
  void ShowMessage(const std::string& text);

  // The loop the console's timers run on.
  EventLoop& Loop() { return loop_; }

 private:
  // What a position read-out shows now. Only ShowLength writes these captions, so the same
  // value with the same decimals and mark needs no new text: a still axis is not formatted
  // again at every position report.
  struct ShownLength {
    double value = 0;
    int decimals = -1;
    std::string mark;
  };
  // Shows a length in user units, with the unit's decimals and mark, as the caption of a
  // read-out.
  void ShowLength(Control& readOut, ShownLength& shown, double userUnits);
  ShownLength shownX_, shownY_, shownZ_, shownW_;

  EventLoop& loop_;
  ConfigState& config_;
  RunFlags& flags_;
  std::unique_ptr<Timer> clock_;
};

}  // namespace wendlar
