// `wendlar-cli sim` as a separate process, reached through the host's own serial backend.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "core/RealTimeEventLoop.h"
#include "link/Commands.h"
#include "link/Link.h"
#include "link/serial/PosixSerialPorts.h"

extern char** environ;

namespace wendlar {
namespace {

// The child process, interrupted and reaped when the test ends however it ends.
class SimProcess {
 public:
  ~SimProcess() { Stop(); }
  bool Start(const std::string& program) {
    int out[2];
    if (pipe(out) != 0) return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    char* argv[] = {const_cast<char*>(program.c_str()), const_cast<char*>("sim"), const_cast<char*>("--firmware"),
                    const_cast<char*>("110"), nullptr};
    const int rc = posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    out_ = out[0];
    return rc == 0;
  }
  // The first line the server prints, or empty when none comes within the timeout.
  std::string FirstLine(int timeoutMs) {
    std::string line;
    while (line.empty() || line.back() != '\n') {
      pollfd p{out_, POLLIN, 0};
      if (poll(&p, 1, timeoutMs) <= 0) return "";
      char c;
      if (read(out_, &c, 1) != 1) return "";
      line += c;
    }
    line.pop_back();
    return line;
  }
  // Interrupts the server; returns its exit status (-1 when it did not exit normally).
  int Stop() {
    if (pid_ <= 0) return -1;
    kill(pid_, SIGINT);
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

// True when the program knows the "sim" subcommand (its help exits with 0).
bool HasSimCommand(const std::string& program) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  char* argv[] = {const_cast<char*>(program.c_str()), const_cast<char*>("sim"), const_cast<char*>("--help"), nullptr};
  pid_t pid = -1;
  const int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return false;
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST(SimProcess, HostSerialBackendStreamsAThousandPacketsToTheServedController) {
  const char* binaryDir = std::getenv("WENDLAR_BINARY_DIR");
  if (binaryDir == nullptr) GTEST_SKIP() << "WENDLAR_BINARY_DIR is not set";
  const std::string program = std::string(binaryDir) + "/src/app/wendlar-cli";
  if (!std::filesystem::exists(program)) GTEST_SKIP() << program << " is not built";
  if (!HasSimCommand(program)) GTEST_SKIP() << "wendlar-cli has no sim subcommand";

  SimProcess server;
  ASSERT_TRUE(server.Start(program));
  const std::string path = server.FirstLine(5000);
  ASSERT_EQ(path.rfind("/dev/", 0), 0u) << "no device path printed: '" << path << "'";

  PosixSerialPorts ports;
  const int index = ports.AddDevicePath(path);
  RealTimeEventLoop loop;
  RunFlags flags;
  Link link(loop, ports, flags);
  link.PortNumber = index;
  link.OpenPort();
  ASSERT_TRUE(link.PortOpen);

  link.SendLine(commands::kIdentityRequest);
  EXPECT_EQ(link.LastReply, "Tovrel1.2");
  int timeouts = 0;
  for (int i = 0; i < 1000; ++i) {
    link.SendPacket(commands::SpindleOff());
    timeouts += link.SpinCount > kReplySpinLimit ? 1 : 0;
  }
  EXPECT_EQ(timeouts, 0);
  link.SendLine(commands::kRequestBuffer);
  // All thousand entered the ring (head 1000) and ran (tail 1000).
  EXPECT_EQ(link.BufferReply, (std::array<uint8_t, 6>{0xE8, 0x03, 0xE8, 0x03, 0x5C, 0x01}));
  link.ClosePort();
  EXPECT_EQ(server.Stop(), 0);
}

}  // namespace
}  // namespace wendlar
