// The controller link: the serial port, line and packet exchange, reply decoding and the
// hand-off of command records to the wire.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "core/EventLoop.h"
#include "core/RunFlags.h"
#include "link/CommandRecord.h"
#include "link/LinkInterfaces.h"
#include "link/UsbView.h"
#include "link/serial/SerialPort.h"

namespace wendlar {

// Serial settings the controller expects on a real line (a USB virtual port ignores them).
inline constexpr int kRxQueueSize = 2048;
inline constexpr int kTxQueueSize = 1024;
inline constexpr int kBaudCode19200 = 6;
inline constexpr int kParityNone = 0;
inline constexpr int kOneStopBit = 0;
inline constexpr int kDataBits = 8;

// Receive-queue polls SendLine makes before it gives up on a reply.
inline constexpr int kReplySpinLimit = 100000;
// Bytes ReadReplyLine takes at most for one line.
inline constexpr int kMaxReplyReads = 5001;
// Traffic-monitor lines kept before the monitor is cleared.
inline constexpr size_t kTrafficMonitorLines = 500;
// "record_usb" lines after which recording stops and the run is aborted.
inline constexpr size_t kRecordUsbLines = 300;
// Link timer intervals: idle polling and while a job streams.
inline constexpr int kLinkTickIdleMs = 15;
inline constexpr int kLinkTickStreamingMs = 50;
// DelayLoops before the CPU-speed test has measured anything.
inline constexpr int kDefaultDelayLoops = 100;
// Code of the stop record, which never waits in the queue.
inline constexpr uint8_t kStopCode = 128;

class Link {
 public:
  // The link timer USB_TIMER is created here, stopped; the connection code starts it.
  Link(EventLoop& loop, SerialPort& port, RunFlags& flags);
  Link(const Link&) = delete;
  Link& operator=(const Link&) = delete;
  ~Link();

  // --- Upward wiring (each may be null) ---
  void SetReplyHandler(LinkReplyHandler* handler) { replyHandler_ = handler; }
  void SetConsole(LinkConsole* console) { console_ = console; }
  // The diagnostics window installs its "record_usb" list here.
  void SetPacketRecorder(PacketRecorder* recorder) { recorder_ = recorder; }
  // The polling code's status-request rotation, called from every link tick.
  void SetPoller(LinkPoller* poller) { poller_ = poller; }

  UsbView& View() { return view_; }
  Timer& UsbTimer() { return *usbTimer_; }
  EventLoop& Loop() { return loop_; }
  RunFlags& Flags() { return flags_; }

  // --- Port ---
  // Opens PortNumber with the controller's settings; on failure shows
  // "Port opening error #" and the code in the status label.
  void OpenPort();
  // Closes the port and shows "Return code " and SioDone's result.
  void ClosePort();

  // --- Lines ---
  // Sends one complete line (terminator included) and reads the reply after a bounded
  // spin on the receive queue. Never pumps messages. An empty line sends nothing.
  void SendLine(std::string_view text);
  // Writes the characters one by one and a CR; no queue clearing, no reply read.
  // Used for the handshake lines and the connection window's test line.
  void SendRawLine(std::string_view text);
  // Reads what has arrived, up to a CR, and decodes it when it holds more than 2
  // characters or is an offline report ("E1", "E2").
  void ReadReplyLine();
  // Recognises a reply line, fills its reply buffer and calls its handler.
  void DecodeReply(const std::string& line);

  // --- Records ---
  // Sends one record as an "S3" packet line at once.
  void SendPacket(const CommandRecord& record);
  // Hands a record to the wire: at once with pacing while DirectSend, otherwise into the
  // queue the link tick drains. Never waits. Discarded while not Connected, except the
  // stop record, which takes the StopMotion path.
  void QueueCommand(const CommandRecord& record);

  // --- The motion gate ---
  // The stop record goes out at once, ahead of everything queued (the queue is emptied),
  // whenever the port is open; from then on every record that moves the machine is
  // dropped until the stopped work is over (see ConsoleFree, WorkStarts) or AllowMotion.
  void StopMotion() { StopMotion(true); }
  // The gate alone, for a controller that has stopped by itself (sendStop false).
  void StopMotion(bool sendStop);
  // A new run starts: motion records pass again.
  void AllowMotion() { motionStopped_ = false; }
  bool MotionStopped() const { return motionStopped_; }
  // When the gate may open by itself: nothing runs any more, or new work has begun since
  // the stop. Without them the gate stays shut until AllowMotion.
  std::function<bool()> ConsoleFree;
  std::function<uint32_t()> WorkStarts;
  // Motion records dropped by the gate (diagnostics and tests).
  uint64_t MotionRefused = 0;
  // The job line the records sent now belong to, and who hears of every record sent.
  int32_t RecordTag = 0;
  std::function<void(const CommandRecord&, int32_t line)> OnRecordSent;
  // SendPacket, PacketDelay and the interleaved status requests of streaming.
  void SendPacketPaced(const CommandRecord& record);
  // The pause of DelayLoops calibration passes, pumping messages throughout; slept for
  // DelayLoops x PassUs once the CPU-speed test has measured a pass.
  void PacketDelay();
  // Switches direct sending for a job on or off (link tick 50/15 ms, gauge colour).
  void SetDirectSend(bool on);
  // Empties the queue; the connection code calls it whenever a connection is made.
  void ClearQueue() { queue_.clear(); }
  // True while a queued record waits for a link tick.
  bool CommandPending() const { return !queue_.empty(); }
  size_t QueuedCount() const { return queue_.size(); }

  // The handler of USB_TIMER: sends one queued record, else leaves the slot to the poller.
  void LinkTick();

  // --- Reads built on records and lines ---
  // Record 138 with the three selectors, then "R5", until a valid memory report came;
  // at most 9 tries, then "R5 read fail" in the message list. True when read.
  [[nodiscard]] bool ReadControllerWord(uint8_t sel1, uint8_t sel2, uint8_t sel3);
  // Record 70 for variable set n, then "R4" with the link timer held. True when a reply
  // of at least 6 characters arrived; the wait for it is bounded.
  [[nodiscard]] bool ReadVariables(uint8_t n);

  // --- Link state ---
  int PortNumber = 0;
  bool PortOpen = false;
  int OpenError = 0;  // SioReset's code when the last OpenPort failed, else 0
  std::string LastReply;
  char LastReplyKind = 0;
  bool ReplyArrived = false;
  bool ReplyRead = false;
  int SpinCount = 0;
  int RepliesDecoded = 0;
  int PacketsThisPeriod = 0;
  bool InLinkTick = false;
  bool DirectSend = false;
  bool Connected = false;
  int DelayLoops = kDefaultDelayLoops;
  // Real time one calibration pass took in the last CPU-speed test; 0 until measured.
  double PassUs = 0;
  // Packets per second the last transfer test carried (answered ones only); 0 until measured.
  double TransferPacketsPerSec = 0;

  // Interleaving of status requests while streaming: packet position 0..10 in the
  // eleven-packet cycle, and the counters that put R1 in place of R3 and R4 in place of R2.
  // R4Count is shared with the polling code's wait loop.
  int InterleaveCount = 0;
  int R1Count = 0;
  int R4Count = 1;

  std::array<uint8_t, 5> InfoReply{};
  std::array<uint8_t, 6> BufferReply{};
  std::array<uint16_t, 10> PositionReply{};
  std::array<uint8_t, 12> IoReply{};
  std::array<uint8_t, 5> MemoryReply{};

 private:
  void ShowTraffic(std::string line);
  // SendLine, for a line that moves the machine when movesMachine: such a line is held back
  // when a signal has asked for a stop.
  void Exchange(std::string_view text, bool movesMachine);
  // True when a record that moves the machine may leave now.
  bool MotionGateOpen();
  // A signal asked for a stop: the stop record goes out once, before anything else.
  void StopOnSignal();

  EventLoop& loop_;
  SerialPort& port_;
  RunFlags& flags_;
  UsbView view_;
  std::unique_ptr<Timer> usbTimer_;
  std::deque<CommandRecord> queue_;
  std::string replyLine_;  // read buffer of ReadReplyLine, kept so a reply does not allocate
  bool motionStopped_ = false;
  uint32_t workStartsAtStop_ = 0;
  bool signalStopSent_ = false;

  LinkReplyHandler* replyHandler_ = nullptr;
  LinkConsole* console_ = nullptr;
  PacketRecorder* recorder_ = nullptr;
  LinkPoller* poller_ = nullptr;
};

}  // namespace wendlar
