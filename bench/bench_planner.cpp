// Planning and encoding throughput of full segment buffers, with the link replaced by a sink
// that discards every record.
#include <benchmark/benchmark.h>

#include <cmath>
#include <filesystem>
#include <random>
#include <vector>

#include "config/MachineConfig.h"
#include "core/HomeDir.h"
#include "core/RunFlags.h"
#include "motion/SegmentBuffer.h"
#include "motion/SpeedTables.h"

namespace wendlar {
namespace {

// Takes every record and forgets it; the controller's buffer is always empty.
struct DiscardingLink : CommandSink, ControllerBuffer {
  uint64_t records = 0;
  void QueueCommand(const CommandRecord& r) override { records += r.Code(); }
  bool Connected() const override { return true; }
  uint16_t BufHead() const override { return 0; }
  uint16_t BufTail() const override { return 0; }
  int BufferSize() const override { return 4096; }
  bool PollWhileWaiting() override { return true; }
};

struct JobFeeds : FeedSource {
  bool UseFeed() const override { return false; }
  int FeedIndex() const override { return 0; }
  int JobMode() const override { return 0; }
  double CurrentFeed() const override { return 60.0; }
  int SpoolXYFeed() const override { return 0; }
  int SpoolZFeed() const override { return 0; }
};

struct Target {
  int32_t x, y, z;
};

// A router set up the usual way: 8 steps per 0.001 in, a 100-step table and a ramp table
// that grows with the square of the speed, as the controller reports it.
struct Machine {
  std::filesystem::path dir = std::filesystem::temp_directory_path() / "wendlar-bench-planner";
  HomeDir home{(std::filesystem::create_directories(dir), dir)};
  ConfigState config;
  JobFeeds feeds;
  DiscardingLink link;
  RunFlags flags;
  SpeedTables tables{config, home, feeds};
  SegmentBuffer buffer{config, tables, link, link, flags};

  Machine() {
    SetInchUnits(config.Units);
    MachineConfig& m = config.Config;
    m.Xscale = m.Yscale = m.Zscale = 8.0;
    m.CV_Max = 500;
    m.Z_raise_vel = 80;
    m.Z_start_vel = 10;
    m.Slow_safe = 10;
    m.Sharp_ang_paz = 30;
    m.Short_vlen_steps = 50;
    m.Mass_comp = 5;
    if (!tables.BuildSpeedTable(100)) std::abort();
    for (int k = 1; k <= 100; ++k) tables.ControllerTable[k] = static_cast<uint16_t>(3 * k * k);
  }
};

// Short 3D moves of a relief carving: 0.002 to 0.05 in steps with small Z changes.
std::vector<Target> ShortMoves(size_t n) {
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> xy(-400, 400), z(-40, 40);
  std::vector<Target> out;
  Target p{0, 0, 0};
  for (size_t i = 0; i < n; ++i) {
    p = {p.x + xy(rng), p.y + xy(rng), p.z + z(rng)};
    out.push_back(p);
  }
  return out;
}

// Chords of 2-in circles at the default 0.05 in resolution.
std::vector<Target> ArcChords(size_t n) {
  std::vector<Target> out;
  const double r = 16000.0, step = 400.0 / r;
  for (size_t i = 0; i < n; ++i) {
    const double a = step * static_cast<double>(i + 1);
    out.push_back({static_cast<int32_t>(std::lround(r * std::cos(a))), static_cast<int32_t>(std::lround(r * std::sin(a))),
                   -100});
  }
  return out;
}

// Long straight runs of a sheet layout that reach the feed ceiling, some long enough to be cut.
std::vector<Target> LongMoves(size_t n) {
  std::mt19937 rng(11);
  std::uniform_int_distribution<int> len(8000, 48000), turn(0, 7);
  std::vector<Target> out;
  Target p{0, 0, 0};
  for (size_t i = 0; i < n; ++i) {
    const int l = len(rng), t = turn(rng);
    // Mostly straight on, now and then a shallow turn or a right angle.
    if (t < 5) p.x += l;
    else if (t < 7) p = {p.x + l, p.y + l / 20, p.z};
    else p.y += l;
    out.push_back(p);
  }
  return out;
}

// Streams whole 999-segment buffers; the 999th queued move flushes each one.
void Stream(benchmark::State& state, std::vector<Target> (*make)(size_t)) {
  Machine m;
  const std::vector<Target> moves = make(999 * 8);
  size_t next = 0;
  uint64_t segments = 0;
  for (auto _ : state) {
    for (int i = 0; i < 999; ++i) {
      const Target& t = moves[next];
      next = next + 1 == moves.size() ? 0 : next + 1;
      m.buffer.QueueMove(t.x, t.y, t.z, 0);
    }
    m.buffer.FlushSegments();
    segments += 999;
  }
  benchmark::DoNotOptimize(m.link.records);
  state.counters["segments/s"] = benchmark::Counter(static_cast<double>(segments), benchmark::Counter::kIsRate);
  state.counters["packets/segment"] =
      benchmark::Counter(static_cast<double>(m.buffer.PacketsSent) / static_cast<double>(segments));
}

void BM_ShortMoves3D(benchmark::State& state) { Stream(state, ShortMoves); }
void BM_ArcChords(benchmark::State& state) { Stream(state, ArcChords); }
void BM_LongMovesAtCeiling(benchmark::State& state) { Stream(state, LongMoves); }

BENCHMARK(BM_ShortMoves3D)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ArcChords)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LongMovesAtCeiling)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace wendlar
