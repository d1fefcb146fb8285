#include <gtest/gtest.h>
#include <time.h>

#include <string>
#include <vector>

#include "FakeSerialPort.h"
#include "core/RealTimeEventLoop.h"
#include "core/VirtualEventLoop.h"
#include "link/Commands.h"
#include "link/Link.h"
#include "link/Wire.h"
#include "link/WorkUnit.h"

namespace wendlar {
namespace {

namespace cmd = commands;

struct RecordingConsole : LinkConsole {
  int offline = 0;
  std::vector<Color> gaugeColors;
  void ControllerOffline() override { ++offline; }
  void SetBufferGaugeColor(Color color) override { gaugeColors.push_back(color); }
};

struct RecordingReplies : LinkReplyHandler {
  std::string kinds;
  void OnInfoReply() override { kinds += '1'; }
  void OnBufferReply() override { kinds += '2'; }
  void OnPositionReply() override { kinds += '3'; }
  void OnIoReply() override { kinds += '4'; }
  void OnMemoryReply() override { kinds += '5'; }
};

class LinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    port.responder = test::ControllerAnswer;
    link.SetConsole(&console);
    link.SetReplyHandler(&replies);
    link.OpenPort();
    link.DelayLoops = 2;
  }

  // The lines written, "S3" packets shortened to "P" and the code in hex, requests as sent
  // without their terminator.
  std::vector<std::string> Traffic() const {
    std::vector<std::string> out;
    for (const auto& line : port.lines) {
      out.push_back(line.rfind("S3", 0) == 0 ? "P" + line.substr(2, 2) : line.substr(0, line.size() - 2));
    }
    return out;
  }

  // Feeds raw bytes to the receive side and reads one line.
  void Receive(const std::string& bytes) {
    port.rx = bytes;
    link.ReadReplyLine();
  }

  VirtualEventLoop loop;
  test::FakeSerialPort port;
  RunFlags flags;
  Link link{loop, port, flags};
  RecordingConsole console;
  RecordingReplies replies;
};

TEST_F(LinkTest, ClosedPortTouchesNothingAndOpenFailureShowsTheCode) {
  test::FakeSerialPort busy;
  busy.openResult = kSioPortBusy;
  Link closed(loop, busy, flags);
  closed.OpenPort();
  EXPECT_FALSE(closed.PortOpen);
  EXPECT_EQ(closed.View().Status_lab.Caption(), "Port opening error #-3");
  closed.Connected = true;
  closed.SendLine("R2\n\r");
  closed.SendPacket(cmd::Reset());
  closed.SendRawLine("S6\n\r");
  closed.QueueCommand(cmd::Stop());
  EXPECT_TRUE(busy.written.empty());
  EXPECT_EQ(closed.PacketsThisPeriod, 0);

  port.doneResult = 7;
  link.ClosePort();
  EXPECT_FALSE(link.PortOpen);
  EXPECT_EQ(link.View().Response_lab.Caption(), "Return code 7");
}

TEST_F(LinkTest, SendLineExchangesOneLineAndBoundsTheWait) {
  // An empty line sends nothing and reads nothing: a waiting reply stays where it is.
  port.rx = "2.000000000000\r";
  link.SendLine("");
  EXPECT_TRUE(port.written.empty());
  EXPECT_EQ(port.rx, "2.000000000000\r");
  EXPECT_EQ(port.rxClears, 0);
  EXPECT_TRUE(link.LastReply.empty());

  // Late bytes of an earlier reply are discarded before the line goes out.
  link.SendLine("R2\n\r");
  EXPECT_EQ(port.lines, std::vector<std::string>{"R2\n\r"});
  EXPECT_EQ(link.LastReply, "2.000000000000");
  EXPECT_EQ(link.SpinCount, 1);
  EXPECT_TRUE(link.ReplyRead);
  EXPECT_EQ(link.RepliesDecoded, 1);

  // A silent controller: the spin ends after its limit and says so.
  port.responder = nullptr;
  link.ReplyRead = false;
  link.SendLine("R3\n\r");
  EXPECT_EQ(link.SpinCount, kReplySpinLimit + 1);
  EXPECT_EQ(link.View().Response_lab.Caption(), "TimeOut 100001");
  EXPECT_TRUE(link.ReplyRead);
  EXPECT_EQ(link.RepliesDecoded, 1);

  // The spin waits for more than the expected length: 13 bytes of an "R2" reply are not enough.
  port.responder = [](const std::string&) { return std::string("2.00000000000"); };
  link.SendLine("R2\n\r");
  EXPECT_EQ(link.SpinCount, kReplySpinLimit + 1);

  // Nothing longer than the controller's line buffer goes out.
  port.lines.clear();
  link.SendLine("V" + std::string(kMaxLineLength, '1'));
  EXPECT_TRUE(port.lines.empty());
  EXPECT_EQ(link.View().Response_lab.Caption(), "Line too long");

  // Raw lines go out byte by byte with a CR, and nothing is read.
  port.written.clear();
  port.rx = "junk";
  link.SendRawLine("S6\n\r");
  EXPECT_EQ(port.written, "S6\n\r\r");
  EXPECT_EQ(port.rx, "junk");
}

TEST_F(LinkTest, EveryReplyKindDecodesFromItsLiteralLineAndMalformedOnesChangeNoBuffer) {
  Receive("1.0A1405FF00\r\n");
  EXPECT_EQ(link.InfoReply, (std::array<uint8_t, 5>{0x0A, 0x14, 0x05, 0xFF, 0x00}));
  Receive("2.0102A0B0C0D0\r\n");
  EXPECT_EQ(link.BufferReply, (std::array<uint8_t, 6>{0x01, 0x02, 0xA0, 0xB0, 0xC0, 0xD0}));
  Receive("3.FFFFFF00008012345680\r\n");
  EXPECT_EQ(link.PositionReply,
            (std::array<uint16_t, 10>{0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x80, 0x12, 0x34, 0x56, 0x80}));
  // Kinds 4 and 5 are read from their first 26 and 12 characters.
  Receive("4.030102030405060708090A0BXYZ\r\n");
  EXPECT_EQ(link.IoReply, (std::array<uint8_t, 12>{3, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}));
  Receive("5.0100003412\r\n");
  EXPECT_EQ(link.MemoryReply, (std::array<uint8_t, 5>{1, 0, 0, 0x34, 0x12}));
  Receive("5.02000000FF  \r\n");
  EXPECT_EQ(link.MemoryReply, (std::array<uint8_t, 5>{2, 0, 0, 0, 0xFF}));
  EXPECT_EQ(replies.kinds, "123455");
  EXPECT_EQ(link.LastReplyKind, '5');
  EXPECT_EQ(link.RepliesDecoded, 6);

  // Control bytes inside are dropped, and LF before or after does not matter.
  Receive("\n2.11\x01" "2233\x7" "445566\r\n");
  EXPECT_EQ(link.BufferReply, (std::array<uint8_t, 6>{0x11, 0x22, 0x33, 0x44, 0x55, 0x66}));
  Receive("\n\n1.0102030405\r");
  EXPECT_EQ(link.InfoReply, (std::array<uint8_t, 5>{1, 2, 3, 4, 5}));

  // Offline reports reach the console; decoding goes on.
  Receive("E1\r");
  Receive("E2x\r");
  Receive("E3x\r");
  EXPECT_EQ(console.offline, 2);
  EXPECT_EQ(link.LastReply, "E3x");
  EXPECT_EQ(link.LastReplyKind, 'E');

  // Malformed replies change no buffer.
  const auto buffer = link.BufferReply;
  const auto position = link.PositionReply;
  const auto io = link.IoReply;
  const auto memory = link.MemoryReply;
  replies.kinds.clear();

  const std::vector<std::string> rejects = {
      "3.0102030405060708090AB",       // one extra character on a kind of fixed length
      "3.0102030405060708090",         // one short
      "2.0102a0B0C0D0",                // lowercase digit
      "2.0102G0B0C0D0",                // not a hex digit
      "2.0102 0B0C0D0",                // blank inside
      "2:0102A0B0C0D0",                // no dot
      "4.0000000000000000000000F",     // kind 4 one short of 26
      "4.00000000000000000000000g",    // kind 4 with a bad last digit
      "5.01000034",                    // kind 5 short
      "5.01000034-1",                  // kind 5 with a sign
  };
  for (const auto& line : rejects) {
    Receive(line + "\r\n");
    EXPECT_EQ(link.LastReply, line);
    EXPECT_EQ(link.LastReplyKind, line[0]) << line;
  }
  // A reply split before its CR is decoded as what has arrived, and fails its length.
  Receive("2.0102A0");
  EXPECT_EQ(link.LastReply, "2.0102A0");
  port.rx += "B0C0D0\r";

  EXPECT_EQ(link.BufferReply, buffer);
  EXPECT_EQ(link.PositionReply, position);
  EXPECT_EQ(link.IoReply, io);
  EXPECT_EQ(link.MemoryReply, memory);
  EXPECT_EQ(replies.kinds, "");

  // Lines of two characters or fewer are not handed to the decoder at all.
  const int decoded = link.RepliesDecoded;
  link.ReplyArrived = false;
  Receive("OK\r");
  EXPECT_FALSE(link.ReplyArrived);
  EXPECT_EQ(link.RepliesDecoded, decoded);
}

TEST_F(LinkTest, TrafficMonitorShowsBothDirectionsWhileTickedAndClearsPast500Lines) {
  link.SendLine("R2\n\r");
  EXPECT_TRUE(link.View().Data_list.Items().empty());

  link.View().Show_data_on.SetChecked(true);
  link.SendLine("R2\n\r");
  EXPECT_EQ(link.View().Data_list.Items(), (std::vector<std::string>{">R2", "2.000000000000   L=14"}));

  for (int i = 0; i < 249; ++i) link.SendLine("R2\n\r");
  EXPECT_EQ(link.View().Data_list.Items().size(), 500u);
  link.SendLine("R2\n\r");
  EXPECT_EQ(link.View().Data_list.Items(), std::vector<std::string>{"2.000000000000   L=14"});
}

TEST_F(LinkTest, RecordUsbListsPacketsAndAbortsPast300Lines) {
  struct Recorder : PacketRecorder {
    bool on = true;
    std::vector<std::string> list;
    bool RecordingOn() const override { return on; }
    size_t AppendRecord(std::string line) override {
      list.push_back(std::move(line));
      return list.size();
    }
    void StopRecording() override { on = false; }
  } recorder;
  link.SetPacketRecorder(&recorder);

  link.SendPacket(CommandRecord(20, {255, 7, 9}));
  EXPECT_EQ(recorder.list, std::vector<std::string>{"20  255  7"});
  for (int i = 0; i < 299; ++i) link.SendPacket(cmd::JogStop());
  EXPECT_TRUE(recorder.on);
  EXPECT_EQ(flags.AbortRun, 0);
  link.SendPacket(cmd::JogStop());
  EXPECT_FALSE(recorder.on);
  EXPECT_EQ(flags.AbortRun, 1);
  EXPECT_EQ(link.PacketsThisPeriod, 301);
}

TEST_F(LinkTest, PacedStreamingInterleavesStatusRequests) {
  link.Connected = true;
  link.SetDirectSend(true);
  EXPECT_TRUE(link.DirectSend);
  EXPECT_EQ(link.UsbTimer().Interval(), 50);
  for (int i = 0; i < 44; ++i) link.QueueCommand(cmd::JogStop());
  const std::vector<std::string> cycle = {"P06", "P06", "P06", "P06", "R2", "P06", "P06", "R3", "P06", "P06",
                                          "P06", "R2", "P06", "P06"};
  // R2, R2, R4 in turn in the buffer-report places.
  std::vector<std::string> expected;
  const char* bufferRequests[] = {"R2", "R2", "R4", "R2", "R2", "R4", "R2", "R2"};
  int bufferRequest = 0;
  for (int c = 0; c < 4; ++c) {
    for (auto token : cycle) {
      if (token == "R2") token = bufferRequests[bufferRequest++];
      expected.push_back(token);
    }
  }
  EXPECT_EQ(Traffic(), expected);

  // R1 takes the place of the 21st R3 the first time and of every 20th afterwards.
  port.lines.clear();
  for (int i = 0; i < 11 * 60; ++i) link.QueueCommand(cmd::JogStop());
  std::vector<int> r1Places;
  int positionRequests = 0;
  for (const auto& token : Traffic()) {
    if (token == "R3" || token == "R1") {
      ++positionRequests;
      if (token == "R1") r1Places.push_back(positionRequests + 4);  // 4 R3 went out above
    }
  }
  EXPECT_EQ(r1Places, (std::vector<int>{21, 41, 61}));

  // Switching direct sending restarts the cycle; the tick and the gauge colour follow it.
  port.lines.clear();
  link.R4Count = 1;
  link.SetDirectSend(false);
  EXPECT_EQ(link.UsbTimer().Interval(), 15);
  EXPECT_FALSE(link.UsbTimer().Enabled());
  link.SetDirectSend(true);
  EXPECT_EQ(console.gaugeColors, (std::vector<Color>{kGreen, kMaroon, kGreen}));
  for (int i = 0; i < 4; ++i) link.QueueCommand(cmd::JogStop());
  EXPECT_EQ(Traffic(), (std::vector<std::string>{"P06", "P06", "P06", "P06", "R2"}));
}

TEST_F(LinkTest, PacketDelayCostsVirtualTimeAndLetsTimersRun) {
  int clockTicks = 0;
  auto clock = loop.CreateTimer(1, true, [&] { ++clockTicks; });
  link.DelayLoops = 500;
  const int64_t before = loop.NowUs();
  link.PacketDelay();
  EXPECT_EQ(loop.NowUs() - before, 500 * (kWorkUnitCostUs + VirtualEventLoop::kPumpCostUs));
  EXPECT_EQ(clockTicks, 2);  // at 1002 and 2004 us
  link.DelayLoops = 0;
  link.PacketDelay();
  EXPECT_EQ(loop.NowUs() - before, 3000);
}

TEST(LinkRealTime, ThePacketPauseIsSleptForWhatTheCalibrationMeasuredWithTimersRunning) {
  RealTimeEventLoop loop;
  test::FakeSerialPort port;
  RunFlags flags;
  Link link{loop, port, flags};
  int ticks = 0;
  auto timer = loop.CreateTimer(2, true, [&] { ++ticks; });
  link.DelayLoops = 100;
  link.PassUs = 100;  // a 10 ms pause
  timespec cpu{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &cpu);
  const int64_t cpuBefore = int64_t{cpu.tv_sec} * 1000000 + cpu.tv_nsec / 1000;
  const int64_t before = loop.NowUs();
  link.PacketDelay();
  const int64_t pausedUs = loop.NowUs() - before;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &cpu);
  EXPECT_GE(pausedUs, 10000);
  EXPECT_LT(pausedUs, 60000);
  EXPECT_GE(ticks, 2);  // messages are pumped throughout
  EXPECT_LT(int64_t{cpu.tv_sec} * 1000000 + cpu.tv_nsec / 1000 - cpuBefore, 3000) << "the pause must not spin";
}

class LinkQueueTest : public LinkTest {
 protected:
  void SetUp() override {
    LinkTest::SetUp();
    link.Connected = true;
    link.UsbTimer().SetEnabled(true);
  }
};

TEST_F(LinkQueueTest, QueuedRecordsLeaveOnePerTickInCallOrder) {
  struct Poller : LinkPoller {
    std::vector<bool> ticks;
    void OnLinkTick(bool recordSent) override { ticks.push_back(recordSent); }
  } poller;
  link.SetPoller(&poller);

  link.QueueCommand(cmd::Aux1(true));
  link.QueueCommand(cmd::Aux2(true));
  link.QueueCommand(cmd::SpindleOn());
  EXPECT_TRUE(port.lines.empty());
  EXPECT_EQ(link.QueuedCount(), 3u);
  loop.RunFor(15);
  EXPECT_EQ(Traffic(), std::vector<std::string>{"P11"});
  loop.RunFor(30);
  EXPECT_EQ(Traffic(), (std::vector<std::string>{"P11", "P12", "P0E"}));
  loop.RunFor(15);
  EXPECT_EQ(poller.ticks, (std::vector<bool>{true, true, true, false}));
  EXPECT_FALSE(link.CommandPending());
  // The tick's send counts once more for the speed meter.
  EXPECT_EQ(link.PacketsThisPeriod, 6);
}

TEST_F(LinkQueueTest, AKeyReleaseInsideAWaitingHandlerLeavesAfterItsJogStart) {
  // A record is already waiting when the jog key goes down.
  link.QueueCommand(cmd::Aux1(true));
  bool released = false;
  // The key-down handler queues JogStart and then waits (as WaitPolls does), pumping; the
  // key release arrives during that wait.
  auto keyUp = loop.CreateTimer(5, false, [&] {
    if (released) return;
    link.QueueCommand(cmd::JogStop());
    released = true;
  });
  loop.Post([&] {
    link.QueueCommand(cmd::JogStart(cmd::kJogXPlus, 9));
    keyUp->SetEnabled(true);
    EXPECT_TRUE(loop.WaitUntil([&] { return released && !link.CommandPending(); }, 1000));
  });
  loop.RunFor(200);
  EXPECT_EQ(Traffic(), (std::vector<std::string>{"P11", "P05", "P06"}));
}

TEST_F(LinkQueueTest, StopJumpsTheQueueAndDiscardsWhatWasBeforeIt) {
  link.QueueCommand(cmd::JogStart(cmd::kJogYPlus, 3));
  link.QueueCommand(cmd::Aux1(true));
  link.QueueCommand(cmd::Stop());
  EXPECT_EQ(Traffic(), std::vector<std::string>{"P80"});
  link.QueueCommand(cmd::SpindleOff());
  loop.RunFor(100);
  EXPECT_EQ(Traffic(), (std::vector<std::string>{"P80", "P0F"}));

  // The stop goes out even before a connection is complete; other records do not.
  port.lines.clear();
  link.Connected = false;
  link.QueueCommand(cmd::JogStart(cmd::kJogYPlus, 3));
  link.QueueCommand(cmd::Stop());
  EXPECT_EQ(Traffic(), std::vector<std::string>{"P80"});
}

TEST_F(LinkQueueTest, NothingStaleLeavesAndDirectSendingKeepsCallOrder) {
  link.Connected = false;
  link.QueueCommand(cmd::Aux1(true));
  EXPECT_FALSE(link.CommandPending());
  link.SetDirectSend(true);
  link.QueueCommand(cmd::Aux1(true));
  link.SetDirectSend(false);
  EXPECT_TRUE(port.lines.empty());

  // Records queued before the link dropped do not survive into the next connection.
  link.Connected = true;
  link.QueueCommand(cmd::Aux2(true));
  link.Connected = false;
  loop.RunFor(50);
  link.Connected = true;
  loop.RunFor(50);
  EXPECT_TRUE(port.lines.empty());

  // Records queued before direct sending began leave before the first direct one.
  link.UsbTimer().SetEnabled(false);
  link.QueueCommand(cmd::Aux2(true));
  link.SetDirectSend(true);
  link.QueueCommand(cmd::StartBuffer());
  link.SetDirectSend(false);
  EXPECT_EQ(Traffic(), (std::vector<std::string>{"P12", "P03"}));
  port.lines.clear();

  // The connection code empties the queue when a connection is made.
  link.UsbTimer().SetEnabled(false);
  link.QueueCommand(cmd::Aux2(true));
  link.ClearQueue();
  link.UsbTimer().SetEnabled(true);
  loop.RunFor(50);
  EXPECT_TRUE(port.lines.empty());
}

TEST_F(LinkQueueTest, ControllerWordIsReadAgainUntilValidAndGivesUpAfterNineTries) {
  EXPECT_TRUE(link.ReadControllerWord(13, 4, 7));
  EXPECT_EQ(Traffic(), (std::vector<std::string>{"P8A", "R5"}));
  EXPECT_EQ(port.lines[0], "S38A0D04070000000000000084\n\r");
  EXPECT_EQ(link.MemoryReply[3], 0x12);

  port.lines.clear();
  port.responder = [](const std::string& line) {
    return line == "R5\n\r" ? std::string("5.0000001234\r") : test::ControllerAnswer(line);
  };
  EXPECT_FALSE(link.ReadControllerWord(13, 5, 7));
  EXPECT_EQ(port.lines.size(), 18u);
  EXPECT_EQ(link.View().Msg_list.Items(), std::vector<std::string>{"R5 read fail"});
  EXPECT_EQ(link.MemoryReply[4], 0x34);  // whatever the last reply put there stays

  // A stop ends the retries without the message.
  port.lines.clear();
  flags.AbortRun = 1;
  EXPECT_FALSE(link.ReadControllerWord(13, 5, 7));
  EXPECT_TRUE(port.lines.empty());
  EXPECT_EQ(link.View().Msg_list.Items().size(), 1u);
}

TEST_F(LinkQueueTest, VariableReadSendsItsSelectBeforeAskingAndEndsWithoutAReply) {
  link.QueueCommand(cmd::Aux1(true));
  EXPECT_TRUE(link.ReadVariables(3));
  EXPECT_EQ(Traffic(), (std::vector<std::string>{"P11", "P46", "R4"}));
  EXPECT_EQ(link.IoReply[0], 3);
  EXPECT_EQ(link.View().Status_lab.Caption(), "4.030000000000000000000000");
  EXPECT_TRUE(link.UsbTimer().Enabled());

  // A controller that never answers: the read ends, the timer runs again.
  port.responder = [](const std::string& line) {
    return line == "R4\n\r" ? std::string() : test::ControllerAnswer(line);
  };
  const int64_t before = loop.NowUs();
  EXPECT_FALSE(link.ReadVariables(0));
  EXPECT_LE(loop.NowUs() - before, 250'000);
  EXPECT_TRUE(link.UsbTimer().Enabled());

  // A late reply is still read.
  port.responder = [&](const std::string& line) {
    if (line == "R4\n\r") {
      loop.Post([&] { port.rx += "4.000102030405060708090A0B\r\n"; });
      return std::string();
    }
    return test::ControllerAnswer(line);
  };
  EXPECT_TRUE(link.ReadVariables(0));
  EXPECT_EQ(link.IoReply[11], 0x0B);

  // Nothing is asked while not connected.
  port.lines.clear();
  link.Connected = false;
  EXPECT_FALSE(link.ReadVariables(3));
  EXPECT_TRUE(port.lines.empty());
}

}  // namespace
}  // namespace wendlar
