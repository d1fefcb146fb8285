// The connection window against the simulated controller and stand-in devices.
#include <gtest/gtest.h>

#include "support/SimSystem.h"

namespace wendlar::testing {
namespace {

using Lines = std::vector<std::string>;

const Lines kCalibration = {"Loops = 16670 in 1/10th sec", "Cpu speed factor 167 loops/1mS", "Opening comport 3",
                            "Testing USB Adapter connection..."};

Lines Messages(SimSystem& rig) { return rig.sys->link.View().Msg_list.Items(); }

Lines Concat(Lines a, const Lines& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

TEST(Connection, SuccessfulSequenceConnectsAndRemembersThePortAndARetryClosesItFirst) {
  SimSystem rig;
  EXPECT_EQ(rig.sys->connection.ConnectController(SimSystem::kSimPort), kConnectOk);
  EXPECT_EQ(Messages(rig), Concat(kCalibration, {"PC to USB connection OK ", "Testing CNC Hand Shake H ..",
                                                 "Handshake Hi OK", "Testing CNC Hand Shake L..", "Handshake low OK",
                                                 "USB to CNC comunication OK", "Running CPU speed test",
                                                 "Cpu transfer speed 573 pk/sec", "Packets lost 0 pks",
                                                 "Starting Spooler"}));
  System& s = *rig.sys;
  EXPECT_TRUE(s.link.Connected);
  EXPECT_TRUE(s.connection.LinkUp);
  EXPECT_TRUE(s.link.UsbTimer().Enabled());
  EXPECT_EQ(s.link.View().Status_lab.Caption(), "USB Connected");
  EXPECT_EQ(s.link.View().Usb_version_lab.Caption(), "Tovrel1.2");
  EXPECT_EQ(s.link.View().Update_lab.Caption(), "");
  EXPECT_EQ(s.link.View().Form.Caption(), "Auto Connecting USB to port 3");
  EXPECT_FALSE(s.link.View().Form.Visible());
  EXPECT_EQ(s.environment.Env.LastUsbPort, 2);
  EXPECT_EQ(s.connection.CpuFactor, 167);
  EXPECT_EQ(s.link.DelayLoops, 83);  // the environment's divisor 2
  EXPECT_EQ(s.connection.FastTimer().Interval(), 2);
  EXPECT_TRUE(s.console.View.Functions1.Enabled());
  // Only a successful connection saves the remembered port.
  EXPECT_NE(rig.dir.Read("Spooler.cfg").find("\r\n2\r\n"), std::string::npos);

  // A retry while connected closes the port first.
  int closes = 0;
  s.link.View().SetOnChange([&](const Control& c) {
    if (c.Name() == "Response_lab" && c.Caption().rfind("Return code", 0) == 0) ++closes;
  });
  ASSERT_TRUE(rig.Connect());
  EXPECT_EQ(closes, 1);
  EXPECT_TRUE(s.link.Connected);
}

TEST(Connection, IdentityRepliesDecideTheUpdateNotice) {
  for (const auto& [identity, notice] : {std::pair<std::string, std::string>{"Tovrel1.0", "USB Firmware Update Available"},
                                         {"Tovrel2.7b", ""}}) {
    sim::SimOptions options;
    options.identity = identity;
    SimSystem rig(options);
    EXPECT_EQ(rig.sys->connection.ConnectController(SimSystem::kSimPort), kConnectOk) << identity;
    EXPECT_EQ(rig.sys->link.View().Update_lab.Caption(), notice);
    EXPECT_EQ(rig.sys->link.View().Usb_version_lab.Caption(), identity);
    EXPECT_EQ(Messages(rig)[4], "PC to USB connection OK ");
  }
}

// Ports where no connection comes about: each says why, and none is saved as the last port.
TEST(Connection, FailedConnectionsSayWhyAndSaveNoPort) {
  const Lines notController(3, "Comm port is Not CNC device !");
  const std::string cannotTalk = "Cannot talk to USB CNC controller ! try another Comm port";
  const Lines handshakeHigh = {"PC to USB connection OK ", "Testing CNC Hand Shake H .."};
  struct Case {
    const char* what;
    char device;  // 'E' echoes, 'S' is silent, otherwise the handshake read-back's mark
    int result;
    Lines messages;
    int lastPort;
  };
  const Case cases[] = {
      {"an echoing port", 'E', kConnectNoController, Concat(notController, {cannotTalk}), 0},
      {"no device: three unanswered requests", 'S', kConnectNoController, {cannotTalk}, 0},
      {"miswired", 'X', kConnectHandshakeHigh,
       Concat(handshakeHigh, {"Handshake Hi FailUSHX HANDSHAKE READ", "CHECK CONTROLLER IS TURNED ON !"}), 0},
      // The port is written at the start of the low handshake, but not saved.
      {"stuck high", 'N', kConnectHandshakeLow,
       Concat(handshakeHigh, {"Handshake Hi OK", "Testing CNC Hand Shake L..", "Handshake Lo FailUSLN HANDSHAKE READ",
                              "CHECK CONTROLLER IS TURNED ON !"}),
       4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SimSystem rig;
    EchoDevice echo;
    WrongHandshakeDevice wrong(rig.sim, c.device);
    if (c.device == 'S') {
      rig.port.AddSilent(4, "empty adapter");
    } else {
      rig.port.Attach(4, c.device == 'E' ? static_cast<SerialDevice&>(echo) : wrong, "not a controller");
    }
    EXPECT_EQ(rig.sys->connection.ConnectController(4), c.result);
    Lines expected = kCalibration;
    expected[2] = "Opening comport 5";
    EXPECT_EQ(Messages(rig), Concat(expected, c.messages));
    EXPECT_EQ(rig.sys->environment.Env.LastUsbPort, c.lastPort);
    EXPECT_FALSE(rig.sys->connection.LinkUp);
    EXPECT_FALSE(rig.sys->link.Connected);
    EXPECT_FALSE(rig.dir.Exists("Spooler.cfg"));
    if (c.result == kConnectNoController) {
      EXPECT_EQ(rig.sys->link.View().Status_lab.Caption(), "Cannot Connect !");
      EXPECT_TRUE(rig.sys->connection.ConnectFailed);
      EXPECT_TRUE(rig.sys->link.View().Connect_USB.Enabled());
      EXPECT_TRUE(rig.port.IsOpen(4));  // a failed attempt leaves the port open
    }
  }
}

TEST(Connection, ScanOffersTheFirstFourPortsThatOpen) {
  SimSystem rig;
  for (int p : {4, 7, 9, 30}) rig.port.AddSilent(p, "adapter " + std::to_string(p));
  rig.port.AddSilent(31, "beyond the scan");
  rig.port.SetBusy(7, true);
  rig.port.AddSilent(1, "reserved");
  EXPECT_EQ(rig.sys->connection.ScanComPorts(), 4);  // 2, 4, 9, 30
  rig.port.SetBusy(7, false);
  EXPECT_EQ(rig.sys->connection.ScanComPorts(), 5);
  const UsbView& v = rig.sys->link.View();
  EXPECT_EQ(v.selectcom_A.Caption(), "COM 3  simulated controller");
  EXPECT_EQ(v.selectcom_B.Caption(), "COM 5  adapter 4");
  EXPECT_EQ(v.selectcom_C.Caption(), "COM 8  adapter 7");
  EXPECT_EQ(v.selectcom_D.Caption(), "COM 10  adapter 9");
  EXPECT_TRUE(v.selectcom_D.Enabled());
  EXPECT_EQ(rig.sys->connection.FoundPorts, (std::array<int, 4>{2, 4, 7, 9}));
  EXPECT_FALSE(rig.port.IsOpen(2));
  // The operator's choice is what Connect_USB opens.
  rig.sys->connection.SelectPortClick(0);
  rig.sys->connection.Connect_USBClick();
  EXPECT_TRUE(rig.sys->connection.LinkUp);
}

TEST(Connection, StartUpAutoConnectRunsAfterTheClockHandlerOnTheRememberedPort) {
  SimSystem rig;
  System& s = *rig.sys;
  s.environment.Env.CheckBoxFlags = "NNNNYYNNNN";
  s.environment.Env.LastUsbPort = 2;
  bool connectedInsideHandler = false;
  s.link.View().SetOnChange([&](const Control& c) {
    if (c.Name() == "Msg_list" && s.connection.WaitClock().InHandler()) connectedInsideHandler = true;
  });
  s.connection.Show();
  rig.RunMs(240);
  EXPECT_FALSE(s.connection.LinkUp);
  rig.RunMs(20);
  EXPECT_TRUE(s.connection.LinkUp);
  EXPECT_FALSE(connectedInsideHandler);
  EXPECT_TRUE(s.link.View().auto_scan.Checked());
  EXPECT_TRUE(s.link.View().selectcom_A.Enabled());  // the scan ran first
  EXPECT_EQ(s.link.View().Status_lab.Caption(), "USB Connected");
}

TEST(Connection, RememberedPortZeroIsNeverAutoConnected) {
  SimSystem rig;
  rig.port.Attach(0, rig.sim, "first port");
  System& s = *rig.sys;
  s.environment.Env.CheckBoxFlags = "NNNNNYNNNN";
  s.environment.Env.LastUsbPort = 0;
  rig.RunMs(2000);
  EXPECT_FALSE(s.connection.LinkUp);
  EXPECT_TRUE(s.link.View().Msg_list.Items().empty());
  EXPECT_EQ(s.console.View.Running.Caption(), "Not connected");
  EXPECT_FALSE(s.link.View().Refresh1.Visible());
}

TEST(Connection, DelayRadiosDivideTheMeasuredFactor) {
  SimSystem rig;
  Connection& c = rig.sys->connection;
  c.DelayClick(4);
  EXPECT_EQ(rig.sys->link.DelayLoops, kDefaultDelayLoops);  // nothing measured yet
  c.CpuFactor = 57;
  c.DelayClick(10);
  EXPECT_EQ(rig.sys->link.DelayLoops, 5);
  EXPECT_TRUE(rig.sys->link.View().D10uS.Checked());
  EXPECT_FALSE(rig.sys->link.View().D25uS.Checked());
  c.DelayClick(1);
  EXPECT_EQ(rig.sys->link.DelayLoops, 57);
  EXPECT_EQ(rig.sys->environment.Env.UsbDelayDivisor, 1);
  c.DelayClick(3);  // not a radio of the window
  EXPECT_EQ(rig.sys->environment.Env.UsbDelayDivisor, 1);
}

TEST(Connection, CloseAndRetryStartFromAClosedPortAndAFreshController) {
  SimSystem rig;
  System& s = *rig.sys;
  ASSERT_TRUE(rig.Connect());
  rig.RunMs(500);
  EXPECT_TRUE(s.report.VersionSeen);
  EXPECT_EQ(s.report.SpeedSteps, 250);

  s.connection.Stop_usbClick();
  EXPECT_FALSE(s.link.Connected);
  EXPECT_FALSE(s.connection.LinkUp);
  EXPECT_FALSE(rig.port.IsOpen(SimSystem::kSimPort));
  EXPECT_FALSE(s.link.UsbTimer().Enabled());
  EXPECT_EQ(s.link.View().Status_lab.Caption(), "Not connected");
  EXPECT_TRUE(s.link.View().Refresh1.Enabled());
  s.console.View.Com_list.ClearItems();
  s.sender.SendCommand(17, 1, 1);  // nothing may go out while closed
  rig.RunMs(100);
  EXPECT_FALSE(s.link.CommandPending());

  // A different controller on the same port gets its own tables.
  sim::SimOptions eightBit;
  eightBit.firmware = 90;
  sim::SimController other(rig.loop, eightBit);
  rig.port.Attach(SimSystem::kSimPort, other);
  ASSERT_EQ(s.connection.ConnectController(SimSystem::kSimPort), kConnectOk);
  EXPECT_EQ(s.link.View().Response_lab.Caption(), "Return code 0");
  rig.RunMs(500);
  EXPECT_EQ(s.report.FirmwareVersion, 90);
  EXPECT_EQ(s.report.SpeedSteps, 100);
  EXPECT_EQ(s.report.BufferSize, 4096);
}

TEST(Connection, TransferTestEndsAcrossMidnight) {
  // 23:59:59.5 local wall time at the start: a time-of-day deadline would never come.
  const auto beforeMidnight = std::chrono::system_clock::time_point(std::chrono::seconds(1767657599)) +
                              std::chrono::milliseconds(500);
  TempDir dir;
  VirtualEventLoop loop(beforeMidnight);
  sim::SimController sim(loop);
  InProcessSerialPort port(loop, sim);
  ScriptedPrompts prompts;
  std::ostringstream out;
  System s(loop, port, prompts, HomeDir(dir.Path()), out);
  s.link.PortNumber = kFirstDevicePort;
  s.link.OpenPort();
  const int64_t start = loop.NowUs();
  s.connection.Loop_testClick();
  EXPECT_NEAR(loop.NowUs() - start, 864000, 5000);
  EXPECT_GT(s.connection.TransferCount, 100);
  EXPECT_EQ(s.link.View().Msg_list.Items().back(), "Packets lost 0 pks");
}

TEST(Connection, TransferTestCountsLostPackets) {
  SimSystem rig;
  rig.sys->link.PortNumber = SimSystem::kSimPort;
  rig.sys->link.OpenPort();
  rig.sim.DropReplies(3);
  rig.sys->connection.MeasureTransferSpeed();
  const Lines m = Messages(rig);
  ASSERT_EQ(m.size(), 3u);
  EXPECT_EQ(m[0], "U timeout !");
  EXPECT_EQ(m[2], "Packets lost 3 pks");
}

}  // namespace
}  // namespace wendlar::testing
