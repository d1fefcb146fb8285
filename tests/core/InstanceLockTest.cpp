// The single-instance lock between real processes.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "core/InstanceLock.h"
#include "support/TempDir.h"

namespace wendlar {
namespace {

// Runs `body` in a child process and returns its exit code (-1 when it did not exit).
template <typename Body>
int InChild(Body body) {
  const pid_t child = ::fork();
  if (child == 0) ::_exit(body());
  int status = 0;
  if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

int StateCode(InstanceLock::State state) { return static_cast<int>(state); }

TEST(InstanceLock, NameIsTheExecutableFileNameInUpperCase) {
  EXPECT_EQ(InstanceLock::NameFor("/usr/local/bin/wendlar"), "WENDLAR_2ND_INSTANCE_LOCKOUT");
  EXPECT_EQ(InstanceLock::NameFor("wendlar"), "WENDLAR_2ND_INSTANCE_LOCKOUT");
  EXPECT_EQ(InstanceLock::NameFor("./build/Wendlar-dev"), "WENDLAR-DEV_2ND_INSTANCE_LOCKOUT");
  EXPECT_EQ(InstanceLock::FileFor("W_2ND_INSTANCE_LOCKOUT", "/run/user/1000"),
            "/run/user/1000/W_2ND_INSTANCE_LOCKOUT");
  EXPECT_EQ(InstanceLock::FileFor("W_2ND_INSTANCE_LOCKOUT", "/tmp"),
            "/tmp/W_2ND_INSTANCE_LOCKOUT." + std::to_string(::getuid()));
}

TEST(InstanceLock, ASecondProcessFindsTheLockHeldUntilTheFirstLetsGoAndNoFolderMeansNoLock) {
  testing::TempDir dir;
  const std::string name = InstanceLock::NameFor("/opt/wendlar");
  InstanceLock first(name, dir.Path());
  ASSERT_EQ(first.TryAcquire(), InstanceLock::State::kAcquired);
  EXPECT_TRUE(first.Held());
  EXPECT_EQ(first.TryAcquire(), InstanceLock::State::kAcquired);

  auto secondStart = [&] {
    InstanceLock second(name, dir.Path());
    return StateCode(second.TryAcquire());
  };
  EXPECT_EQ(InChild(secondStart), StateCode(InstanceLock::State::kHeldElsewhere));
  // A lock of another name is independent.
  EXPECT_EQ(InChild([&] {
              InstanceLock other(InstanceLock::NameFor("wendlar-cli"), dir.Path());
              return StateCode(other.TryAcquire());
            }),
            StateCode(InstanceLock::State::kAcquired));

  first.Release();
  EXPECT_FALSE(first.Held());
  EXPECT_EQ(InChild(secondStart), StateCode(InstanceLock::State::kAcquired));

  // A folder that cannot hold the file makes the lock unavailable.
  InstanceLock nowhere(name, dir.Path() / "missing");
  EXPECT_EQ(nowhere.TryAcquire(), InstanceLock::State::kUnavailable);
  EXPECT_FALSE(nowhere.Held());
}

TEST(InstanceLock, TheOperatingSystemReleasesTheLockWhenTheHolderDies) {
  testing::TempDir dir;
  const std::string name = InstanceLock::NameFor("wendlar");
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t holder = ::fork();
  ASSERT_GE(holder, 0);
  if (holder == 0) {
    InstanceLock lock(name, dir.Path());
    const char state = static_cast<char>(lock.TryAcquire());
    (void)!::write(ready[1], &state, 1);
    for (;;) ::pause();  // killed, never returns: nothing releases the lock but the kernel
  }
  char state = -1;
  ASSERT_EQ(::read(ready[0], &state, 1), 1);
  ::close(ready[0]);
  ::close(ready[1]);
  EXPECT_EQ(state, static_cast<char>(InstanceLock::State::kAcquired));

  InstanceLock second(name, dir.Path());
  EXPECT_EQ(second.TryAcquire(), InstanceLock::State::kHeldElsewhere);
  EXPECT_FALSE(second.Held());

  ASSERT_EQ(::kill(holder, SIGKILL), 0);
  int status = 0;
  ASSERT_EQ(::waitpid(holder, &status, 0), holder);
  EXPECT_EQ(second.TryAcquire(), InstanceLock::State::kAcquired);
}

}  // namespace
}  // namespace wendlar
