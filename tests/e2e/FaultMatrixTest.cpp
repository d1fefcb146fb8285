// Faults provoked from outside `wendlar-cli sim` while `wendlar-cli run` streams a job over the
// pseudo-terminal, or sets the controller up for one, in real time: what the operator reads,
// the history line, the exit code, that nothing moved the machine once the host knew, and
// that the run never hangs.
#include <gtest/gtest.h>

#include <chrono>
#include <sstream>
#include <thread>

#include "config/ConfigFile.h"
#include "support/ChildProcess.h"
#include "support/SimSystem.h"
#include "support/TempDir.h"

namespace wendlar::testing {
namespace {

using Clock = std::chrono::steady_clock;

struct FaultCase {
  const char* fault;     // the line typed to the simulator
  bool midJob;           // else while the controller is being initialised
  int exitCode;          // of the run
  const char* message;   // the run's last words
  const char* history;   // the fault-history line's text, after "* "; none when no job started
  bool watched = false;  // the machine file has the door interlock and the drive-fault input on
};

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

std::ostream& operator<<(std::ostream& out, const FaultCase& c) {
  return out << c.fault << (c.midJob ? " mid-job" : " during initialisation");
}

// Records that move an axis, redefine a position or switch an output on, by their code and
// first two bytes as the trace shows them ("in  S3" code b1 b2 ... in hex).
bool MovesMachine(const std::string& packetLine) {
  if (packetLine.size() < 8 || packetLine.rfind("S3", 0) != 0) return false;
  const int code = std::stoi(packetLine.substr(2, 2), nullptr, 16);
  const int b1 = std::stoi(packetLine.substr(4, 2), nullptr, 16);
  const int b2 = packetLine.size() >= 10 ? std::stoi(packetLine.substr(6, 2), nullptr, 16) : 0;
  switch (code) {
    case 2: case 5: case 7: case 8: case 9: case 10: case 14: case 20: case 21: case 22: case 23: case 24:
    case 29: case 61: case 62: case 63: case 110: case 111:
      return true;
    case 17: case 18:
      return b2 != 0;
    case 47:
      return b1 != 0;
    default:
      return false;
  }
}

// Spooler.cfg naming a machine file that watches the door and the drive fault, written by the
// program itself.
void WatchDoorAndServo(const TempDir& home) {
  SimSystem rig;
  System& s = *rig.sys;
  s.config.Config.Io_flags = "_XX";
  s.config.MacFileName = "WATCHED.MAC";
  ASSERT_TRUE(SaveMachineConfig(s.config, "WATCHED.MAC", s.ConfigOutput()));
  ASSERT_TRUE(s.environment.SaveEnvironment());
  for (const char* name : {"WATCHED.MAC", "Spooler.cfg"}) home.Write(name, rig.dir.Read(name));
}

class FaultMatrix : public ::testing::TestWithParam<FaultCase> {};

TEST_P(FaultMatrix, TheRunEndsSaysWhyAndMovesNothingAfterTheHostKnew) {
  const FaultCase& c = GetParam();
  const std::string program = CliProgram();
  if (program.empty()) GTEST_SKIP() << "wendlar-cli is not built";
  TempDir home;
  if (c.watched) {
    ASSERT_NO_FATAL_FAILURE(WatchDoorAndServo(home));
  }
  const std::string tracePath = (home.Path() / "trace.txt").string();
  ChildProcess sim;
  const std::string device =
      sim.StartServer({program, "sim", "--trace", tracePath}, ChildProcess::Errors::Discard, ChildProcess::Input::Pipe);
  ASSERT_FALSE(device.empty());
  // The set-up cases run a job of two short moves: what matters there happens before it.
  home.Write("tiny.nc", "G20 G90\nG1 X0.05 F60\nG0 X0\n");
  const std::string job = c.midJob ? (ExamplesDir() / "demo.nc").string() : (home.Path() / "tiny.nc").string();
  ChildProcess run;
  ASSERT_TRUE(run.Start({program, "--home", home.Path().string(), "run", job, "--port", device}));
  std::string output;
  const auto end = Clock::now() + std::chrono::seconds(90);
  if (c.midJob) {
    while (!Contains(output, "Running") && Clock::now() < end) output += run.ReadLine(500) + "\n";
    ASSERT_TRUE(Contains(output, "Running")) << output;
  } else {
    // Into the set-up: the controller was reset and has its acceleration records.
    while (!Contains(home.Read("trace.txt"), " in  S30B") && Clock::now() < end) {
      output += run.ReadLine(100) + "\n";
    }
    ASSERT_TRUE(Contains(home.Read("trace.txt"), " in  S30B")) << output;
  }

  const auto faultAt = Clock::now();
  ASSERT_TRUE(sim.WriteInput(std::string(c.fault) + "\n"));
  output += run.ReadAll(c.exitCode == 0 ? 120000 : 8000);
  const int code = run.Wait(2000);
  const auto took = Clock::now() - faultAt;
  EXPECT_EQ(code, c.exitCode) << output;
  EXPECT_LT(took, std::chrono::seconds(c.exitCode == 0 ? 120 : 5)) << output;
  EXPECT_NE(output.find(c.message), std::string::npos) << output;
  if (c.history != nullptr) {
    EXPECT_NE(home.Read("History.lst").find(std::string("* ") + c.history), std::string::npos)
        << home.Read("History.lst");
  }
  sim.Interrupt();
  (void)sim.Wait(5000);

  // A job that goes on past the fault streams on; one that ended must have stopped sending:
  // once the controller has reported after the fault (the host then knew), no record that
  // moves the machine may reach it; a reset record starts the host's own initialisation.
  if (c.exitCode == 0) return;
  std::istringstream trace(home.Read("trace.txt"));
  bool afterFault = false, hostKnew = false;
  for (std::string line; std::getline(trace, line);) {
    if (line.rfind("-- ", 0) == 0) afterFault = true;
    if (!afterFault) continue;
    const auto space = line.find(' ');
    if (space == std::string::npos) continue;
    const std::string rest = line.substr(space + 1);
    if (rest.rfind("out 2.", 0) == 0) hostKnew = true;
    if (hostKnew && rest.rfind("in  ", 0) == 0) {
      const std::string sent = rest.substr(4);
      if (sent.rfind("S301", 0) == 0) break;
      EXPECT_FALSE(MovesMachine(sent)) << "after the fault: " << line;
    }
  }
  EXPECT_TRUE(afterFault);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, FaultMatrix,
    ::testing::Values(
        FaultCase{"fault stop-button", true, 1, "Job not completed", "Stop Button pressed on controller!"},
        FaultCase{"fault overtravel x", true, 1, "Job not completed", "Overtravel"},
        FaultCase{"fault checksum", true, 1, "Job not completed", "Data sumcheck error"},
        FaultCase{"fault reset", true, 1, "Job not completed", "Controller reset: Not Initialzed"},
        FaultCase{"fault dead", true, 1, "Job not completed: Controller not responding", "Controller not responding"},
        FaultCase{"fault silence 5", true, 1, "Job not completed: Controller not responding",
                  "Controller not responding"},
        // Without the servo option and with one offline reply the job goes on to its end.
        FaultCase{"fault servo", true, 0, "Job completed", "Completed 256/256"},
        FaultCase{"fault e1", true, 0, "Job completed", "Completed 256/256"},
        FaultCase{"fault garble 10", true, 0, "Job completed", "Completed 256/256"},
        // While the controller is set up: the set-up ends at the fault, before the records
        // that would move Z or reset the controller (clearing a latched fault unseen).
        FaultCase{"fault stop-button", false, 1,
                  "run: the controller is in alarm (Initialisation stopped: Stop Button pressed on controller!)",
                  "Initialisation stopped: Stop Button pressed on controller!"},
        FaultCase{"fault overtravel x", false, 1, "run: the controller is in alarm (Initialisation stopped: Overtravel",
                  "Initialisation stopped: Overtravel"},
        FaultCase{"fault checksum", false, 1,
                  "run: the controller is in alarm (Initialisation stopped: Data sumcheck error)",
                  "Initialisation stopped: Data sumcheck error"},
        FaultCase{"fault dead", false, 2,
                  "run: the controller was not initialised (Initialisation stopped: Controller not responding)",
                  "Initialisation stopped: Controller not responding"},
        FaultCase{"fault silence 5", false, 2,
                  "run: the controller was not initialised (Initialisation stopped: Controller not responding)",
                  "Initialisation stopped: Controller not responding"},
        FaultCase{"fault servo", false, 1, "run: the controller is in alarm (Initialisation stopped: Servo Fault)",
                  "Initialisation stopped: Servo Fault", true},
        FaultCase{"fault door", false, 1, "run: the controller is in alarm (Initialisation stopped: Door open)",
                  "Initialisation stopped: Door open", true},
        // A controller reset on the way is set up again and runs the job; garbled replies
        // are read again.
        FaultCase{"fault reset", false, 0, "Job completed", "Completed"},
        FaultCase{"fault garble 10", false, 0, "Job completed", "Completed"}),
    [](const ::testing::TestParamInfo<FaultCase>& info) {
      std::string name = std::string(info.param.fault).substr(6) + (info.param.midJob ? "MidJob" : "WhileInitialising");
      for (char& ch : name) {
        if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
      }
      return name;
    });

}  // namespace
}  // namespace wendlar::testing
