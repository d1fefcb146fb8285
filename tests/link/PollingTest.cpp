// Status polling against the simulated controller: the rotation, the waits' polling,
// report decoding, the transfer meter and the watch on a silent controller.
#include <gtest/gtest.h>

#include "link/Wire.h"
#include "support/SimSystem.h"

namespace wendlar::testing {
namespace {

struct Request {
  int64_t timeUs;
  std::string line;
};

// Status requests the controller received from trace index `from` on.
std::vector<Request> Requests(const SimSystem& rig, size_t from) {
  std::vector<Request> out;
  size_t i = 0;
  for (const auto& l : rig.sim.TraceLines()) {
    if (i++ < from || !l.fromHost || l.text.size() != 2 || l.text[0] != 'R') continue;
    out.push_back({l.timeUs, l.text});
  }
  return out;
}

// A connected System whose not-initialised reports start nothing, so the line stays idle.
struct IdleRig : SimSystem {
  explicit IdleRig(int firmware = 110) : SimSystem(Options(firmware)) {
    sys->status.Hooks.InitialiseController = nullptr;
    EXPECT_TRUE(Connect());
  }
  static sim::SimOptions Options(int firmware) {
    sim::SimOptions o;
    o.firmware = firmware;
    return o;
  }
};

TEST(Polling, IdleRotationSendsOneRequestEveryThirdTickInAFiveSlotCycleAndTheMeterShowsIt) {
  IdleRig rig;
  const size_t from = rig.sim.TraceLines().size();
  rig.RunMs(1200);
  const auto requests = Requests(rig, from);
  ASSERT_GE(requests.size(), 25u);
  const std::vector<std::string> cycle = {"R3", "R2", "R3", "R2", "R1"};
  for (size_t i = 0; i < requests.size(); ++i) EXPECT_EQ(requests[i].line, cycle[i % 5]) << i;
  for (size_t i = 1; i < requests.size(); ++i) {
    // Three 15 ms ticks; the timer restarts after a handler whose exchange took about 1 ms.
    const int64_t gap = requests[i].timeUs - requests[i - 1].timeUs;
    EXPECT_GE(gap, 45000) << i;
    EXPECT_LE(gap, 47000) << i;
  }
  EXPECT_EQ(rig.sys->polling.PollCount >= 75, true);

  // The transfer meter shows the mean of four samples: R2 and R3 count, R1 does not; about
  // 2.8 of them per 150 ms.
  const Control& bar = rig.sys->console.View.usbspdBar1;
  EXPECT_EQ(bar.Caption(), "Usb transfer Speed 28 bk/s");
  EXPECT_EQ(bar.Position(), 1);
  EXPECT_EQ(bar.BackColor(), kSilver);
}

TEST(Polling, FifthSlotFollowsFirmwareAndReadRequest) {
  auto fifth = [](IdleRig& rig, int readRequest) {
    rig.sys->polling.ReadRequest = readRequest;
    const size_t from = rig.sim.TraceLines().size();
    rig.RunMs(240);  // one whole cycle and a little more
    std::vector<std::string> lines;
    for (const auto& r : Requests(rig, from)) lines.push_back(r.line);
    return lines;
  };
  auto contains = [](const std::vector<std::string>& v, const std::string& s) {
    return std::find(v.begin(), v.end(), s) != v.end();
  };
  {
    IdleRig rig(110);
    rig.RunMs(300);
    const auto memory = fifth(rig, 5);
    EXPECT_TRUE(contains(memory, "R5"));
    EXPECT_FALSE(contains(memory, "R1"));
    EXPECT_EQ(rig.sys->polling.ReadRequest, 0);  // the memory report cleared it
    const auto nothing = fifth(rig, 3);
    EXPECT_FALSE(contains(nothing, "R5"));
    EXPECT_FALSE(contains(nothing, "R1"));
    EXPECT_EQ(nothing.size(), 4u);
  }
  // Older families answer the same request in the fifth slot with an input or information report.
  for (const auto& [firmware, asked, notAsked] : {std::tuple{90, "R4", "R5"}, std::tuple{15, "R1", "R5"}}) {
    IdleRig rig(firmware);
    rig.RunMs(300);
    const auto lines = fifth(rig, 5);
    EXPECT_TRUE(contains(lines, asked)) << firmware;
    EXPECT_FALSE(contains(lines, notAsked)) << firmware;
  }
}

TEST(Polling, RecordsTakeTheTickAndPostponeTheRequest) {
  IdleRig rig;
  rig.RunMs(100);
  const size_t from = rig.sim.TraceLines().size();
  for (int i = 0; i < 4; ++i) rig.sys->sender.SendCommand(17, 1, 1);
  rig.RunMs(200);
  std::vector<std::string> lines;
  for (const auto& l : rig.HostLines(from)) lines.push_back(l.substr(0, 2));
  // Four packets on four ticks in a row; the rotation goes on after them.
  const auto firstPacket = std::find(lines.begin(), lines.end(), "S3");
  ASSERT_NE(firstPacket, lines.end());
  EXPECT_EQ(std::vector<std::string>(firstPacket, firstPacket + 4), std::vector<std::string>(4, "S3"));
}

std::string ReportLine(char kind, std::vector<uint8_t> bytes) {
  std::string line{kind, '.'};
  for (uint8_t b : bytes) line += ByteToHexPair(b);
  return line;
}

TEST(Polling, ReportsDecodePositionsUnknownInfoKindsAndOlderFirmwaresLamps) {
  SimSystem rig;
  System& s = *rig.sys;
  s.link.DecodeReply(ReportLine('3', {0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x80, 0x39, 0x30, 0x00, 0x05}));
  EXPECT_EQ(s.report.X, -1);
  EXPECT_EQ(s.report.Y, -8388608);
  EXPECT_EQ(s.report.Z, 12345);
  EXPECT_EQ(s.report.CurrentSpeedIndex, 5);  // firmware still unknown: below 104
  EXPECT_TRUE(s.polling.PositionsFresh);
  s.link.DecodeReply(ReportLine('3', {1, 0, 0, 2, 0, 0, 0x10, 0x00, 0x00, 0x80}));
  EXPECT_EQ(s.report.W, 16);
  EXPECT_EQ(s.report.Z, 12345);
  EXPECT_EQ(s.console.State.MachineWSteps, 16);
  EXPECT_EQ(s.console.State.MachineZSteps, 12345);

  // An information report of a kind it does not know changes nothing.
  s.link.DecodeReply(ReportLine('1', {99, 120, 7, 8, 9}));
  EXPECT_EQ(s.report.FirmwareVersion, 0);
  EXPECT_FALSE(s.report.VersionSeen);
  EXPECT_EQ(s.console.State.RanCount, 0);
  EXPECT_EQ(s.console.View.Tooln_lab.Caption(), "");

  // Older firmware takes its lamps from input report set three.
  s.link.DecodeReply(ReportLine('1', {65, 0, 0, 0, 0}));
  s.polling.ReadRequest = 5;
  // Bit 3 with bit 0 clear: spindle 1; bit 2 aux 1; bit 7 aux 2.
  s.link.DecodeReply(ReportLine('4', {3, 0, 0x8C, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(s.console.View.Sp1_LED.BackColor(), kRed);
  EXPECT_EQ(s.console.View.SP2_LED.BackColor(), kGray);
  EXPECT_EQ(s.console.View.Aux1_LED.BackColor(), kRed);
  EXPECT_EQ(s.console.View.Aux2_LED.BackColor(), kRed);
  EXPECT_EQ(s.polling.ReadRequest, 0);
  s.link.DecodeReply(ReportLine('4', {3, 0, 0x09, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(s.console.View.Sp1_LED.BackColor(), kGray);
  EXPECT_EQ(s.console.View.SP2_LED.BackColor(), kRed);
}

TEST(Polling, WaitPollingAsksOnlyWhenBothAnswersAreIn) {
  IdleRig rig;
  System& s = *rig.sys;
  rig.RunMs(300);
  s.polling.BufferFresh = false;  // a buffer answer is outstanding
  size_t from = rig.sim.TraceLines().size();
  s.link.UsbTimer().SetEnabled(false);
  s.link.UsbTimer().SetEnabled(true);
  // Both waits of a pass are shorter than a link tick, so only the wait polling could ask.
  EXPECT_TRUE(s.polling.PollWhileWaiting());
  EXPECT_TRUE(Requests(rig, from).empty());
  s.polling.BufferFresh = true;
  s.polling.PositionsFresh = true;
  s.link.R4Count = 1;
  s.polling.WaitR1Count = 9;
  from = rig.sim.TraceLines().size();
  std::vector<std::string> lines;
  for (int i = 0; i < 3; ++i) {
    s.link.UsbTimer().SetEnabled(false);
    s.link.UsbTimer().SetEnabled(true);
    EXPECT_TRUE(s.polling.PollWhileWaiting());
  }
  for (const auto& r : Requests(rig, from)) lines.push_back(r.line);
  EXPECT_EQ(lines, (std::vector<std::string>{"R3", "R2", "R1", "R2", "R3", "R4"}));

  s.link.UsbTimer().SetEnabled(false);
  EXPECT_FALSE(s.polling.PollWhileWaiting());
}

TEST(Polling, SilentControllerIsReportedOnceAndPollingResumes) {
  IdleRig rig;
  System& s = *rig.sys;
  rig.RunMs(500);
  ASSERT_FALSE(s.polling.Silent());
  rig.sim.SetDeadLine(true);
  const int64_t deadAt = rig.loop.NowUs();
  ASSERT_TRUE(rig.RunUntil([&] { return s.polling.Silent(); }, 10000));
  const int64_t noticedMs = (rig.loop.NowUs() - deadAt) / 1000;
  EXPECT_GE(noticedMs, 1900);
  EXPECT_LE(noticedMs, 2500);
  EXPECT_EQ(s.console.View.Running.Caption(), "Controller not responding");
  EXPECT_EQ(s.console.View.Progress.Caption(), "Controller not responding");
  EXPECT_EQ(s.flags.AbortRun, 1);
  rig.RunMs(3000);
  const auto history = s.jumpbox.View.Fault_list.Items();
  ASSERT_EQ(history.size(), 1u);
  EXPECT_EQ(history[0].substr(history[0].find('*')), "* Controller not responding");

  rig.sim.SetDeadLine(false);
  rig.RunMs(300);
  EXPECT_FALSE(s.polling.Silent());
  EXPECT_EQ(s.console.View.Running.Caption(), "Not Initialzed");  // reports are decoded again
  EXPECT_TRUE(s.polling.LinkPolling());
}

}  // namespace
}  // namespace wendlar::testing
