// In-process ports: bytes reach the device at once, answers arrive after its latency.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "core/RealTimeEventLoop.h"
#include "core/VirtualEventLoop.h"
#include "link/serial/InProcessSerialPort.h"

namespace wendlar {
namespace {

// Answers whole lines from a table, as the simulated controller does, and keeps what it got.
class TableDevice : public SerialDevice {
 public:
  explicit TableDevice(std::map<std::string, std::string> answers) : answers_(std::move(answers)) {}
  void Write(std::string_view bytes, std::string& reply) override {
    received += bytes;
    pending_ += bytes;
    auto it = answers_.find(pending_);
    if (it != answers_.end()) {
      reply += it->second;
      pending_.clear();
    }
  }
  int64_t ReplyLatencyUs() const override { return latencyUs; }

  std::string received;
  int64_t latencyUs = 1000;

 private:
  std::map<std::string, std::string> answers_;
  std::string pending_;
};

TableDevice Controller() {
  return TableDevice({{"V12345\n\r", "Tovrel1.0\r\n"}, {"R2\n\r", "2.000000000000\r\n"}});
}

std::string ReadAll(SerialPort& ports, int port) {
  std::string text;
  for (int c = ports.SioGetc(port); c >= 0; c = ports.SioGetc(port)) text += static_cast<char>(c);
  return text;
}

// Spins on the receive queue like SendLine: until it holds more than `n` bytes or 100000 polls.
int SpinFor(SerialPort& ports, int port, int n) {
  int spins = 0;
  while (true) {
    const int waiting = ports.SioRxQue(port);
    ++spins;
    if (waiting > n || spins > 100000) return spins;
  }
}

TEST(SerialInProcess, AnswerArrivesAfterTheLatencyAtOneVirtualMicrosecondPerPoll) {
  VirtualEventLoop loop;
  TableDevice device = Controller();
  InProcessSerialPort ports(loop, device);
  const int port = kFirstDevicePort;
  ASSERT_EQ(ports.SioReset(port, 2048, 1024), 0);
  EXPECT_EQ(ports.SioBaud(port, 6), 0);
  EXPECT_EQ(ports.SioParms(port, 0, 0, 8), 0);

  const int64_t start = loop.NowUs();
  EXPECT_EQ(ports.SioPuts(port, "V12345\n\r", 8), 8);
  // The device has the line before the host polls once: it answers synchronously.
  EXPECT_EQ(device.received, "V12345\n\r");
  EXPECT_EQ(loop.NowUs(), start);

  const int spins = SpinFor(ports, port, 8);
  EXPECT_EQ(spins, 1000);
  EXPECT_EQ(loop.NowUs() - start, 1000);
  EXPECT_EQ(ReadAll(ports, port), "Tovrel1.0\r\n");

  // A slower device is waited for in proportion.
  device.latencyUs = 2500;
  for (char c : std::string("R2\n\r")) EXPECT_EQ(ports.SioPutc(port, c), 0);
  EXPECT_EQ(SpinFor(ports, port, 13), 2500);
  EXPECT_EQ(ReadAll(ports, port), "2.000000000000\r\n");
}

TEST(SerialInProcess, AnswersKeepTheirOrderAndClearsDropOnlyWhatHasArrived) {
  VirtualEventLoop loop;
  TableDevice device = Controller();
  InProcessSerialPort ports(loop, device, 3);
  ASSERT_EQ(ports.SioReset(3, 2048, 1024), 0);

  device.latencyUs = 3000;
  ports.SioPuts(3, "V12345\n\r", 8);
  device.latencyUs = 10;
  ports.SioPuts(3, "R2\n\r", 4);
  SpinFor(ports, 3, 11 + 15);
  EXPECT_EQ(ReadAll(ports, 3), "Tovrel1.0\r\n2.000000000000\r\n");

  // A late answer still on the line survives a receive clear, as on a real line.
  device.latencyUs = 1000;
  ports.SioPuts(3, "V12345\n\r", 8);
  loop.Charge(500);
  ports.SioPuts(3, "R2\n\r", 4);
  loop.Charge(500);
  EXPECT_EQ(ports.SioRxQue(3), 11);
  EXPECT_EQ(ports.SioRxClear(3), 0);
  EXPECT_EQ(ports.SioTxClear(3), 0);
  EXPECT_EQ(ports.SioRxQue(3), 0);
  SpinFor(ports, 3, 15);
  EXPECT_EQ(ReadAll(ports, 3), "2.000000000000\r\n");

  // Closing drops everything, arrived or not.
  ports.SioPuts(3, "R2\n\r", 4);
  EXPECT_EQ(ports.SioDone(3), 0);
  EXPECT_FALSE(ports.IsOpen(3));
  ASSERT_EQ(ports.SioReset(3, 2048, 1024), 0);
  loop.Charge(5000);
  EXPECT_EQ(ports.SioRxQue(3), 0);
}

TEST(SerialInProcess, WaitingForAReplyCostsWhatTheSpinCostAndCountsTheSamePolls) {
  // Each case on two ports fed the same way: one spun poll by poll, one waited for at once.
  struct Case {
    int64_t firstLatencyUs, secondLatencyUs;
    int moreThan;
  };
  for (const Case c : {Case{1000, 1000, 10}, Case{3000, 10, 26}, Case{1000, 1000, 0}, Case{0, 0, 10},
                       Case{1000, 1000, 40}}) {
    SCOPED_TRACE(c.moreThan);
    VirtualEventLoop spunLoop, waitedLoop;
    TableDevice spunDevice = Controller(), waitedDevice = Controller();
    InProcessSerialPort spun(spunLoop, spunDevice), waited(waitedLoop, waitedDevice);
    ASSERT_EQ(spun.SioReset(2, 2048, 1024), 0);
    ASSERT_EQ(waited.SioReset(2, 2048, 1024), 0);
    for (auto* device : {&spunDevice, &waitedDevice}) device->latencyUs = c.firstLatencyUs;
    spun.SioPuts(2, "V12345\n\r", 8);
    waited.SioPuts(2, "V12345\n\r", 8);
    for (auto* device : {&spunDevice, &waitedDevice}) device->latencyUs = c.secondLatencyUs;
    spunLoop.Charge(7);
    waitedLoop.Charge(7);
    spun.SioPuts(2, "R2\n\r", 4);
    waited.SioPuts(2, "R2\n\r", 4);

    const int spins = SpinFor(spun, 2, c.moreThan);
    const int polls = waited.WaitRxQue(2, c.moreThan, 100001);
    EXPECT_EQ(polls, spins);
    EXPECT_EQ(waitedLoop.NowUs(), spunLoop.NowUs());
    EXPECT_EQ(ReadAll(waited, 2), ReadAll(spun, 2));
  }
  // A silent port times out after about a tenth of a virtual second, spun or waited for.
  VirtualEventLoop spunLoop, waitedLoop;
  InProcessSerialPort spun(spunLoop), waited(waitedLoop);
  for (InProcessSerialPort* ports : {&spun, &waited}) {
    ports->AddSilent(4);
    ASSERT_EQ(ports->SioReset(4, 2048, 1024), 0);
    EXPECT_EQ(ports->SioPuts(4, "V12345\n\r", 8), 8);
  }
  EXPECT_EQ(SpinFor(spun, 4, 8), 100001);
  EXPECT_EQ(spunLoop.NowUs(), 100001);
  EXPECT_EQ(spun.SioGetc(4), kSioNoData);
  EXPECT_EQ(waited.WaitRxQue(4, 8, 100001), 100001);
  EXPECT_EQ(waitedLoop.NowUs(), 100001);
}

TEST(SerialInProcess, ReadingAReplyLineCostsAndReadsWhatTheByteByByteReadDoes) {
  // Each case on two ports fed the same way: one read byte by byte, one line at a time. The
  // first answer has no line end, so the read runs on into the second when it has arrived.
  struct Case {
    int64_t secondLatencyUs, waitUs;
    int maxReads;
  };
  for (const Case c : {Case{1005, 1000, 5001}, Case{1003, 1000, 5001}, Case{5000, 1000, 5001},
                       Case{1000, 1000, 4}, Case{1000, 0, 5001}}) {
    SCOPED_TRACE(c.secondLatencyUs * 100 + c.maxReads);
    const std::map<std::string, std::string> answers = {{"V12345\n\r", "Tovrel"}, {"R2\n\r", "2.0000\r\n"}};
    VirtualEventLoop byteLoop, lineLoop;
    TableDevice byteDevice(answers), lineDevice(answers);
    InProcessSerialPort bytes(byteLoop, byteDevice), lines(lineLoop, lineDevice);
    ASSERT_EQ(bytes.SioReset(2, 2048, 1024), 0);
    ASSERT_EQ(lines.SioReset(2, 2048, 1024), 0);
    for (auto [ports, device] : {std::pair{&bytes, &byteDevice}, std::pair{&lines, &lineDevice}}) {
      ports->SioPuts(2, "V12345\n\r", 8);
      device->latencyUs = c.secondLatencyUs;
      ports->SioPuts(2, "R2\n\r", 4);
    }
    byteLoop.Charge(c.waitUs);
    lineLoop.Charge(c.waitUs);
    std::string byByte, byLine;
    bytes.SerialPort::SioGetLine(2, c.maxReads, byByte);
    lines.SioGetLine(2, c.maxReads, byLine);
    EXPECT_EQ(byLine, byByte);
    EXPECT_EQ(lineLoop.NowUs(), byteLoop.NowUs());
    EXPECT_EQ(ReadAll(lines, 2), ReadAll(bytes, 2));
  }
}

TEST(SerialInProcess, OnRealTimeNothingIsChargedAndTheAnswerComesAfterTheLatency) {
  RealTimeEventLoop loop;
  TableDevice device = Controller();
  device.latencyUs = 2000;
  InProcessSerialPort ports(loop, device);
  ASSERT_EQ(ports.SioReset(2, 2048, 1024), 0);
  const int64_t start = loop.NowUs();
  ports.SioPuts(2, "R2\n\r", 4);
  EXPECT_EQ(ports.SioRxQue(2), 0);
  while (ports.SioRxQue(2) == 0 && loop.NowUs() - start < 1000000) {
  }
  EXPECT_GE(loop.NowUs() - start, 2000);
  EXPECT_EQ(ReadAll(ports, 2), "2.000000000000\r\n");

  // The wait for a reply sleeps until it arrives instead of spinning.
  const int64_t waitStart = loop.NowUs();
  ports.SioPuts(2, "R2\n\r", 4);
  EXPECT_NEAR(ports.WaitRxQue(2, 13, 100001), 2000, 200);
  EXPECT_GE(loop.NowUs() - waitStart, 2000);
  EXPECT_EQ(ReadAll(ports, 2), "2.000000000000\r\n");
}

TEST(SerialInProcess, APortTableOfSeveralDevicesSilentAndBusyPorts) {
  VirtualEventLoop loop;
  TableDevice first = Controller();
  TableDevice second = Controller();
  InProcessSerialPort ports(loop);
  ports.Attach(2, first);
  ports.AddSilent(3, "USB adapter, nothing behind it");
  ports.Attach(4, second, "second controller");
  ports.AddSilent(5);
  ports.AddSilent(6);
  ports.SetBusy(6, true);

  EXPECT_EQ(ports.Ports(), (std::vector<int>{2, 3, 4, 5, 6}));
  EXPECT_EQ(PortLabel(ports, 2), "COM 3  simulated controller");
  EXPECT_EQ(PortLabel(ports, 3), "COM 4  USB adapter, nothing behind it");
  EXPECT_EQ(ports.PortDescription(7), "");

  for (int reserved : {0, 1}) EXPECT_EQ(ports.SioReset(reserved, 128, 128), kSioNoSuchPort);
  EXPECT_EQ(ports.SioReset(7, 128, 128), kSioNoSuchPort);
  EXPECT_EQ(ports.SioReset(6, 128, 128), kSioPortBusy);
  EXPECT_EQ(SioErrorText(ports.SioReset(6, 128, 128)), "port busy");
  EXPECT_EQ(ports.SioPuts(4, "R2\n\r", 4), kSioNotOpen);
  EXPECT_EQ(ports.SioRxQue(4), kSioNotOpen);
  EXPECT_EQ(ports.SioGetc(4), kSioNotOpen);
  EXPECT_EQ(ports.SioDone(4), kSioNotOpen);

  // Each port talks to its own device only.
  ASSERT_EQ(ports.SioReset(2, 128, 128), 0);
  ASSERT_EQ(ports.SioReset(4, 128, 128), 0);
  ports.SioPuts(4, "R2\n\r", 4);
  EXPECT_EQ(first.received, "");
  EXPECT_EQ(second.received, "R2\n\r");
  SpinFor(ports, 4, 15);
  EXPECT_EQ(ports.SioRxQue(2), 0);
  EXPECT_EQ(ReadAll(ports, 4), "2.000000000000\r\n");

  ports.SetBusy(6, false);
  EXPECT_EQ(ports.SioReset(6, 128, 128), 0);
  ports.Remove(3);
  EXPECT_EQ(ports.SioReset(3, 128, 128), kSioNoSuchPort);
  EXPECT_EQ(ports.Ports(), (std::vector<int>{2, 4, 5, 6}));
}

}  // namespace
}  // namespace wendlar
