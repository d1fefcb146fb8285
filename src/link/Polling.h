// Status polling: the link tick's request rotation, the waits' polling, report decoding and
// the watch on a controller that has gone silent.
#pragma once

#include <array>
#include <cstdint>

#include "link/Link.h"
#include "link/LinkInterfaces.h"

namespace wendlar {

// What the controller last reported, decoded. The console's reactions read and complete it.
struct ControllerReport {
  int FirmwareVersion = 0;
  int SpeedSteps = 100;
  int BufferSize = 4096;
  bool VersionSeen = false;
  uint16_t BufTail = 0;
  uint16_t BufHead = 0;
  uint8_t Inputs = 0;     // buffer report byte 4
  uint8_t StateByte = 0;  // buffer report byte 5
  int32_t X = 0, Y = 0, Z = 0, W = 0;  // steps
  int CurrentSpeedIndex = 0;
  int ToolNumber = 0;
  int ActualRpm = 0;
};

// The console's reactions to decoded reports; implemented above the link.
class StatusReceiver {
 public:
  virtual ~StatusReceiver() = default;
  // After every buffer report (BufTail, BufHead, Inputs and StateByte are current).
  virtual void ShowStatus() = 0;
  // After every information report; the receiver decodes InfoReply itself.
  virtual void ShowInfo() = 0;
  // After every position report: X, Y and the third axis (W when thirdIsW).
  virtual void ShowPositions(int32_t x, int32_t y, int32_t third, bool thirdIsW) = 0;
  // The output lamps from an input report of older firmware (spindle 1, 2, aux 1, 2).
  virtual void ShowOutputLamps(const std::array<bool, 4>& on) = 0;
  // A memory report arrived (the tool changer shows it).
  virtual void ShowMemory() {}
  // No valid reply for kSilenceLimitMs while connected; called once per silence.
  virtual void ControllerSilent() = 0;
  // The first reply after a silence.
  virtual void ControllerBack() {}
};

// Time without any reply, while connected, after which the controller counts as silent.
inline constexpr int64_t kSilenceLimitMs = 2000;
// Firmware versions that change what is polled and where values come from.
inline constexpr int kFirmwareWide = 100;
inline constexpr int kFirmwareSpeedInInfo = 104;

class Polling : public LinkPoller, public LinkReplyHandler {
 public:
  // Installs itself as the link's poller and reply handler.
  Polling(Link& link, ControllerReport& report);
  ~Polling() override;
  Polling(const Polling&) = delete;
  Polling& operator=(const Polling&) = delete;

  void SetReceiver(StatusReceiver* receiver) { receiver_ = receiver; }
  // The connection window's fastTimer1 counter, which PollWhileWaiting counts.
  void SetFastTickCounter(const int* fastTicks) { fastTicks_ = fastTicks; }

  // --- Requests; each is one SendLine, so its answer is decoded before it returns.
  void RequestInfo();
  void RequestBufferStatus();
  void RequestPositions();
  void RequestIoStatus();
  void RequestMemory();

  // One pass of polling for a caller waiting for buffer room. False when the link no
  // longer polls (not connected, polling held, timer stopped, controller silent or a stop),
  // so head and tail cannot change and the wait must end.
  [[nodiscard]] bool PollWhileWaiting();
  // True while status requests can refresh the report.
  bool LinkPolling() const;

  // Forgets what a previous controller reported; the connection calls it every time.
  void ResetForConnection();
  // Notes the time of the last reply and raises ControllerSilent once the limit passes.
  void CheckSilence();
  // True from a silence until the next reply.
  bool Silent() const { return silent_; }

  // --- LinkPoller: the rotation of LinkTick.
  void OnLinkTick(bool recordSent) override;
  // --- LinkReplyHandler: decoding of each report kind.
  void OnInfoReply() override;
  void OnBufferReply() override;
  void OnPositionReply() override;
  void OnIoReply() override;
  void OnMemoryReply() override;

  // --- Polling state.
  int ReadRequest = 0;  // 5: a memory report is wanted at the next rotation slot
  bool BufferFresh = false;
  bool PositionsFresh = false;
  bool PollingEnabled = true;
  int PollCount = 0;  // +1 every link tick
  int TickCounter = 0;
  int Slot = 1;       // rotation slot 1..5
  int WaitR1Count = 0;

 private:
  void NoteReply();
  bool WaitFastTicks(int n);

  Link& link_;
  ControllerReport& report_;
  StatusReceiver* receiver_ = nullptr;
  const int* fastTicks_ = nullptr;
  int lastRepliesDecoded_ = 0;
  int64_t lastReplyUs_ = 0;
  bool silent_ = false;
};

// Holds the status requests of the link tick for a scope and enables them again however the
// scope ends (reads that must not be interleaved with polling, waits of the service windows).
class PollingHeld {
 public:
  explicit PollingHeld(Polling& polling) : polling_(polling) { polling_.PollingEnabled = false; }
  ~PollingHeld() { polling_.PollingEnabled = true; }
  PollingHeld(const PollingHeld&) = delete;
  PollingHeld& operator=(const PollingHeld&) = delete;

 private:
  Polling& polling_;
};

// A signed 24-bit value from three bytes, low byte first.
int32_t Signed24(uint8_t lo, uint8_t mid, uint8_t hi);

}  // namespace wendlar
