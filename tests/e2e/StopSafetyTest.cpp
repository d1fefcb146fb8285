// Stops of every kind at the awkward moments of a job, against the simulated controller on
// virtual time: what the controller accepted after the stop, where its spindle ended and
// what the history says.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "link/Commands.h"
#include "support/SimSystem.h"

namespace wendlar::testing {
namespace {

// Records that move an axis, redefine a position or switch an output on, written out here
// rather than taken from the host's own list.
bool MovesMachine(const std::array<uint8_t, 11>& r) {
  switch (r[0]) {
    case 2: case 5: case 7: case 8: case 9: case 10: case 14: case 20: case 21: case 22: case 23: case 24:
    case 29: case 61: case 62: case 63: case 110: case 111:
      return true;
    case 17: case 18:
      return r[2] != 0;
    case 47:
      return r[1] != 0;
    default:
      return false;
  }
}

enum class StopKind { Button, Signal, Door, Servo, Overtravel, ControllerButton, Reset };

const char* Name(StopKind k) {
  switch (k) {
    case StopKind::Button: return "button";
    case StopKind::Signal: return "signal";
    case StopKind::Door: return "door";
    case StopKind::Servo: return "servo";
    case StopKind::Overtravel: return "overtravel";
    case StopKind::ControllerButton: return "controller button";
    case StopKind::Reset: return "reset";
  }
  return "";
}

// The history line each kind of stop leaves.
const char* HistoryLine(StopKind k) {
  switch (k) {
    case StopKind::Button:
    case StopKind::Signal: return "Stopped by Click";
    case StopKind::Door: return "Stopped by Door Open";
    case StopKind::Servo: return "Stopped by Servo Fault";
    case StopKind::Overtravel: return "Overtravel ";
    case StopKind::ControllerButton: return "Stop Button pressed on controller!";
    case StopKind::Reset: return "Controller reset: Not Initialzed";
  }
  return "";
}

// Long inch zig-zags: every feed is 240000 steps, cut into 8 pieces.
std::string ZigZag(int lines) {
  std::string text = "G20 G90\nG0 Z0.1\nM3\nG1 Z-0.01 F30\n";
  for (int i = 0; i < lines; ++i) text += i % 2 == 0 ? "G1 X30 F200\n" : "G1 X0\n";
  return text + "G0 Z0.1\nM5\n";
}

// Short feeds, so the stop falls between segments.
std::string ShortFeeds(int lines) {
  std::string text = "G20 G90\nG0 Z0.1\nM3\nG1 Z-0.01 F30\n";
  for (int i = 0; i < lines; ++i) {
    text += "G1 X" + std::to_string((i % 2) * 0.01 + i * 0.0005) + " Y" + std::to_string(i * 0.001) + " F60\n";
  }
  return text + "G0 Z0.1\nM5\n";
}

std::string Drilling() {
  std::string text = "G20 G90\nG0 Z0.2\nM3\nG81 X0.5 Y0.5 Z-0.5 R0.1 F10\n";
  for (int i = 1; i < 40; ++i) text += "X" + std::to_string(0.5 + 0.25 * i) + "\n";
  return text + "G80\nG0 Z0.2\nM5\n";
}

struct StopRig {
  SimSystem rig;
  System& sys = *rig.sys;
  std::atomic<bool> signal{false};
  int64_t stoppedAtUs = -1;
  int64_t momentUs = -1;
  size_t from = 0;

  StopRig() {
    sys.setup.View.Interlock_enable.SetChecked(true);
    sys.setup.Flags.ServoEnabled = 1;
    sys.flags.StopSignal = &signal;
  }
  bool Ready() { return rig.ConnectAndInitialise(); }
  bool Open(const std::string& program) {
    rig.dir.Write("job.nc", program);
    sys.consoleSettings.ChooseJobMode(2);
    return sys.run.PrepareGcodeFile((rig.dir.Path() / "job.nc").string());
  }

  void Stop(StopKind kind) {
    stoppedAtUs = rig.loop.NowUs();
    switch (kind) {
      case StopKind::Button: sys.run.EmergencyStop(); break;
      case StopKind::Signal: signal = true; break;
      case StopKind::Door: rig.sim.OpenDoor(); break;
      case StopKind::Servo: rig.sim.SetServoFault(true); break;
      case StopKind::Overtravel: rig.sim.TripOvertravel(); break;
      case StopKind::ControllerButton: rig.sim.PressStopButton(); break;
      case StopKind::Reset: rig.sim.HardwareReset(); break;
    }
  }

  // Runs the job and stops it once `when` holds (checked every millisecond); the signal's
  // stop path is finished a moment later, as the command line's watch does.
  void RunAndStop(StopKind kind, const std::function<bool()>& when) {
    from = rig.sim.TraceRecords().size();
    bool stopped = false;
    auto trigger = rig.loop.CreateTimer(1, true, [&] {
      if (stopped || !when()) return;
      stopped = true;
      Stop(kind);
    });
    bool signalHandled = false;
    auto signalWatch = rig.loop.CreateTimer(2, true, [&] {
      if (signal && !signalHandled) {
        signalHandled = true;
        sys.run.EmergencyStop();
      }
    });
    sys.run.RunJob();
    ASSERT_TRUE(rig.RunUntil([&] { return stopped && !sys.console.State.JobActive; }, 600000)) << Name(kind);
    rig.RunMs(3000);
    if (kind == StopKind::Door) rig.sim.CloseDoor();
    rig.RunMs(3000);
  }

  // The machine's moves after the stop: for a stop the host sends, nothing after the first
  // stop record; for a stop the controller makes itself, nothing after the report that
  // told the host; for a signal, nothing after the signal. The initialisation that follows
  // a reset is the host's own and starts with its reset record.
  void ExpectNothingMovedAfterTheStop(StopKind kind) {
    int64_t after = stoppedAtUs;
    if (kind == StopKind::Button || kind == StopKind::Door || kind == StopKind::Servo) {
      after = -1;
      for (const auto& r : rig.sim.TraceRecords()) {
        if (r.timeUs >= stoppedAtUs && r.accepted && r.bytes[0] == commands::kStop) {
          after = r.timeUs;
          break;
        }
      }
      ASSERT_GE(after, 0) << "no stop record reached the controller";
    } else if (kind != StopKind::Signal) {
      after = FirstReportAfterStop();
      ASSERT_GE(after, 0) << "the controller never reported the stop";
    }
    bool initialising = false;
    size_t i = 0;
    for (const auto& r : rig.sim.TraceRecords()) {
      if (i++ < from || !r.accepted || r.timeUs <= after) continue;
      if (kind == StopKind::Reset && r.bytes[0] == commands::kReset) initialising = true;
      if (initialising) continue;
      EXPECT_FALSE(MovesMachine(r.bytes)) << Name(kind) << ": record " << int{r.bytes[0]} << " at "
                                          << (r.timeUs - stoppedAtUs) / 1000 << " ms after the stop";
    }
  }

  // Time of the first buffer report after the stop that shows the controller idle.
  int64_t FirstReportAfterStop() const {
    for (const auto& l : rig.sim.TraceLines()) {
      if (l.fromHost || l.timeUs < stoppedAtUs || l.text.size() != 14 || l.text.rfind("2.", 0) != 0) continue;
      const int state = std::stoi(l.text.substr(12, 2), nullptr, 16);
      if ((state & 0x80) == 0) return l.timeUs;
    }
    return -1;
  }

  void ExpectNotCompleted(StopKind kind) {
    const auto history = sys.jumpbox.View.Fault_list.Items();
    bool line = false;
    for (const auto& h : history) {
      EXPECT_EQ(h.find("* Completed "), std::string::npos) << Name(kind) << ": " << h;
      line = line || h.find(HistoryLine(kind)) != std::string::npos;
    }
    EXPECT_TRUE(line) << Name(kind) << ": " << ::testing::PrintToString(history);
    // After a reset the initialisation that follows ends on "Ready" there instead.
    if (kind != StopKind::Reset) {
      EXPECT_EQ(sys.console.View.Progress.Caption().rfind("Job not completed !", 0), 0u)
          << sys.console.View.Progress.Caption();
    }
    EXPECT_FALSE(sys.status.Run.JobCompleted);
    EXPECT_EQ(rig.sim.OutputStates() & 0x03, 0) << Name(kind) << ": a spindle is still on";
    EXPECT_FALSE(sys.console.State.Paused);
  }
};

constexpr StopKind kAllKinds[] = {StopKind::Button,     StopKind::Signal,           StopKind::Door, StopKind::Servo,
                                  StopKind::Overtravel, StopKind::ControllerButton, StopKind::Reset};

// A job of long feeds cut into pieces, stopped at several moments by every kind of stop.
TEST(StopSafety, EveryKindOfStopMidLongSegmentsStopsTheMachineAndTheJob) {
  for (StopKind kind : kAllKinds) {
    for (int64_t delayMs : {30, 400}) {
      SCOPED_TRACE(std::string(Name(kind)) + " after " + std::to_string(delayMs) + " ms");
      StopRig r;
      ASSERT_TRUE(r.Ready());
      ASSERT_TRUE(r.Open(ZigZag(60)));
      int64_t startUs = -1;
      r.RunAndStop(kind, [&] {
        if (!r.sys.console.State.JobActive) return false;
        if (startUs < 0) startUs = r.rig.loop.NowUs();
        return r.rig.loop.NowUs() - startUs >= delayMs * 1000;
      });
      r.ExpectNothingMovedAfterTheStop(kind);
      r.ExpectNotCompleted(kind);
      // The machine has come to rest: what the controller still holds never runs.
      const auto at = r.rig.sim.Position();
      r.rig.RunMs(60000);
      EXPECT_EQ(r.rig.sim.Position(), at);
    }
  }
}

// The operator's stop (and the signal's) at the moments between the documented steps.
TEST(StopSafety, AStopAtEveryAwkwardMomentLeavesNothingMovingAndTheSpindleOff) {
  struct Moment {
    const char* name;
    std::string program;
    std::function<bool(StopRig&)> when;
    int resumeLine = 0;
  };
  auto lastAccepted = [](StopRig& r, uint8_t code) {
    const auto& records = r.rig.sim.TraceRecords();
    return records.size() > r.from && records.back().accepted && records.back().bytes[0] == code;
  };
  // True once the job has run for ms since the last time this answered true.
  auto running = [](StopRig& r, int64_t ms) {
    if (!r.sys.console.State.JobActive) return false;
    if (r.momentUs < 0) r.momentUs = r.rig.loop.NowUs();
    const bool due = r.rig.loop.NowUs() - r.momentUs >= ms * 1000;
    if (due) r.momentUs = r.rig.loop.NowUs();
    return due;
  };
  const std::vector<Moment> moments = {
      {"between short segments", ShortFeeds(3000), [&](StopRig& r) { return running(r, 200); }},
      {"during the spindle start", "G20 G90\nG0 Z0.1\nM3\nG1 X2 F30\nM5\n",
       [&](StopRig& r) { return lastAccepted(r, commands::kSelectSpindle); }},
      {"during a dwell", "G20 G90\nM3\nG4 P5\nG1 X2 F30\nM5\n",
       [&](StopRig& r) { return r.rig.sim.StateByte() & 0x08 && lastAccepted(r, commands::kDwell); }},
      {"during a drilling cycle", Drilling(), [&](StopRig& r) { return running(r, 700); }},
      {"during the resume move", "G20 G90\nG0 Z0.5\nM3\nG0 X4 Y4\nG1 Z-0.1 F30\nG1 X6 F60\nG1 Y6\nM5\n",
       [&](StopRig& r) { return lastAccepted(r, commands::kMoveXY); }, 6},
      {"while paused", ZigZag(10),
       [&](StopRig& r) {
         if (!r.sys.console.State.Paused) {
           if (running(r, 300)) r.sys.run.TogglePause();
           return false;
         }
         return running(r, 200);
       }},
  };
  for (StopKind kind : {StopKind::Button, StopKind::Signal}) {
    for (const Moment& m : moments) {
      SCOPED_TRACE(std::string(Name(kind)) + " " + m.name);
      StopRig r;
      ASSERT_TRUE(r.Ready());
      ASSERT_TRUE(r.Open(m.program));
      if (m.resumeLine > 0) {
        r.sys.engines.ResumeSpindle = true;
        ASSERT_TRUE(r.sys.engines.ResumeGcodeAtLine(m.resumeLine));
      }
      r.RunAndStop(kind, [&] { return m.when(r); });
      r.ExpectNothingMovedAfterTheStop(kind);
      r.ExpectNotCompleted(kind);
    }
  }
}

// After a stop the next job runs from its start and its first Pause pauses.
TEST(StopSafety, TheJobAfterAStopRunsAndPausesNormally) {
  StopRig r;
  ASSERT_TRUE(r.Ready());
  ASSERT_TRUE(r.Open(ZigZag(10)));
  r.RunAndStop(StopKind::Button, [&] { return r.sys.console.State.JobActive; });
  // An empty host copy of the table is read again at Run, after the stop.
  r.sys.tables.ControllerTable[1] = 0;
  ASSERT_TRUE(r.Open("G20 G90\nG1 X1 F60\nG1 X0\n"));
  bool paused = false;
  auto pauser = r.rig.loop.CreateTimer(50, true, [&] {
    if (!paused && r.sys.console.State.JobActive) {
      r.sys.run.TogglePause();
      paused = r.sys.console.State.Paused;
      r.sys.run.TogglePause();
    }
  });
  r.sys.run.RunJob();
  ASSERT_TRUE(r.rig.RunUntil([&] { return !r.sys.console.State.JobActive && !r.rig.sim.JobRunning(); }, 60000));
  EXPECT_TRUE(paused);
  EXPECT_NE(r.sys.tables.ControllerTable[1], 0);
  EXPECT_TRUE(r.sys.status.Run.JobCompleted) << r.sys.console.View.Progress.Caption();
  EXPECT_EQ(r.sys.console.View.Progress.Caption().rfind("Completed ", 0), 0u);
}

}  // namespace
}  // namespace wendlar::testing
