// The connection window's logic: port scan, calibration, the identity check and handshakes,
// start-up auto-connect, closing, the delay setting, the test buttons and the window's timers.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "config/Environment.h"
#include "core/Colors.h"
#include "core/EventLoop.h"
#include "link/Link.h"
#include "link/Polling.h"
#include "link/serial/SerialPort.h"

namespace wendlar {

// What the connection tells the console and the environment window.
class ConnectionEvents {
 public:
  virtual ~ConnectionEvents() = default;
  // The console's connected or not-connected look, and its "Functions" menu.
  virtual void ConsoleConnected(bool connected) = 0;
  // Writes Spooler.cfg; false when it could not be written.
  virtual bool SaveEnvironment() = 0;
  // The console's transfer bar: caption (empty to keep it), position and colour.
  virtual void ShowTransferSpeed(const std::string& caption, int position, Color color) = 0;
  // False while a job or another long operation holds the console: connecting, scanning
  // or closing would pull the link from under it.
  virtual bool LinkChangeAllowed() const { return true; }
};

// Result codes of ConnectController.
inline constexpr int kConnectOk = 0;
inline constexpr int kConnectNoController = 10;
inline constexpr int kConnectHandshakeHigh = 6;
inline constexpr int kConnectHandshakeLow = 7;
inline constexpr int kConnectRefused = 11;  // refused while the console is busy

// The message list's line when a job or another long operation holds the link.
inline constexpr const char* kLinkBusyText = "Stop the running job before changing the connection";

// Timer intervals of the window.
inline constexpr int kWaitClockMs = 50;
inline constexpr int kFastTimerMs = 10;
inline constexpr int kFastTimerCalibratedMs = 2;
// Port indexes the scan probes (the operator's COM3 to COM31) and radios it fills.
inline constexpr int kScanFirstPort = 2;
inline constexpr int kScanLastPort = 30;
inline constexpr int kPortRadios = 4;

class Connection {
 public:
  // Creates the window's Wait_clock and fastTimer1 (both running) and hands the fast tick
  // counter to the polling code.
  Connection(Link& link, Polling& polling, SerialPort& ports, EnvironmentState& env, ConnectionEvents& events);
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;
  ~Connection();

  UsbView& View() { return link_.View(); }

  // On showing: height, caption, blank update label, the radio of UsbDelayDivisor.
  void Show();

  // Probes indexes 2..30 and offers the first four that open. Returns how many opened.
  int ScanComPorts();
  // Counts calibration passes per 100 ms; sets CpuFactor and DelayLoops.
  void MeasureCpuSpeed();
  // Streams test lines for about 0.86 s on the monotonic clock and reports rate and losses.
  void MeasureTransferSpeed();
  // The connection sequence on `port`, or on the checked radio when port is below 1.
  // Returns kConnectOk or the failure code; every outcome is in the message list.
  int ConnectController(int port);
  // The start-up step of Wait_clock, run after its handler has returned.
  void StartUpAutoConnect();

  // --- Window events.
  void Connect_USBClick() { (void)ConnectController(-1); }
  void Refresh1Click() { (void)ScanComPorts(); }
  // "Close Usb".
  void Stop_usbClick();
  void Loop_testClick() { MeasureTransferSpeed(); }
  void Save_paramsClick();
  // A delay radio: 1, 2, 4 or 10.
  void DelayClick(int divisor);
  void Start_USBClick();
  void stop_timerClick();
  void CoordsClick();
  void StatusClick();
  void CHECKClick();
  void TestClick();
  void Send12Click();
  void Response_labClick();
  void MaxiClick();
  // A port radio A..D (0..3) chosen.
  void SelectPortClick(int radio);

  // --- Timer handlers.
  void WaitClockTick();
  void FastTick();

  // --- State.
  int CpuFactor = 0;
  bool LinkUp = false;
  bool ConnectFailed = false;
  int TickCount = 0;
  int FastTicks = 0;
  int StartTicks = 0;
  int TransferCount = 0;
  bool TransferTimeout = false;
  std::array<int, kPortRadios> FoundPorts{-1, -1, -1, -1};

  Timer& WaitClock() { return *waitClock_; }
  Timer& FastTimer() { return *fastTimer_; }

 private:
  // Shows why and returns true when the console is busy with a long operation.
  bool RefusedWhileBusy();
  Control& PortRadio(int i);
  Control* DelayRadio(int divisor);
  void Message(std::string text) { View().Msg_list.AddItem(std::move(text)); }
  bool WaitClockTicks(int n);
  bool WaitFast(int n);
  void TransferMeterTick();

  Link& link_;
  Polling& polling_;
  SerialPort& ports_;
  EnvironmentState& env_;
  ConnectionEvents& events_;
  std::unique_ptr<Timer> waitClock_;
  std::unique_ptr<Timer> fastTimer_;
  bool connecting_ = false;
  bool measuring_ = false;
  int meterTicks_ = 0;
  std::array<int, 4> samples_{};
  int sampleCount_ = 0;
};

// DelayLoops for a CpuFactor and a delay divisor (integer division; divisor 0 counts as 1).
int DelayLoopsFor(int cpuFactor, int divisor);

}  // namespace wendlar
