// The console's reaction to the controller's reports: buffer gauge, inputs, state texts,
// door and servo latches, end of a job, fault-history lines, and the Task timer.
#pragma once

#include <array>
#include <functional>
#include <memory>
#include <string>

#include "console/CommandSender.h"
#include "console/Console.h"
#include "console/JobProgress.h"
#include "core/EventLoop.h"
#include "core/RunFlags.h"
#include "link/Link.h"
#include "link/Polling.h"
#include "motion/SpeedTables.h"

namespace wendlar {

// Run-control state the reactions share with the run entry and the job engines.
struct RunState {
  bool JobCompleted = false;
  bool ToolChangeStop = false;  // set only by the G-code engine
  int ToolNumber = 0;
  bool DoorStopHandled = false;
  bool ServoStopHandled = false;
  bool ProbeRunning = false;    // a probe cycle shows "Probing" instead of the dwell LED
  std::string JobDisplayName;
  // The host ended the job early (a stop, a refused line, a fault reaction): its end report
  // must not call it completed, however empty the controller's buffer is.
  bool EndedEarly = false;
  std::string EndReason;         // why, when the controller's state bits do not say it
  std::string EndFault;          // the controller's fault that ended it, as the history says it
  bool EndedBySilence = false;   // a silence ended the job: a controller that wakes is stopped
  JobProgress Progress;          // the line the controller executes
};

// The machine's state in one word, as the console's large state label and the command line
// show it.
enum class MachineState { Offline, Alarm, Stopped, Paused, Running, Idle };
const char* MachineStateText(MachineState state);

// What the reactions need from windows and modules beside the console. Hooks may stay empty.
struct StatusHooks {
  std::function<void(const std::string&)> AddFaultHistory;
  std::function<bool()> InterlockEnabled;  // configuration dialog's Interlock_enable
  std::function<bool()> ServoEnabled;      // "Enable Servo fault"
  std::function<bool()> PlasmaMode;
  std::function<void()> InitialiseController;
  std::function<void(const std::string&)> ShowMaxSpeeds;  // configuration dialog's Max_speeds
  std::function<void(uint16_t head, uint16_t tail)> ShowHeadTail;  // diagnostics window
  std::function<void()> ShowToolChangePrompt;
  std::function<void()> ShowMemory;  // tool changer window
};

// The inputs byte as the Micros label shows it, e.g. "SXYZWFL_".
std::string InputsString(uint8_t inputs);

class StatusReaction : public StatusReceiver {
 public:
  // Creates the Task timer (100 ms, stopped) and installs itself as the polling receiver.
  StatusReaction(EventLoop& loop, Console& console, Link& link, Polling& polling, ControllerReport& report,
                 SpeedTables& tables, CommandSender& sender, const ConfigState& config, RunFlags& flags);
  ~StatusReaction() override;
  StatusReaction(const StatusReaction&) = delete;
  StatusReaction& operator=(const StatusReaction&) = delete;

  RunState Run;
  StatusHooks Hooks;

  // After every buffer report.
  void ShowStatus() override;
  // After every information report: version, speed steps, rpm, lamps, tool and counter.
  void ShowInfo() override;
  void ShowPositions(int32_t x, int32_t y, int32_t third, bool thirdIsW) override;
  void ShowOutputLamps(const std::array<bool, 4>& on) override;
  void ShowMemory() override;
  // The controller stopped answering: texts, history line, and every wait ends. A job it
  // was running ends here as not completed.
  void ControllerSilent() override;
  // Replies came again after a silence: a job that the silence ended must not run on in the
  // controller, so the stop record goes out before anything else.
  void ControllerBack() override;

  // The host stops the job early: the reason goes to Progress and the history when the
  // job's end is reported (the first reason given wins).
  void EndJobEarly(const std::string& reason);
  // Pause off: the flag and the caption.
  void ClearPause();

  // The Task timer: a one-shot that runs the initialisation and the door and servo stops.
  void TaskTick();
  Timer& TaskTimer() { return *taskTimer_; }

  // Label clicks.
  void ServoF_LabClick();
  void ProgressClick();
  void Progcnt_labClick();

  // Buffer fill from head and tail for the current buffer size.
  int BufferFill() const;
  // The state in one word, from the last reports and the console's own state; also shown
  // in the console's Machine_state label by every report.
  MachineState State() const;
  void ShowMachineState();

 private:
  void EnableTask() { taskTimer_->SetEnabled(true); }
  void History(const std::string& text);
  // Asks the controller for its executed-command count before a "Completed" line.
  void RefreshRanCount();
  void StopFor(const std::string& runningText);
  // The end of a job, reported by the controller's idle report or decided by the host.
  void FinishJob(bool hostEnded, const std::string& inputs, uint8_t state);
  bool JobRunning() const;
  bool BufferNotEmpty() const;
  void ShowLamp(Control& led, bool on);

  EventLoop& loop_;
  Console& console_;
  Link& link_;
  Polling& polling_;
  int countReports_ = 0;  // information reports that carried the executed-command count
  ControllerReport& report_;
  SpeedTables& tables_;
  CommandSender& sender_;
  const ConfigState& config_;
  RunFlags& flags_;
  std::unique_ptr<Timer> taskTimer_;
};

}  // namespace wendlar
