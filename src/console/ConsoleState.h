// The console's own state: what the operator has chosen and what the program is doing.
#pragma once

#include <cstdint>
#include <string>

namespace wendlar {

inline constexpr int kConsoleHeight = 750;

// The one long operation that may hold the console; manual motion and a second long
// operation are refused while one runs.
enum class LongOperation { None, Job, Initialisation, TableRead, Probing, Macro, Connecting, ManualMove, ServiceTest };
inline constexpr int kContinueExtraHeight = 40;

struct ConsoleState {
  int ClockTicks = 0;               // +1 per Clock tick (200 ms); waits count it
  int PollCount = 0;                // +1 per link tick; WaitPolls resets and counts it
  bool Busy = false;                // the controller executes a motion or dwell (state bit 3)
  int JobMode = 1;                  // 1 spooler (Quorlex) mode, 2 G-code mode
  std::string SpoolFileName = " ";  // a single blank: no file selected
  std::string GcodeFileName = " ";
  bool SpoolReady = false;
  bool GcodeReady = false;
  bool UserCoords = true;           // positions relative to the active work offset
  int FeedIndex = 0;                // selected feed as a speed-table index
  int FeedOverride = 0;             // -30..+10
  int SpindleRpm = 0;
  int RpmStep = 100;
  int JogMode = 0;                  // 0 fast "F", 1 slow "S", 2 single step "1"
  int JogSpeed = 0;                 // velocity of the current jog mode
  double VelocityScale = 1.0;
  bool DoorOpen = false;
  bool ServoFault = false;
  bool InitRequested = false;
  bool Initialising = false;
  bool NeedsInitialisation = false; // connected, and not yet set up by this host
  bool InitHeld = false;            // a set-up ended on a fault: none starts by itself until a reset or reconnection
  bool HostStop = false;            // the stop the controller reports is the host's own (initialisation)
  bool JobActive = false;
  bool JobCompleted = false;        // the last job (or border run) ended with an empty buffer
  bool Paused = false;
  bool DebugLog = false;
  bool WAxisShown = false;
  bool FirstShow = true;
  bool StayOnTop = true;            // the "Stay on Top" menu check mark
  int ConsoleHeight = kConsoleHeight;
  int SentCount = 0;                // commands sent for the current job
  int RanCount = 0;                 // commands executed, as the controller reports
  uint8_t Spindle1State = 3;        // output toggles: a click adds 1, above 2 becomes 1
  uint8_t Spindle2State = 3;
  uint8_t Aux1State = 0;
  uint8_t Aux2State = 0;
  bool SpindleRunning = false;
  bool KeyJogUsed = false;          // set by the first keyboard jog, never cleared
  bool JogRunning = false;          // a continuous jog was started and not yet stopped
  LongOperation Operation = LongOperation::None;
  uint32_t OperationStarts = 0;     // +1 each time a long operation takes the console

  // Machine position in user units from the last position report (no work offset).
  double MachineX = 0, MachineY = 0, MachineZ = 0, MachineW = 0;
  int32_t MachineXSteps = 0, MachineYSteps = 0, MachineZSteps = 0, MachineWSteps = 0;
  bool PositionValid = false;

  // The active work offset subtracted from the read-out while UserCoords is set.
  double ActiveOffsetX = 0, ActiveOffsetY = 0;
};

// Holds the console's long-operation state for a scope; Acquired() is false when another
// operation already holds it, and then nothing is changed.
class OperationGuard {
 public:
  OperationGuard(ConsoleState& state, LongOperation op) : state_(state) {
    if (state_.Operation == LongOperation::None) {
      state_.Operation = op;
      ++state_.OperationStarts;
      acquired_ = true;
    }
  }
  ~OperationGuard() {
    if (acquired_) state_.Operation = LongOperation::None;
  }
  OperationGuard(const OperationGuard&) = delete;
  OperationGuard& operator=(const OperationGuard&) = delete;
  bool Acquired() const { return acquired_; }

 private:
  ConsoleState& state_;
  bool acquired_ = false;
};

}  // namespace wendlar
