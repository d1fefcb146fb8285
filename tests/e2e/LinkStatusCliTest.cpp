// `wendlar-cli status` over a pseudo-terminal against `wendlar-cli sim`, both in real time.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "support/ChildProcess.h"
#include "support/TempDir.h"

namespace wendlar::testing {
namespace {

TEST(LinkStatusCli, StatusOverAPseudoTerminalReportsTheServedController) {
  const std::string program = CliProgram();
  if (program.empty()) GTEST_SKIP() << "wendlar-cli is not built";
  TempDir home;
  ChildProcess server;
  const std::string path = server.StartServer({program, "sim", "--firmware", "90"}, ChildProcess::Errors::Discard);
  ASSERT_FALSE(path.empty());

  ChildProcess status;
  ASSERT_TRUE(status.Start({program, "--home", home.Path().string(), "status", "--port", path},
                           ChildProcess::Errors::Discard));
  const std::string out = status.ReadAll(60000);
  EXPECT_EQ(status.Wait(5000), 0) << out;
  EXPECT_NE(out.find("Identity:         Tovrel1.2\n"), std::string::npos) << out;
  EXPECT_NE(out.find("Firmware version: 90\n"), std::string::npos) << out;
  EXPECT_NE(out.find("Speed steps:      100\n"), std::string::npos) << out;
  EXPECT_NE(out.find("Buffer size:      4096\n"), std::string::npos) << out;
  EXPECT_NE(out.find("Position (steps): X 0  Y 0  Z 0  W 0\n"), std::string::npos) << out;
  // The state in the console's words; the initialisation's own stop is not the operator's.
  EXPECT_NE(out.find("State:            Idle (Local)\n"), std::string::npos) << out;
  EXPECT_NE(out.find("Inputs:           ______L_\n"), std::string::npos) << out;
  // The 8-bit controller's table was read back word by word and kept.
  const std::string table = home.Read("d_table.txt");
  EXPECT_EQ(std::count(table.begin(), table.end(), '\n'), 102);
  server.Interrupt();
  EXPECT_EQ(server.Wait(5000), 0);
}

TEST(LinkStatusCli, NoControllerExitsWithTheConnectionMessage) {
  const std::string program = CliProgram();
  if (program.empty()) GTEST_SKIP() << "wendlar-cli is not built";
  TempDir home;
  ChildProcess status;
  ASSERT_TRUE(status.Start({program, "--home", home.Path().string(), "status", "--port", "/dev/wendlar-none"}));
  const std::string out = status.ReadAll(60000);
  EXPECT_EQ(status.Wait(5000), 1);
  EXPECT_EQ(out, "status: no such port: /dev/wendlar-none\n");
  EXPECT_FALSE(home.Exists("Spooler.cfg"));
}

TEST(LinkStatusCli, APortAnotherProgramHoldsSaysSo) {
  const std::string program = CliProgram();
  if (program.empty()) GTEST_SKIP() << "wendlar-cli is not built";
  ChildProcess server;
  const std::string path = server.StartServer({program, "sim"});
  ASSERT_FALSE(path.empty());
  // Another program has the device open and locked, as a second copy of this one would.
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
  TempDir home;
  ChildProcess status;
  ASSERT_TRUE(status.Start({program, "--home", home.Path().string(), "status", "--port", path}));
  const std::string out = status.ReadAll(60000);
  EXPECT_EQ(status.Wait(5000), 1);
  EXPECT_EQ(out, "status: port busy: another program has " + path + " open\n");
  ::close(fd);
  server.Interrupt();
  EXPECT_EQ(server.Wait(5000), 0);
}

}  // namespace
}  // namespace wendlar::testing
