// The simulated controller driven through the host's own link code, in-process on virtual time.
#include <gtest/gtest.h>

#include "core/VirtualEventLoop.h"
#include "link/Commands.h"
#include "link/Link.h"
#include "link/serial/InProcessSerialPort.h"
#include "sim/SimController.h"

namespace wendlar {
namespace {

namespace cmd = commands;

sim::SimOptions Firmware(int version) {
  sim::SimOptions options;
  options.firmware = version;
  return options;
}

struct Wired {
  explicit Wired(sim::SimOptions options = {}) : controller(loop, std::move(options)), port(loop, controller) {
    link.PortNumber = kFirstDevicePort;
    link.OpenPort();
    link.Connected = true;
  }
  void Send(const std::optional<CommandRecord>& record) {
    ASSERT_TRUE(record.has_value());
    link.SendPacket(*record);
  }
  void Initialise() {
    link.SendPacket(cmd::MiscSettings(210, 210, 1, 1));
    link.SendPacket(cmd::BuildTable());
  }
  std::array<uint8_t, 6> Buffer() {
    link.SendLine(cmd::kRequestBuffer);
    return link.BufferReply;
  }
  std::array<int64_t, 3> Positions() {
    link.SendLine(cmd::kRequestPositions);
    std::array<int64_t, 3> p{};
    for (size_t i = 0; i < 3; ++i) {
      const auto& r = link.PositionReply;
      int64_t v = r[3 * i] | (r[3 * i + 1] << 8) | (r[3 * i + 2] << 16);
      p[i] = (v & 0x800000) ? v - 0x1000000 : v;
    }
    return p;
  }

  VirtualEventLoop loop;
  sim::SimController controller;
  InProcessSerialPort port;
  RunFlags flags;
  Link link{loop, port, flags};
};

TEST(SimThroughLink, IdentityAndBothHandshakes) {
  Wired wired;
  wired.link.SendLine(cmd::kIdentityRequest);
  EXPECT_EQ(wired.link.LastReply, "Tovrel1.2");

  wired.link.SendRawLine(cmd::kHandshakeHigh);
  wired.link.SendLine(cmd::kHandshakeHighRead);
  EXPECT_EQ(wired.link.LastReply.substr(0, 4), "USHN");
  EXPECT_LE(wired.link.SpinCount, kReplySpinLimit);
  wired.link.SendRawLine(cmd::kHandshakeLow);
  wired.link.SendLine(cmd::kHandshakeLowRead);
  EXPECT_EQ(wired.link.LastReply.substr(0, 4), "USLR");

  sim::SimOptions first;
  first.identity = "Tovrel1.0";
  Wired old(first);
  old.link.SendLine(cmd::kIdentityRequest);
  EXPECT_EQ(old.link.LastReply, "Tovrel1.0");
}

TEST(SimThroughLink, HeadTailAndExecutedCountAsTheHostDecodesThem) {
  Wired wired;
  wired.Initialise();
  wired.link.SendPacket(cmd::Pause());
  for (int i = 0; i < 3; ++i) wired.link.SendPacket(cmd::Dwell(10));
  EXPECT_EQ(wired.Buffer(), (std::array<uint8_t, 6>{0, 0, 3, 0, 0x5C, 0x00}));
  wired.link.SendPacket(cmd::Resume());
  EXPECT_EQ(wired.Buffer(), (std::array<uint8_t, 6>{1, 0, 3, 0, 0x5C, 0x08}));
  wired.loop.RunFor(400);
  EXPECT_EQ(wired.Buffer(), (std::array<uint8_t, 6>{3, 0, 3, 0, 0x5C, 0x00}));
  wired.link.SendLine(cmd::kRequestInfo);
  EXPECT_EQ(wired.link.InfoReply, (std::array<uint8_t, 5>{110, 0, 3, 0, 0}));

  // A job: start, ten segments, end. Every buffered record counts, the end record too.
  wired.link.SendPacket(cmd::StartBuffer());
  wired.link.SendPacket(cmd::ClearProgramCounter());
  for (int i = 0; i < 10; ++i) wired.Send(cmd::Segment(500, -200, 0, 1, 20, 60));
  wired.link.SendPacket(cmd::EndOfJob());
  EXPECT_EQ(wired.Buffer()[5] & 0x80, 0x80);
  wired.loop.RunFor(10000);
  const auto idle = wired.Buffer();
  EXPECT_EQ(idle[5], 0x00);
  EXPECT_EQ(idle[0], idle[2]);  // head == tail: a completed job
  wired.link.SendLine(cmd::kRequestInfo);
  wired.link.SendLine(cmd::kRequestInfo);
  EXPECT_EQ(wired.link.InfoReply[2], 11);
  EXPECT_EQ(wired.Positions(), (std::array<int64_t, 3>{5000, -2000, 0}));
  EXPECT_EQ(wired.controller.Starvations(), 0u);
}

TEST(SimThroughLink, PositionsAtTheTimeTheSpeedImplies) {
  Wired wired;
  wired.Initialise();
  wired.Send(cmd::MoveXY(40000, -20000, 200, 1));  // 12000 steps/s on X
  wired.loop.RunFor(1000);
  const auto midway = wired.Positions();
  // At acceleration setting 210 the speed index climbs one step every 4.6 ms: the ramp to
  // index 200 takes 0.915 s and covers about 5490 steps, then 85 ms at full speed add 1020.
  EXPECT_NEAR(static_cast<double>(midway[0]), 6510, 200);
  EXPECT_NEAR(static_cast<double>(midway[1]), midway[0] / -2.0, 2);
  // The rest takes 2.42 s at full speed and 0.915 s to slow down.
  wired.loop.RunFor(3400);
  EXPECT_EQ(wired.Positions(), (std::array<int64_t, 3>{40000, -20000, 0}));
  EXPECT_EQ(wired.Buffer()[5] & 0x08, 0);
}

TEST(SimThroughLink, BothTableReadBackPathsReturnTheTable) {
  Wired wide;
  wide.Initialise();
  wide.link.SendPacket(cmd::ReadMemory(1, 0, 0));
  ASSERT_TRUE(wide.link.ReadVariables(0));
  const auto& io = wide.link.IoReply;
  EXPECT_EQ(io[0] | (io[1] << 8), 5653);  // the marker at entry 0
  EXPECT_EQ(io[2] | (io[3] << 8), 1);
  wide.link.SendPacket(cmd::ReadMemory(21, 0, 0));
  ASSERT_TRUE(wide.link.ReadVariables(0));
  EXPECT_EQ(io[10] | (io[11] << 8), 0);
  const int e23 = io[6] | (io[7] << 8);
  const int e24 = io[8] | (io[9] << 8);
  EXPECT_GT(e24, e23);
  wide.link.SendPacket(cmd::ReadMemory(26, 0, 0));
  ASSERT_TRUE(wide.link.ReadVariables(0));
  EXPECT_EQ(io[0] | (io[1] << 8), 5653);  // and at entry 25

  Wired narrow(Firmware(99));
  narrow.Initialise();
  int previous = 0;
  for (uint8_t n = 1; n <= 100; ++n) {
    ASSERT_TRUE(narrow.link.ReadControllerWord(13, 4, n));
    const int low = narrow.link.MemoryReply[3];
    ASSERT_TRUE(narrow.link.ReadControllerWord(13, 5, n));
    const int value = low + 256 * narrow.link.MemoryReply[4];
    EXPECT_GT(value, previous);
    previous = value;
  }
}

TEST(SimThroughLink, InjectedFaultsShowInTheBitsTheHostReads) {
  Wired wired;
  wired.Initialise();
  EXPECT_EQ(wired.Buffer()[4], 0x5C);
  wired.controller.OpenDoor();
  EXPECT_EQ(wired.Buffer()[4] & 0x02, 0x02);
  wired.controller.CloseDoor();
  wired.controller.SetServoFault(true);
  EXPECT_EQ(wired.Buffer()[4] & 0x04, 0);
  wired.controller.SetServoFault(false);

  wired.link.SendPacket(cmd::StartBuffer());
  wired.link.SendPacket(cmd::Dwell(500));
  wired.link.SendPacket(cmd::Dwell(500));
  wired.controller.PressStopButton();
  auto b = wired.Buffer();
  EXPECT_EQ(b[4] & 0x80, 0x80);
  EXPECT_EQ(b[5], 0x40);  // running gone, stop button latched
  EXPECT_NE(b[0], b[2]);  // a record left: the host reports "Job not completed !"
  wired.controller.ReleaseStopButton();
  wired.link.SendPacket(cmd::Reset());

  wired.controller.TripOvertravel();
  EXPECT_EQ(wired.Buffer()[5], 0x20);
  wired.link.SendPacket(cmd::Reset());
  wired.controller.InjectDataChecksumError();
  EXPECT_EQ(wired.Buffer()[5], 0x04);
  wired.link.SendPacket(cmd::Reset());
  wired.controller.InjectMemoryChecksumError();
  EXPECT_EQ(wired.Buffer()[5], 0x02);
  wired.link.SendPacket(cmd::Reset());
  wired.link.SendPacket(cmd::Stop());
  EXPECT_EQ(wired.Buffer()[5], 0x10);
  wired.link.SendPacket(cmd::StopRelease());
  EXPECT_EQ(wired.Buffer()[5], 0x00);
  wired.controller.HardwareReset();
  EXPECT_EQ(wired.Buffer()[5], 0x01);

  // Line faults: an offline answer, a lost reply (the host's spin runs out), a dead line.
  wired.controller.AnswerOffline(1);
  wired.link.SendLine(cmd::kRequestBuffer);
  EXPECT_EQ(wired.link.LastReply, "E1");
  wired.controller.DropReplies(1);
  wired.link.SendLine(cmd::kRequestBuffer);
  EXPECT_GT(wired.link.SpinCount, kReplySpinLimit);
  wired.controller.SetDeadLine(true);
  wired.link.SendLine(cmd::kIdentityRequest);
  EXPECT_GT(wired.link.SpinCount, kReplySpinLimit);
  wired.controller.SetDeadLine(false);
  wired.link.SendLine(cmd::kIdentityRequest);
  EXPECT_EQ(wired.link.LastReply, "Tovrel1.2");
}

}  // namespace
}  // namespace wendlar
