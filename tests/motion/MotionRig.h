// Stand-ins for the console, the link and the debug log, and a machine wired from them.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "config/MachineConfig.h"
#include "core/HomeDir.h"
#include "core/RunFlags.h"
#include "motion/MotionPorts.h"
#include "motion/SegmentBuffer.h"
#include "motion/SpeedTables.h"
#include "support/TempDir.h"

namespace wendlar::testing {

// Records every queued command and plays the controller's buffer state.
class FakeLink : public CommandSink, public ControllerBuffer {
 public:
  std::vector<CommandRecord> records;
  bool connected = true;
  uint16_t head = 0, tail = 0;
  int size = 4096;
  int polls = 0;
  std::function<bool()> onPoll = [] { return true; };  // the default never frees room
  std::function<void()> onQueue = [] {};

  void QueueCommand(const CommandRecord& record) override {
    records.push_back(record);
    onQueue();
  }
  bool Connected() const override { return connected; }
  uint16_t BufHead() const override { return head; }
  uint16_t BufTail() const override { return tail; }
  int BufferSize() const override { return size; }
  bool PollWhileWaiting() override {
    ++polls;
    return onPoll();
  }

  // The queued records with the given code.
  std::vector<CommandRecord> WithCode(uint8_t code) const {
    std::vector<CommandRecord> out;
    for (const auto& r : records) {
      if (r.Code() == code) out.push_back(r);
    }
    return out;
  }
};

struct FakeFeeds : FeedSource {
  bool useFeed = true;
  int feedIndex = 100;
  int jobMode = 0;
  double currentFeed = 0;
  int spoolXYFeed = 0, spoolZFeed = 0;

  bool UseFeed() const override { return useFeed; }
  int FeedIndex() const override { return feedIndex; }
  int JobMode() const override { return jobMode; }
  double CurrentFeed() const override { return currentFeed; }
  int SpoolXYFeed() const override { return spoolXYFeed; }
  int SpoolZFeed() const override { return spoolZFeed; }
};

struct FakeDebugLog : DebugLog {
  bool on = true;
  std::vector<std::string> lines;
  bool DebugOn() const override { return on; }
  void WriteDebugLine(std::string_view line) override { lines.emplace_back(line); }
};

// An inch machine with 8 steps per 0.001 in, the usual planner settings and a feed ceiling
// of 100, the 100-step table built at full rate (Cut_timer 0).
struct MotionRig {
  TempDir dir;
  HomeDir home{dir.Path()};
  ConfigState config = MakeConfig();
  FakeFeeds feeds;
  FakeLink link;
  RunFlags flags;
  SpeedTables tables{config, home, feeds};
  SegmentBuffer buffer{config, tables, link, link, flags};

  MotionRig() { Rebuild(100); }

  void Rebuild(int steps) {
    if (!tables.BuildSpeedTable(steps)) ADD_FAILURE() << "Speed_table.txt not written";
  }

  static ConfigState MakeConfig() {
    ConfigState c;
    SetInchUnits(c.Units);
    MachineConfig& m = c.Config;
    m.Xscale = m.Yscale = m.Zscale = 8.0;
    m.Cut_timer = 0;
    m.CV_Max = 80;
    m.Z_raise_vel = 80;
    m.Z_start_vel = 10;
    m.Slow_safe = 10;
    m.Sharp_ang_paz = 30;
    m.Short_vlen_steps = 50;
    m.Mass_comp = 1;
    return c;
  }
};

}  // namespace wendlar::testing
