// A program of this build run as a child process, its output read through a pipe.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

namespace wendlar::testing {

// Interrupted, then killed if it lingers, and reaped when dropped, however a test ends.
class ChildProcess {
 public:
  enum class Errors { Merge, Discard };  // standard error on the pipe too, or dropped

  ChildProcess() = default;
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  ~ChildProcess();

  enum class Input { None, Pipe };  // standard input empty, or fed by WriteInput

  bool Start(std::vector<std::string> args, Errors errors = Errors::Merge, Input input = Input::None);
  // Starts a program that serves a device (`sim`, `replay`) and returns the device path it
  // prints first; empty, with a test failure saying what it printed, when it prints none.
  std::string StartServer(std::vector<std::string> args, Errors errors = Errors::Merge, Input input = Input::None);
  // Writes to the child's standard input (started with Input::Pipe); false when it cannot.
  bool WriteInput(const std::string& text);
  // The next line without its line feed; what came so far when the output ends or
  // nothing more arrives within the timeout.
  std::string ReadLine(int timeoutMs);
  // Everything until the output closes or the time is up.
  std::string ReadAll(int timeoutMs);
  void Interrupt();
  // Any other signal (a stop, a continue, a kill).
  void Signal(int signal);
  // Waits for the exit, killing the child when the time is up. The exit status, or -1 when
  // it was killed or ended by a signal.
  int Wait(int timeoutMs);

 private:
  pid_t pid_ = -1;
  int out_ = -1;
  int in_ = -1;
};

// wendlar-cli of this build, or empty when it is not built.
std::string CliProgram();

struct CliRun {
  int code = -1;  // the exit status, -1 when it did not start or end
  std::string output;
};
// Runs wendlar-cli with `args` (standard error dropped) until it ends or `waitMs` is up.
CliRun RunCli(std::vector<std::string> args, int waitMs);
// The number after `label` in `text`, or -1 when the label is absent.
double NumberAfter(const std::string& text, const std::string& label);

// Spooler.cfg of a program directory that runs jobs at their own feeds (Use_feed unchecked),
// so machine times do not depend on the first-run defaults.
inline constexpr const char* kJobFeedSettings =
    "[port#]\r\n0\r\n[Spooler Dir]\r\n.\r\n[Gcode Dir]\r\n.\r\n[Screen Mode]\r\n2\r\n"
    "[Machine config file]\r\n\r\n[Screen Feed]\r\n20\r\n[Screen Rpm]\r\n0\r\n[CPU type]\r\n1\r\n"
    "[Top pos]\r\n0\r\n[Left pos]\r\n0\r\n[CHECK BOXS]\r\nNNYNNNNNNN\r\n[Last USB port]\r\n2\r\n"
    "[USB_Comp]\r\n2\r\n[blank]\r\n\r\n[blank]\r\n\r\n[blank]\r\n\r\n";
// The repository's examples folder.
std::filesystem::path ExamplesDir();

}  // namespace wendlar::testing
