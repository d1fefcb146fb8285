// The console's send primitives: every console action reaches the controller through these.
#pragma once

#include <cstdint>
#include <optional>

#include "console/ConsoleState.h"
#include "console/ConsoleView.h"
#include "core/RunFlags.h"
#include "link/CommandRecord.h"
#include "link/Link.h"

namespace wendlar {

class CommandSender {
 public:
  CommandSender(Link& link, ConsoleState& state, ConsoleView& view, RunFlags& flags)
      : link_(link), state_(state), view_(view), flags_(flags) {}

  // Through the link's queue, only while Connected.
  void SendCommand(uint8_t code, uint8_t b1, uint8_t b2);
  void SendCommand5(uint8_t code, uint8_t b1, uint8_t b2, uint8_t b3, uint8_t b4, uint8_t b5);
  // At once, bypassing the queue, only while Connected.
  void SendCommandNow(uint8_t code, uint8_t b1, uint8_t b2);
  void SendCommand5Now(uint8_t code, uint8_t b1, uint8_t b2, uint8_t b3, uint8_t b4, uint8_t b5);
  // Whole records, queued or at once, only while Connected.
  void Send(const CommandRecord& record);
  void SendNow(const CommandRecord& record);
  // Queued whether or not Connected (outputs, dwells, spindle speed); the link drops it
  // while not connected so nothing stale moves the machine after a reconnect.
  void Queue(const CommandRecord& record) { link_.QueueCommand(record); }

  // A record carrying a 24-bit position that may not have fitted: when it did not, nothing
  // is sent, Progress shows "Long3 overflow" and a running job stops. True when sent.
  bool SendChecked(const std::optional<CommandRecord>& record, bool now);

  // Waits for n link ticks. Ends early (false) when the link stops polling or on a stop.
  bool WaitPolls(int n);
  // Waits until the controller has reported busy and then not busy. Ends on AbortRun, when
  // the link stops polling, when busy was never seen within a few polls (the move may have
  // finished between two reports), and after deadlineMs of motion (false).
  bool WaitMoveDone(int64_t deadlineMs = kMoveDeadlineMs);
  // No single move of this machine takes longer; a busy report past it is a fault.
  static constexpr int64_t kMoveDeadlineMs = 30 * 60 * 1000;
  // WaitPolls does not end on AbortRun: the stop sequence itself waits for polls after
  // setting it.

  // The link's tick counter that WaitPolls counts (the console's own PollCount until set).
  void CountPollsOf(int& counter) { pollCount_ = &counter; }

  bool Connected() const { return link_.Connected; }
  Link& LinkRef() { return link_; }

 private:
  bool LinkPolling() const;

  Link& link_;
  ConsoleState& state_;
  ConsoleView& view_;
  RunFlags& flags_;
  int* pollCount_ = &state_.PollCount;
};

}  // namespace wendlar
