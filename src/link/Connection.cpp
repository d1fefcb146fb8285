#include "link/Connection.h"

#include <cmath>

#include "core/Numbers.h"
#include "link/Commands.h"
#include "link/WorkUnit.h"

namespace wendlar {

namespace {

constexpr int kScanQueueSize = 128;
constexpr int kIdentityAttempts = 3;
// Replies of this length or shorter mean nothing came back.
constexpr size_t kShortReply = 5;
// StartTicks counts to this and then holds; auto-connect runs when it reaches kAutoConnectTick.
constexpr int kStartTicksHeld = 1000;
constexpr int kAutoConnectTick = 5;
// Transfer test length: ten millionths of a day.
constexpr int64_t kTransferTestUs = 864000;
// Transfer meter: a sample every third Wait_clock tick, shown as the mean of four.
constexpr int kMeterTickEvery = 3;
constexpr int kMeterSamples = 4;
constexpr int kMeterRedAbove = 450;
constexpr int kMeterScale = 15;
// Window heights.
constexpr int kShownHeight = 210;
constexpr int kCollapsedHeight = 222;
constexpr int kExpandedHeight = 454;
// Bound on a wait for timer ticks: twice the nominal time plus a margin, so a stalled
// timer never hangs the sequence.
int64_t TickWaitBoundMs(int ticks, int intervalMs) { return int64_t{ticks} * intervalMs * 2 + 100; }

int ParseByteBox(const Control& box) {
  const auto v = ParseInt(box.Caption());
  if (!v) return 0;
  return static_cast<int>(*v & 0xFF);
}

}  // namespace

int DelayLoopsFor(int cpuFactor, int divisor) { return cpuFactor / (divisor > 0 ? divisor : 1); }

Connection::Connection(Link& link, Polling& polling, SerialPort& ports, EnvironmentState& env,
                       ConnectionEvents& events)
    : link_(link), polling_(polling), ports_(ports), env_(env), events_(events) {
  EventLoop& loop = link_.Loop();
  waitClock_ = loop.CreateTimer(kWaitClockMs, true, [this] { WaitClockTick(); });
  fastTimer_ = loop.CreateTimer(kFastTimerMs, true, [this] { FastTick(); });
  polling_.SetFastTickCounter(&FastTicks);
  polling_.Slot = 1;

  UsbView& v = View();
  v.Form.SetCaption("Connect USB");
  v.Delay_group.SetHint("Turn controller Off when  running Speed test");
  v.CPU_sp.SetHint("(% of I7 870)");
  v.D100uS.SetCaption("100 uS");
  v.D50uS.SetCaption("50 uS");
  v.D25uS.SetCaption("25 uS");
  v.D10uS.SetCaption("10 uS");
  v.Refresh1.SetCaption("Scan Ports");
  v.Stop_usb.SetCaption("Close Usb");
  v.Loop_test.SetCaption("USB Test ");
  v.Save_params.SetCaption("Save Settings");
  v.auto_scan.SetCaption("Auto scan on start");
  v.Command_box.SetCaption("V");
  v.Data_box.SetCaption("100000");
  for (int i = 0; i < kPortRadios; ++i) PortRadio(i).SetEnabled(false);
}

Connection::~Connection() { polling_.SetFastTickCounter(nullptr); }

Control& Connection::PortRadio(int i) {
  UsbView& v = View();
  switch (i) {
    case 0: return v.selectcom_A;
    case 1: return v.selectcom_B;
    case 2: return v.selectcom_C;
    default: return v.selectcom_D;
  }
}

Control* Connection::DelayRadio(int divisor) {
  UsbView& v = View();
  switch (divisor) {
    case 1: return &v.D100uS;
    case 2: return &v.D50uS;
    case 4: return &v.D25uS;
    case 10: return &v.D10uS;
    default: return nullptr;
  }
}

void Connection::Show() {
  UsbView& v = View();
  v.Form.SetVisible(true);
  v.Form.SetHeight(kShownHeight);
  v.Form.SetCaption("Connect USB");
  v.Update_lab.SetCaption("");
  for (int d : {1, 2, 4, 10}) DelayRadio(d)->SetChecked(d == env_.UsbDelayDivisor);
}

bool Connection::WaitClockTicks(int n) {
  const int start = TickCount;
  return link_.Loop().WaitUntil([&] { return TickCount - start >= n || link_.Flags().Closing; },
                                TickWaitBoundMs(n, kWaitClockMs));
}

bool Connection::WaitFast(int n) {
  const int start = FastTicks;
  return link_.Loop().WaitUntil([&] { return FastTicks - start >= n || link_.Flags().Closing; },
                                TickWaitBoundMs(n, fastTimer_->Interval()));
}

int Connection::ScanComPorts() {
  if (RefusedWhileBusy()) return 0;
  // Probing the port the link holds would reset it under the link's feet.
  link_.ClosePort();
  for (int i = 0; i < kPortRadios; ++i) {
    PortRadio(i).SetEnabled(false);
    FoundPorts[static_cast<size_t>(i)] = -1;
  }
  int found = 0;
  for (int port = kScanFirstPort; port <= kScanLastPort; ++port) {
    if (ports_.SioReset(port, kScanQueueSize, kScanQueueSize) < 0) continue;
    if (found < kPortRadios) {
      Control& radio = PortRadio(found);
      radio.SetCaption(PortLabel(ports_, port));
      radio.SetEnabled(true);
      FoundPorts[static_cast<size_t>(found)] = port;
    }
    ++found;
    (void)ports_.SioDone(port);
  }
  return found;
}

void Connection::MeasureCpuSpeed() {
  EventLoop& loop = link_.Loop();
  fastTimer_->SetInterval(kFastTimerMs);
  const int64_t boundUs = TickWaitBoundMs(10, kFastTimerMs) * 1000;
  int64_t countedUs = 0;
  auto countPasses = [&] {
    const int start = FastTicks;
    const int64_t begin = loop.NowUs();
    int passes = 0;
    // Bounded by time too: a stalled fast timer must not hang the connection.
    while (FastTicks - start < 10 && loop.NowUs() - begin < boundUs && !link_.Flags().Closing) {
      CalibrationWorkUnit(loop);
      loop.PumpMessages();
      ++passes;
    }
    countedUs += loop.NowUs() - begin;
    return passes;
  };
  (void)countPasses();  // warm-up
  countedUs = 0;
  int total = 0;
  for (int i = 0; i < 3; ++i) total += countPasses();
  const auto loops = static_cast<int>(Nearest(total / 3.0));
  Message("Loops = " + std::to_string(loops) + " in 1/10th sec");
  CpuFactor = static_cast<int>(Nearest(loops / 100.0));
  Message("Cpu speed factor " + std::to_string(CpuFactor) + " loops/1mS");
  View().CPU_sp.SetCaption("CpuFactor = " + std::to_string(CpuFactor));
  fastTimer_->SetInterval(kFastTimerCalibratedMs);
  link_.DelayLoops = DelayLoopsFor(CpuFactor, env_.UsbDelayDivisor);
  // What one pass really took, so the pause can be slept instead of computed.
  link_.PassUs = total > 0 ? static_cast<double>(countedUs) / total : 0;
}

void Connection::MeasureTransferSpeed() {
  if (measuring_) return;
  measuring_ = true;
  EventLoop& loop = link_.Loop();
  UsbView& v = View();
  v.Loop_lab.SetCaption("1");
  TransferTimeout = false;
  link_.RepliesDecoded = 0;
  TransferCount = 0;
  const std::string line = v.Command_box.Caption() + v.Data_box.Caption() + "\n\r";
  // The monotonic clock: a test started just before midnight still ends.
  const int64_t startUs = loop.NowUs();
  const int64_t endUs = startUs + kTransferTestUs;
  while (loop.NowUs() <= endUs && !link_.Flags().Closing && link_.PortOpen) {
    link_.ReplyRead = false;
    link_.SendLine(line);
    ++TransferCount;
    v.Loop_lab.SetCaption(std::to_string(TransferCount));
    link_.PacketDelay();
    if (link_.SpinCount > kReplySpinLimit) TransferTimeout = true;
    (void)loop.WaitUntil([&] { return link_.ReplyRead || link_.Flags().Closing; }, 100);
  }
  if (TransferTimeout) Message("U timeout !");
  // What a job may stream: lost packets carry nothing.
  const int64_t tookUs = loop.NowUs() - startUs;
  link_.TransferPacketsPerSec = tookUs > 0 ? link_.RepliesDecoded * 1e6 / static_cast<double>(tookUs) : 0.0;
  Message("Cpu transfer speed " + std::to_string(TransferCount) + " pk/sec");
  Message("Packets lost " + std::to_string(TransferCount - link_.RepliesDecoded) + " pks");
  measuring_ = false;
}

bool Connection::RefusedWhileBusy() {
  if (events_.LinkChangeAllowed()) return false;
  View().Msg_list.AddItem(kLinkBusyText);
  return true;
}

int Connection::ConnectController(int port) {
  if (connecting_) return kConnectNoController;
  if (RefusedWhileBusy()) return kConnectRefused;
  UsbView& v = View();
  // The port is chosen before anything is torn down: without a choice the working link
  // stays as it is.
  int chosen = port;
  if (port < 1) {
    chosen = -1;
    for (int i = 0; i < kPortRadios; ++i) {
      if (PortRadio(i).Checked() && PortRadio(i).Enabled()) chosen = FoundPorts[static_cast<size_t>(i)];
    }
    if (chosen < 0) {
      v.Status_lab.SetCaption("Cannot Connect !");
      ConnectFailed = true;
      Message("Cannot talk to USB CNC controller ! try another Comm port");
      return kConnectNoController;
    }
  }
  connecting_ = true;
  int r = 0;

  // A retry starts from a closed port and forgets the previous controller; until it
  // succeeds the console shows itself offline.
  link_.UsbTimer().SetEnabled(false);
  const bool wasConnected = link_.Connected;
  link_.Connected = false;
  LinkUp = false;
  link_.ClosePort();
  link_.ClearQueue();
  polling_.ResetForConnection();
  if (wasConnected) events_.ConsoleConnected(false);

  v.Form.SetCaption("Testing CPU speed ");
  MeasureCpuSpeed();

  link_.PortNumber = chosen;
  if (port >= 1) {
    v.Form.SetCaption("Auto Connecting USB to port " + std::to_string(port + 1));
  } else {
    v.Connect_USB.SetEnabled(false);
  }

  Message("Opening comport " + std::to_string(link_.PortNumber + 1));
  link_.OpenPort();
  if (!link_.PortOpen) {
    // Nothing can answer on a port that did not open: say why instead of asking three times.
    std::string device = ports_.PortDescription(link_.PortNumber);
    const size_t paren = device.find(" (");
    if (paren != std::string::npos) device.resize(paren);
    if (link_.OpenError == kSioPortBusy) {
      Message("port busy: another program has " + device + " open");
    } else if (link_.OpenError == kSioNoSuchPort) {
      Message("no such port: " + (device.empty() ? "COM " + std::to_string(link_.PortNumber + 1) : device));
    } else {
      Message("cannot open " + device + ": Port opening error #" + std::to_string(link_.OpenError));
    }
    v.Connect_USB.SetEnabled(true);
    v.Stop_usb.SetEnabled(true);
    LinkUp = false;
    ConnectFailed = true;
    events_.ConsoleConnected(false);
    connecting_ = false;
    return kConnectNoController;
  }
  Message("Testing USB Adapter connection...");
  v.Refresh1.SetEnabled(false);

  for (int attempt = 0; attempt < kIdentityAttempts; ++attempt) {
    link_.LastReply.clear();
    link_.SendLine(commands::kIdentityRequest);
    (void)WaitFast(5);
    const std::string reply = link_.LastReply;
    if (reply.size() <= kShortReply) {
      r = 2;
    } else {
      v.Usb_version_lab.SetCaption(reply);
      if (reply == commands::kIdentityReply) v.Update_lab.SetCaption("USB Firmware Update Available");
      v.Data_list.AddItem(reply);
      if (reply.compare(0, 3, commands::kIdentityReply.substr(0, 3)) == 0) {
        v.Status_lab.SetCaption("USB Connected");
        Message("PC to USB connection OK ");
        r = 0;
        v.Refresh1.SetEnabled(false);
      } else if (reply.rfind("V12", 0) == 0) {
        v.Status_lab.SetCaption("not Connected");
        Message("Comm port is Not CNC device !");
        r = 1;
      }
    }
    if (r == 0) break;
  }

  if (r != 0) {
    v.Status_lab.SetCaption("Cannot Connect !");
    ConnectFailed = true;
    r = kConnectNoController;
    Message("Cannot talk to USB CNC controller ! try another Comm port");
  }
  (void)WaitClockTicks(11);

  auto handshake = [&](std::string_view pattern, std::string_view read, char mark) {
    link_.UsbTimer().SetEnabled(false);
    link_.ReplyArrived = false;
    link_.SendRawLine(pattern);
    (void)WaitClockTicks(6);
    // A reply left from the identity check must not pass for the read-back.
    link_.LastReply.clear();
    link_.SendLine(read);
    (void)WaitFast(5);
    const std::string& reply = link_.LastReply;
    return reply.size() > kShortReply && reply.rfind("US", 0) == 0 && reply[3] == mark;
  };

  if (r == 0) {
    Message("Testing CNC Hand Shake H ..");
    if (handshake(commands::kHandshakeHigh, commands::kHandshakeHighRead, 'N')) {
      Message("Handshake Hi OK");
    } else {
      r = kConnectHandshakeHigh;
      Message("Handshake Hi Fail" + link_.LastReply);
    }
  }
  (void)WaitClockTicks(11);
  if (r == 0) {
    env_.LastUsbPort = link_.PortNumber;
    Message("Testing CNC Hand Shake L..");
    if (handshake(commands::kHandshakeLow, commands::kHandshakeLowRead, 'R')) {
      Message("Handshake low OK");
    } else {
      r = kConnectHandshakeLow;
      Message("Handshake Lo Fail" + link_.LastReply);
    }
  }

  if (r != 0) {
    if (r < kConnectNoController) Message("CHECK CONTROLLER IS TURNED ON !");
    v.Connect_USB.SetEnabled(true);
    v.Stop_usb.SetEnabled(true);
    LinkUp = false;
    events_.ConsoleConnected(false);
    connecting_ = false;
    return r;
  }

  Message("USB to CNC comunication OK");
  link_.Connected = true;
  Message("Running CPU speed test");
  MeasureTransferSpeed();
  polling_.ResetForConnection();
  link_.UsbTimer().SetEnabled(true);
  v.Refresh1.SetEnabled(false);
  LinkUp = true;
  ConnectFailed = false;
  Message("Starting Spooler");
  events_.ConsoleConnected(true);
  env_.LastUsbPort = link_.PortNumber;
  (void)events_.SaveEnvironment();
  v.Form.SetVisible(false);
  connecting_ = false;
  return kConnectOk;
}

void Connection::StartUpAutoConnect() {
  UsbView& v = View();
  const std::string& flags = env_.CheckBoxFlags;
  if (flags.size() > 4 && flags[4] == 'Y') v.auto_scan.SetChecked(true);
  if (flags.size() > 5 && flags[5] == 'Y') v.Use_last_port.SetChecked(true);
  env_.AutoScan = v.auto_scan.Checked();
  env_.UseLastPort = v.Use_last_port.Checked();
  if (!LinkUp) {
    events_.ConsoleConnected(false);
    v.Refresh1.SetVisible(false);
    if (v.auto_scan.Checked()) (void)ScanComPorts();
  } else {
    v.Refresh1.SetVisible(true);
  }
  // Ports 0 and 1 are never probed, so a remembered 0 is no port at all.
  if (v.Use_last_port.Checked() && env_.LastUsbPort >= 1) {
    v.Status_lab.SetCaption("Autoconnecting on port" + std::to_string(env_.LastUsbPort + 1));
    link_.Loop().PumpMessages();
    (void)ConnectController(env_.LastUsbPort);
  }
}

void Connection::Stop_usbClick() {
  if (RefusedWhileBusy()) return;
  UsbView& v = View();
  v.Refresh1.SetVisible(true);
  v.Refresh1.SetEnabled(true);
  link_.UsbTimer().SetEnabled(false);
  link_.ClosePort();
  link_.Connected = false;
  link_.ClearQueue();
  LinkUp = false;
  for (int i = 0; i < kPortRadios; ++i) {
    PortRadio(i).SetChecked(false);
    PortRadio(i).SetEnabled(false);
  }
  v.Status_lab.SetCaption("Not connected");
  events_.ConsoleConnected(false);
}

void Connection::Save_paramsClick() { (void)events_.SaveEnvironment(); }

void Connection::DelayClick(int divisor) {
  Control* radio = DelayRadio(divisor);
  if (radio == nullptr) return;
  for (int d : {1, 2, 4, 10}) DelayRadio(d)->SetChecked(d == divisor);
  env_.UsbDelayDivisor = divisor;
  // Before the first measurement there is nothing to divide; keep the default.
  if (CpuFactor > 0) link_.DelayLoops = DelayLoopsFor(CpuFactor, divisor);
}

void Connection::Start_USBClick() {
  link_.Connected = true;
  link_.UsbTimer().SetEnabled(true);
}

void Connection::stop_timerClick() { link_.UsbTimer().SetEnabled(false); }

void Connection::CoordsClick() { link_.SendLine(commands::kRequestPositions); }

void Connection::StatusClick() { link_.SendLine(commands::kRequestBuffer); }

void Connection::CHECKClick() { link_.ReadReplyLine(); }

void Connection::TestClick() {
  const UsbView& v = View();
  if (v.Command_box.Caption().empty() && v.Data_box.Caption().empty()) return;
  link_.SendRawLine(v.Command_box.Caption() + v.Data_box.Caption() + "\n\r");
}

void Connection::Send12Click() {
  const UsbView& v = View();
  link_.SendPacket(CommandRecord(static_cast<uint8_t>(ParseByteBox(v.N1)),
                                 {static_cast<uint8_t>(ParseByteBox(v.N2)), static_cast<uint8_t>(ParseByteBox(v.N3)),
                                  static_cast<uint8_t>(ParseByteBox(v.N4))}));
}

void Connection::Response_labClick() { View().Response_lab.SetCaption(""); }

void Connection::MaxiClick() {
  UsbView& v = View();
  if (v.Form.Height() >= kExpandedHeight) {
    v.Form.SetHeight(kCollapsedHeight);
    v.Maxi.SetCaption("v");
    v.Show_data_on.SetChecked(false);
  } else {
    v.Form.SetHeight(kExpandedHeight);
    v.Maxi.SetCaption("^");
  }
}

void Connection::SelectPortClick(int radio) {
  if (radio < 0 || radio >= kPortRadios) return;
  for (int i = 0; i < kPortRadios; ++i) PortRadio(i).SetChecked(i == radio);
}

void Connection::WaitClockTick() {
  ++TickCount;
  if (StartTicks < kStartTicksHeld) {
    ++StartTicks;
    // Auto-connect waits on this timer's ticks, so it must run after this handler returns.
    if (StartTicks == kAutoConnectTick) link_.Loop().Post([this] { StartUpAutoConnect(); });
  }
  TransferMeterTick();
  polling_.CheckSilence();
}

void Connection::FastTick() { ++FastTicks; }

void Connection::TransferMeterTick() {
  if (++meterTicks_ < kMeterTickEvery) return;
  meterTicks_ = 0;
  const int sample = link_.PacketsThisPeriod * 10;
  link_.PacketsThisPeriod = 0;
  samples_[static_cast<size_t>(sampleCount_++)] = sample;
  const Color color = sample <= kMeterRedAbove ? kSilver : kRed;
  if (sampleCount_ < kMeterSamples) {
    events_.ShowTransferSpeed("", -1, color);
    return;
  }
  const int average = static_cast<int>(Nearest((samples_[0] + samples_[1] + samples_[2] + samples_[3]) / 4.0));
  sampleCount_ = 0;
  events_.ShowTransferSpeed("Usb transfer Speed " + std::to_string(average) + " bk/s", average / kMeterScale, color);
}

}  // namespace wendlar
