// `wendlar-cli sim` as a separate process, reached through the host's own serial backend.
#include <gtest/gtest.h>

#include <string>

#include "core/RealTimeEventLoop.h"
#include "link/Commands.h"
#include "link/Link.h"
#include "link/serial/PosixSerialPorts.h"
#include "support/ChildProcess.h"

namespace wendlar {
namespace {

TEST(SimProcess, HostSerialBackendStreamsAThousandPacketsToTheServedController) {
  const std::string program = testing::CliProgram();
  if (program.empty()) GTEST_SKIP() << "wendlar-cli is not built";

  testing::ChildProcess server;
  const std::string path = server.StartServer({program, "sim", "--firmware", "110"}, testing::ChildProcess::Errors::Discard);
  ASSERT_FALSE(path.empty());

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
  server.Interrupt();
  EXPECT_EQ(server.Wait(5000), 0);
}

}  // namespace
}  // namespace wendlar
