#include "support/ChildProcess.h"

#include <csignal>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

extern char** environ;

namespace wendlar::testing {

namespace {
using Clock = std::chrono::steady_clock;
}

ChildProcess::~ChildProcess() {
  if (pid_ > 0) {
    Interrupt();
    (void)Wait(2000);
  }
  if (out_ >= 0) close(out_);
  if (in_ >= 0) close(in_);
}

CliRun RunCli(std::vector<std::string> args, int waitMs) {
  CliRun run;
  args.insert(args.begin(), CliProgram());
  ChildProcess child;
  if (!child.Start(args, ChildProcess::Errors::Discard)) return run;
  run.output = child.ReadAll(waitMs);
  run.code = child.Wait(5000);
  return run;
}

double NumberAfter(const std::string& text, const std::string& label) {
  const size_t at = text.find(label);
  return at == std::string::npos ? -1 : std::stod(text.substr(at + label.size()));
}

std::string ChildProcess::StartServer(std::vector<std::string> args, Errors errors, Input input) {
  if (!Start(std::move(args), errors, input)) {
    ADD_FAILURE() << "the server did not start";
    return {};
  }
  const std::string path = ReadLine(5000);
  if (path.rfind("/dev/", 0) == 0) return path;
  ADD_FAILURE() << "no device path printed: '" << path << "'";
  return {};
}

bool ChildProcess::Start(std::vector<std::string> args, Errors errors, Input input) {
  int fds[2];
  if (pipe(fds) != 0) return false;
  int ins[2] = {-1, -1};
  if (input == Input::Pipe && pipe(ins) != 0) {
    close(fds[0]);
    close(fds[1]);
    return false;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
  if (errors == Errors::Merge) {
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDERR_FILENO);
  } else {
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  }
  if (input == Input::Pipe) {
    posix_spawn_file_actions_adddup2(&actions, ins[0], STDIN_FILENO);
    posix_spawn_file_actions_addclose(&actions, ins[1]);
  } else {
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  }
  posix_spawn_file_actions_addclose(&actions, fds[0]);
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  const int rc = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(fds[1]);
  out_ = fds[0];
  if (input == Input::Pipe) {
    close(ins[0]);
    in_ = ins[1];
  }
  if (rc != 0) pid_ = -1;
  return rc == 0;
}

std::string ChildProcess::ReadLine(int timeoutMs) {
  std::string line;
  for (;;) {
    pollfd p{out_, POLLIN, 0};
    if (poll(&p, 1, timeoutMs) <= 0) return line;
    char c;
    if (read(out_, &c, 1) != 1 || c == '\n') return line;
    line += c;
  }
}

std::string ChildProcess::ReadAll(int timeoutMs) {
  std::string all;
  const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (Clock::now() < end) {
    pollfd p{out_, POLLIN, 0};
    if (poll(&p, 1, 200) <= 0) continue;
    char buffer[4096];
    const ssize_t n = read(out_, buffer, sizeof buffer);
    if (n <= 0) break;
    all.append(buffer, static_cast<size_t>(n));
  }
  return all;
}

bool ChildProcess::WriteInput(const std::string& text) {
  if (in_ < 0) return false;
  // A child that has gone must fail the write, not end the test program.
  static const bool ignored = (std::signal(SIGPIPE, SIG_IGN), true);
  (void)ignored;
  size_t sent = 0;
  while (sent < text.size()) {
    const ssize_t n = write(in_, text.data() + sent, text.size() - sent);
    if (n <= 0) return false;
    sent += static_cast<size_t>(n);
  }
  return true;
}

void ChildProcess::Interrupt() { Signal(SIGINT); }

void ChildProcess::Signal(int signal) {
  if (pid_ > 0) kill(pid_, signal);
}

int ChildProcess::Wait(int timeoutMs) {
  if (pid_ <= 0) return -1;
  // The output closes a moment before the process has finished exiting.
  const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
  int status = 0;
  while (waitpid(pid_, &status, WNOHANG) == 0) {
    if (Clock::now() >= end) {
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

std::string CliProgram() {
  const char* binaryDir = std::getenv("WENDLAR_BINARY_DIR");
  if (binaryDir == nullptr) return "";
  const std::filesystem::path program = std::filesystem::path(binaryDir) / "src" / "app" / "wendlar-cli";
  return std::filesystem::exists(program) ? program.string() : "";
}

std::filesystem::path ExamplesDir() {
  const char* source = std::getenv("WENDLAR_SOURCE_DIR");
  return (source != nullptr ? std::filesystem::path(source) : std::filesystem::current_path()) / "examples";
}

}  // namespace wendlar::testing
