// `wendlar-cli status` over a pseudo-terminal against `wendlar-cli sim`, both in real time.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "support/TempDir.h"

extern char** environ;

namespace wendlar::testing {
namespace {

// A child process with its standard output on a pipe; interrupted and reaped at the end.
class Child {
 public:
  ~Child() { Finish(true); }
  // With `withErrors` the standard error goes to the same pipe.
  bool Start(std::vector<std::string> args, bool withErrors = false) {
    int out[2];
    if (pipe(out) != 0) return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    if (withErrors) {
      posix_spawn_file_actions_adddup2(&actions, out[1], STDERR_FILENO);
    } else {
      posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    }
    posix_spawn_file_actions_addclose(&actions, out[0]);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    const int rc = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    out_ = out[0];
    return rc == 0;
  }
  // Reads until a newline or the end of output; empty when nothing came in time.
  std::string Line(int timeoutMs) {
    std::string line;
    for (;;) {
      pollfd p{out_, POLLIN, 0};
      if (poll(&p, 1, timeoutMs) <= 0) return line;
      char c;
      if (read(out_, &c, 1) != 1) return line;
      if (c == '\n') return line;
      line += c;
    }
  }
  // Everything until the output closes.
  std::string All(int timeoutMs) {
    std::string all;
    for (;;) {
      pollfd p{out_, POLLIN, 0};
      if (poll(&p, 1, timeoutMs) <= 0) return all;
      char buffer[512];
      const ssize_t n = read(out_, buffer, sizeof buffer);
      if (n <= 0) return all;
      all.append(buffer, static_cast<size_t>(n));
    }
  }
  // Waits for the exit (interrupting first when asked); the exit status, -1 when killed.
  int Finish(bool interrupt) {
    if (pid_ <= 0) return -1;
    if (interrupt) kill(pid_, SIGINT);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    if (out_ >= 0) close(out_);
    out_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  pid_t pid_ = -1;
  int out_ = -1;
};

// The program beside this test's build: WENDLAR_BINARY_DIR, else the build tree this test
// binary sits in (<build>/tests/test_e2e).
std::string Program() {
  std::filesystem::path binaryDir;
  if (const char* dir = std::getenv("WENDLAR_BINARY_DIR")) {
    binaryDir = dir;
  } else {
    std::error_code ec;
    binaryDir = std::filesystem::read_symlink("/proc/self/exe", ec).parent_path().parent_path();
  }
  const auto program = binaryDir / "src" / "app" / "wendlar-cli";
  return std::filesystem::exists(program) ? program.string() : "";
}

TEST(LinkStatusCli, StatusOverAPseudoTerminalReportsTheServedController) {
  const std::string program = Program();
  if (program.empty()) GTEST_SKIP() << "wendlar-cli is not built";
  TempDir home;
  Child server;
  ASSERT_TRUE(server.Start({program, "sim", "--firmware", "90"}));
  const std::string path = server.Line(5000);
  ASSERT_EQ(path.rfind("/dev/", 0), 0u) << "no device path printed: '" << path << "'";

  Child status;
  ASSERT_TRUE(status.Start({program, "--home", home.Path().string(), "status", "--port", path}));
  const std::string out = status.All(60000);
  EXPECT_EQ(status.Finish(false), 0) << out;
  EXPECT_NE(out.find("Identity:         Tovrel1.2\n"), std::string::npos) << out;
  EXPECT_NE(out.find("Firmware version: 90\n"), std::string::npos) << out;
  EXPECT_NE(out.find("Speed steps:      100\n"), std::string::npos) << out;
  EXPECT_NE(out.find("Buffer size:      4096\n"), std::string::npos) << out;
  EXPECT_NE(out.find("Position (steps): X 0  Y 0  Z 0  W 0\n"), std::string::npos) << out;
  EXPECT_NE(out.find("Inputs:           ______L_\n"), std::string::npos) << out;
  // The 8-bit controller's table was read back word by word and kept.
  const std::string table = home.Read("d_table.txt");
  EXPECT_EQ(std::count(table.begin(), table.end(), '\n'), 102);
  EXPECT_EQ(server.Finish(true), 0);
}

TEST(LinkStatusCli, NoControllerExitsWithTheConnectionMessage) {
  const std::string program = Program();
  if (program.empty()) GTEST_SKIP() << "wendlar-cli is not built";
  TempDir home;
  Child status;
  ASSERT_TRUE(status.Start({program, "--home", home.Path().string(), "status", "--port", "/dev/wendlar-none"}, true));
  const std::string out = status.All(60000);
  EXPECT_EQ(status.Finish(false), 1);
  EXPECT_EQ(out, "status: Cannot Connect !: Cannot talk to USB CNC controller ! try another Comm port\n");
  EXPECT_FALSE(home.Exists("Spooler.cfg"));
}

}  // namespace
}  // namespace wendlar::testing
