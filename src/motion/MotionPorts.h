// The seams through which the motion layer reaches the console, the link and the debug log.
#pragma once

#include <cstdint>
#include <string_view>

#include "link/CommandRecord.h"

namespace wendlar {

// Where encoded motion records go: the console's command queue. The console implements it.
class CommandSink {
 public:
  virtual ~CommandSink() = default;
  // Hands one record to the queue (sent at once while direct sending is on).
  virtual void QueueCommand(const CommandRecord& record) = 0;
  // The same for a record that a job line queued earlier (segments leave at a later flush).
  virtual void QueueFromLine(const CommandRecord& record, int32_t line) {
    (void)line;
    QueueCommand(record);
  }
  // True while a controller is connected; motion records are dropped otherwise.
  virtual bool Connected() const = 0;
};

// The controller's ring buffer as the status polling keeps it. The link implements it.
class ControllerBuffer {
 public:
  virtual ~ControllerBuffer() = default;
  virtual uint16_t BufHead() const = 0;
  virtual uint16_t BufTail() const = 0;
  // 4096 entries, or 4000 from firmware 100 on.
  virtual int BufferSize() const = 0;
  // One pass of waiting: lets the link exchange status with the controller (refreshing head
  // and tail) and pumps events. False when the link is no longer polling, so head and tail
  // cannot change any more and the wait must end.
  virtual bool PollWhileWaiting() = 0;
};

// The feed inputs the planner reads at every flush: the console's feed box and the job's
// feeds. The console (with the job engines' state) implements it.
class FeedSource {
 public:
  virtual ~FeedSource() = default;
  // The `Use_feed` box is checked: the operator's `FeedIndex` overrides the job's feed.
  virtual bool UseFeed() const = 0;
  virtual int FeedIndex() const = 0;
  // 1 while a spooler job runs, else a G-code job.
  virtual int JobMode() const = 0;
  // The G-code reader's feed, user units per minute.
  virtual double CurrentFeed() const = 0;
  // The spooler file's contour and plunge feeds.
  virtual int SpoolXYFeed() const = 0;
  virtual int SpoolZFeed() const = 0;
};

// The console's optional debug file.
class DebugLog {
 public:
  virtual ~DebugLog() = default;
  virtual bool DebugOn() const = 0;
  // Writes one line to the debug file.
  virtual void WriteDebugLine(std::string_view line) = 0;
};

}  // namespace wendlar
