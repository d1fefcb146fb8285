// Upward calls of the link: what the console, the polling code and the diagnostics implement.
#pragma once

#include <string>

#include "core/Colors.h"

namespace wendlar {

// Reacts to decoded reports; called after the reply buffer of that kind is filled.
class LinkReplyHandler {
 public:
  virtual ~LinkReplyHandler() = default;
  virtual void OnInfoReply() {}      // "1." into InfoReply
  virtual void OnBufferReply() {}    // "2." into BufferReply
  virtual void OnPositionReply() {}  // "3." into PositionReply
  virtual void OnIoReply() {}        // "4." into IoReply
  virtual void OnMemoryReply() {}    // "5." into MemoryReply
};

// What the link tells the main console.
class LinkConsole {
 public:
  virtual ~LinkConsole() = default;
  // "E1"/"E2" arrived: show "Controller OfflIne" in the status label and switch the
  // control panel to its offline set.
  virtual void ControllerOffline() = 0;
  // Colour of the buffer gauge: green while streaming directly, dark red when idle.
  virtual void SetBufferGaugeColor(Color color) = 0;
};

// The diagnostics window's "record_usb" list of sent packets.
class PacketRecorder {
 public:
  virtual ~PacketRecorder() = default;
  // True while the "record_usb" box is ticked.
  virtual bool RecordingOn() const = 0;
  // Appends one line to the variables list and returns the number of lines it holds.
  virtual size_t AppendRecord(std::string line) = 0;
  // Unticks the box.
  virtual void StopRecording() = 0;
};

// The status-request rotation of the link tick, supplied by the polling code.
class LinkPoller {
 public:
  virtual ~LinkPoller() = default;
  // Called on every link tick after the queue step; recordSent tells whether this tick
  // sent a queued record (such a tick makes no status request).
  virtual void OnLinkTick(bool recordSent) = 0;
};

}  // namespace wendlar
