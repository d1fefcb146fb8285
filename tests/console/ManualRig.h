// The link, the console and the manual-control modules wired to the simulated controller
// on virtual time, with a stand-in for the status polling (R2 and R3 every third link tick).
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "console/ManualControl.h"
#include "core/VirtualEventLoop.h"
#include "link/serial/InProcessSerialPort.h"
#include "sim/SimController.h"
#include "support/ScriptedPrompts.h"
#include "support/TempDir.h"

namespace wendlar::testing {

using Record = std::array<uint8_t, 11>;  // code, b1..b10 as the controller received them

// A record from its leading bytes; the rest are 0.
inline Record Rec(std::initializer_list<uint8_t> bytes) {
  Record r{};
  size_t i = 0;
  for (uint8_t b : bytes) r[i++] = b;
  return r;
}

struct RigFeeds : FeedSource {
  bool UseFeed() const override { return true; }
  int FeedIndex() const override { return 50; }
  int JobMode() const override { return 1; }
  double CurrentFeed() const override { return 0; }
  int SpoolXYFeed() const override { return 21; }
  int SpoolZFeed() const override { return 22; }
};

struct RigDebug : DebugLog {
  bool on = true;
  std::vector<std::string> lines;
  bool DebugOn() const override { return on; }
  void WriteDebugLine(std::string_view line) override { lines.emplace_back(line); }
};

class ManualRig : private LinkPoller, private LinkReplyHandler, private CommandSink, private ControllerBuffer {
 public:
  explicit ManualRig(sim::SimOptions options = {}) : sim(loop, std::move(options)) {
    sys.console.Create();
    SetInchUnits(sys.config.Units);
    MachineConfig& m = sys.config.Config;
    m.Xscale = m.Yscale = m.Zscale = 8.0;
    m.R_cal = 2.0;
    m.R_vel_max = 200;
    m.R_vel_start = 300;  // low byte 44
    m.Z_start_vel = 10;
    m.Z_1st_drop = 40;
    m.Z_raise_vel = 0x150;  // 336: the low byte (0x50) differs from its speed index
    m.XYhome_vel = 0x11E;   // low byte 0x1E
    m.Zhome_vel = 20;
    m.XY_home_dist = 0.25;  // 2000 steps
    m.Z_home_dist = 0.1;    // 800 steps
    m.Jogfastvel = 150;
    m.Jogslowvel = 20;
    m.Slow_safe = 0x10A;  // low byte 0x0A
    m.CV_Max = 120;
    m.Spind_low = 8000;
    m.Spind_hi = 24000;
    m.Cut_timer = 0;
    m.Rap_timer = 0;
    sys.config.ToolAboveWorkNow = 0.5;
    sys.console.State.SpindleRpm = 8000;
    Rebuild(250);

    sys.link.SetPoller(this);
    sys.link.SetReplyHandler(this);
    manual.Context.hooks.HomeXNYP = [this] { return homeXNYP; };
    manual.Context.hooks.PlasmaMode = [this] { return plasma; };
    manual.Jog.SetJogMode(0);
  }
  ~ManualRig() override {
    sys.link.SetPoller(nullptr);
    sys.link.SetReplyHandler(nullptr);
  }

  void Rebuild(int steps) {
    if (!tables.BuildSpeedTable(steps)) ADD_FAILURE() << "Speed_table.txt not written";
  }

  // Opens the port and starts the link timer, as a finished connection leaves them.
  void Connect() {
    sys.link.PortNumber = kFirstDevicePort;
    sys.link.OpenPort();
    sys.link.Connected = true;
    sys.link.UsbTimer().SetEnabled(true);
    InitialiseController();
  }
  // Runs the controller's initialisation records by hand (acceleration settings, table).
  void InitialiseController() {
    sys.link.SendPacket(CommandRecord(11, {210, 210, 0, 1, 0, 25, 150}));
    sys.link.SendPacket(CommandRecord(30, {1}));
  }
  void RunMs(int64_t ms) { loop.RunFor(ms); }

  // Every packet the controller took, from the first one after `from`.
  std::vector<Record> Received(size_t from = 0) const {
    std::vector<Record> out;
    size_t i = 0;
    for (const auto& r : sim.TraceRecords()) {
      if (i++ >= from && r.checksumOk) out.push_back(r.bytes);
    }
    return out;
  }
  std::vector<Record> ReceivedCode(uint8_t code) const {
    std::vector<Record> out;
    for (const auto& r : Received()) {
      if (r[0] == code) out.push_back(r);
    }
    return out;
  }
  size_t Mark() const { return sim.TraceRecords().size(); }
  // The packets received since `from` once the link has had time to drain its queue.
  std::vector<Record> After(size_t from, int64_t ms = 500) {
    RunMs(ms);
    return Received(from);
  }
  // Waits until the controller has finished everything it was given.
  void Settle(int64_t maxMs = 120000) {
    loop.WaitUntil([&] { return !sys.link.CommandPending() && sim.Head() == sim.Tail() && !(sim.StateByte() & 0x08); },
                   maxMs);
    RunMs(200);
  }

  TempDir dir;
  HomeDir home{dir.Path()};
  VirtualEventLoop loop;
  sim::SimController sim;
  InProcessSerialPort port{loop, sim, kFirstDevicePort};
  ScriptedPrompts prompts;
  // The parts of the program the manual modules work with.
  struct Parts {
    Parts(EventLoop& loop, SerialPort& port) : link(loop, port, flags), console(loop, config, flags) {}
    RunFlags flags;
    ConfigState config;
    Link link;
    Console console;
    CommandSender sender{link, console.State, console.View, flags};
  };
  Parts sys{loop, port};
  RigFeeds feeds;
  RigDebug debug;
  SpeedTables tables{sys.config, home, feeds};
  SegmentBuffer segments{sys.config, tables, *this, *this, sys.flags};
  ManualControl manual{ManualContext{sys.config, sys.console, sys.sender, tables, segments, *this,
                                     prompts, sys.flags, &debug, {}}};
  bool homeXNYP = false;
  bool plasma = false;
  bool polling = true;  // the stand-in poller makes status requests
  uint16_t head = 0, tail = 0;
  int ticks = 0;

 private:
  // LinkPoller: the idle rotation's R3 and R2, every third tick without a record.
  void OnLinkTick(bool recordSent) override {
    ++sys.console.State.PollCount;
    ++ticks;
    if (!polling || recordSent || ticks % 3 != 0) return;
    sys.link.SendLine((ticks / 3) % 2 ? "R3\n\r" : "R2\n\r");
  }
  // LinkReplyHandler
  void OnBufferReply() override {
    const auto& b = sys.link.BufferReply;
    tail = static_cast<uint16_t>(b[0] | (b[1] << 8));
    head = static_cast<uint16_t>(b[2] | (b[3] << 8));
    sys.console.State.Busy = (b[5] & 0x08) != 0;
  }
  void OnPositionReply() override {
    const auto& p = sys.link.PositionReply;
    auto get = [&](int i) {
      int32_t v = p[i] | (p[i + 1] << 8) | (p[i + 2] << 16);
      return (v & 0x800000) ? v - 0x1000000 : v;
    };
    sys.console.ShowPositions(get(0), get(3), get(6), p[9] >= 128);
  }
  // CommandSink
  void QueueCommand(const CommandRecord& record) override { sys.link.QueueCommand(record); }
  bool Connected() const override { return sys.link.Connected; }
  // ControllerBuffer
  uint16_t BufHead() const override { return head; }
  uint16_t BufTail() const override { return tail; }
  int BufferSize() const override { return sim.BufferSize(); }
  bool PollWhileWaiting() override {
    const int start = ticks;
    loop.WaitUntil([&] { return ticks >= start + 3; }, 200);
    return sys.link.Connected && sys.link.UsbTimer().Enabled();
  }
};

// The manual-control tests' fixture: a connected rig and the parts they drive.
struct ManualTest : ::testing::Test {
  ManualRig rig;
  ManualControl& m = rig.manual;
  ConsoleState& s = rig.sys.console.State;
  ConsoleView& v = rig.sys.console.View;
  void SetUp() override { rig.Connect(); }
  // The packets received since `from`, after the link has drained its queue.
  std::vector<Record> After(size_t from) { return rig.After(from); }
  uint8_t VelIdx(int ipm) const { return static_cast<uint8_t>(rig.tables.VelocityIndexOf(ipm)); }
  uint8_t SpdIdx(int ipm) const { return static_cast<uint8_t>(rig.tables.SpeedIndexOf(ipm)); }
};

}  // namespace wendlar::testing
