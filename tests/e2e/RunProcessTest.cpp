// `wendlar-cli run` as a process against `wendlar-cli sim` on its pseudo-terminal, in real
// time: the whole program, the real serial path and the served controller together.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "support/TempDir.h"

extern char** environ;

namespace wendlar::testing {
namespace {

// A child whose standard output (and error) is read through a pipe; killed when dropped.
class Child {
 public:
  ~Child() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (out_ >= 0) close(out_);
  }
  bool Start(std::vector<std::string> args) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDERR_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    const int rc = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    out_ = pipeFds[0];
    return rc == 0;
  }
  // Reads until a line feed or the timeout; the text read so far.
  std::string ReadLine(int timeoutMs) {
    std::string line;
    while (line.empty() || line.back() != '\n') {
      pollfd p{out_, POLLIN, 0};
      if (poll(&p, 1, timeoutMs) <= 0) break;
      char c;
      if (read(out_, &c, 1) != 1) break;
      line += c;
    }
    return line;
  }
  // Reads everything until the child closes its output or the time is up; then its exit code.
  int Finish(int timeoutMs, std::string& output) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    char buf[4096];
    while (std::chrono::steady_clock::now() < end) {
      pollfd p{out_, POLLIN, 0};
      if (poll(&p, 1, 200) <= 0) continue;
      const ssize_t n = read(out_, buf, sizeof buf);
      if (n <= 0) break;
      output.append(buf, static_cast<size_t>(n));
    }
    // The output closes a moment before the process has finished exiting: give it until
    // the deadline (at least a second) before taking it for hung.
    int status = 0;
    const auto exitBy = std::max(end, std::chrono::steady_clock::now() + std::chrono::seconds(1));
    while (waitpid(pid_, &status, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() >= exitBy) {
        kill(pid_, SIGKILL);
        waitpid(pid_, &status, 0);
        pid_ = -1;
        return -1;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  void Interrupt() {
    if (pid_ > 0) kill(pid_, SIGINT);
  }

 private:
  pid_t pid_ = -1;
  int out_ = -1;
};

std::string Program() {
  const char* binaryDir = std::getenv("WENDLAR_BINARY_DIR");
  return binaryDir == nullptr ? std::string() : std::string(binaryDir) + "/src/app/wendlar-cli";
}

std::filesystem::path Examples() {
  const char* source = std::getenv("WENDLAR_SOURCE_DIR");
  return (source != nullptr ? std::filesystem::path(source) : std::filesystem::current_path()) / "examples";
}

TEST(RunProcess, DemoJobCompletesOverThePseudoTerminalInRealTime) {
  const std::string program = Program();
  if (program.empty() || !std::filesystem::exists(program)) GTEST_SKIP() << "wendlar-cli is not built";
  Child server;
  ASSERT_TRUE(server.Start({program, "sim"}));
  std::string path = server.ReadLine(5000);
  ASSERT_EQ(path.rfind("/dev/", 0), 0u) << path;
  path.pop_back();

  TempDir home;
  Child run;
  ASSERT_TRUE(run.Start({program, "--home", home.Path().string(), "run", (Examples() / "demo.vrj").string(), "--port",
                         path}));
  std::string output;
  const int code = run.Finish(240000, output);
  EXPECT_EQ(code, 0) << output;
  EXPECT_NE(output.find("Completed "), std::string::npos) << output;
  EXPECT_NE(output.find("Job completed"), std::string::npos) << output;
  EXPECT_NE(home.Read("History.lst").find("Completed "), std::string::npos);
}

TEST(RunProcess, CtrlCStopsTheMachineAndTheRunEndsNotCompleted) {
  const std::string program = Program();
  if (program.empty() || !std::filesystem::exists(program)) GTEST_SKIP() << "wendlar-cli is not built";
  Child run;
  TempDir home;
  ASSERT_TRUE(run.Start({program, "--home", home.Path().string(), "run", (Examples() / "demo.nc").string(),
                         "--simulator"}));
  std::string output;
  // Wait until the job is under way, then interrupt.
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (output.find("Running") == std::string::npos && std::chrono::steady_clock::now() < end) {
    output += run.ReadLine(500);
  }
  ASSERT_NE(output.find("Running"), std::string::npos) << output;
  run.Interrupt();
  const int code = run.Finish(30000, output);
  EXPECT_EQ(code, 1) << output;
  EXPECT_NE(output.find("Interrupted: stopping the machine."), std::string::npos) << output;
  EXPECT_NE(output.find("Job not completed: stopped by Ctrl+C"), std::string::npos) << output;
  EXPECT_NE(output.find("Fault history:"), std::string::npos) << output;
}

}  // namespace
}  // namespace wendlar::testing
