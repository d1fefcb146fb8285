// Reading and executing generated G-code programs into the segment buffer, with the link
// replaced by a sink that discards every record: lines per second and peak memory.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "config/ConfigFile.h"
#include "core/HomeDir.h"
#include "core/RunFlags.h"
#include "job/BufferedJobMachine.h"
#include "job/GcodeReader.h"
#include "job/QuietConsole.h"

namespace wendlar {
namespace {

namespace fs = std::filesystem;

struct DiscardingLink : CommandSink, ControllerBuffer {
  uint64_t records = 0;
  void QueueCommand(const CommandRecord&) override { ++records; }
  bool Connected() const override { return true; }
  uint16_t BufHead() const override { return 0; }
  uint16_t BufTail() const override { return 0; }
  int BufferSize() const override { return 4096; }
  bool PollWhileWaiting() override { return true; }
};

struct ReaderFeeds : FeedSource {
  const GcodeState* gcode = nullptr;
  bool UseFeed() const override { return false; }
  int FeedIndex() const override { return 0; }
  int JobMode() const override { return 2; }
  double CurrentFeed() const override { return gcode->CurrentFeed; }
  int SpoolXYFeed() const override { return 21; }
  int SpoolZFeed() const override { return 22; }
};

// The console side does nothing: only the reader and the segment buffer are measured.
struct QuietMachine : QuietConsole<BufferedJobMachine> {
  using QuietConsole<BufferedJobMachine>::QuietConsole;
  void QueueCommand(const CommandRecord&) override {}
  void RapidXY(int32_t, int32_t) override {}
  void MoveZ(int32_t, int, bool) override {}
  void Dwell(double) override {}
  void SpindleOn(int) override {}
  void SpindleOff() override {}
  bool SpindleRunning() const override { return true; }
  void SetAux1(bool) override {}
  void SetAux2(bool) override {}
  void SetLaser(bool) override {}
  void SetJobSpindleSpeed(int) override {}
};

fs::path BenchDir() {
  fs::path dir = fs::temp_directory_path() / "wendlar-bench-gcode";
  fs::create_directories(dir);
  return dir;
}

// Short XYZ feeds in a zigzag with a feed change every 50 lines and a comment on every tenth.
fs::path ShortMovesFile(int64_t lines) {
  fs::path file = BenchDir() / ("short-" + std::to_string(lines) + ".nc");
  if (fs::exists(file)) return file;
  std::ofstream out(file, std::ios::binary);
  out << "%\n(generated short moves)\nG20 G90\nG0 Z0.1\nG1 F30\n";
  char buf[128];
  for (int64_t i = 0; i < lines; ++i) {
    double x = 0.001 * static_cast<double>(i % 2000), y = 0.01 * static_cast<double>((i / 2000) % 500);
    double z = -0.01 * static_cast<double>(i % 7);
    int n = std::snprintf(buf, sizeof buf, "G1 X%.4f Y%.4f Z%.4f F%d%s\n", x, y, z, 30 + static_cast<int>((i / 50) % 4),
                          i % 10 == 0 ? " (short move)" : "");
    out.write(buf, n);
  }
  return file;
}

// Quarter and half arcs of small radii, with the straight joins between them.
fs::path ArcFile(int64_t lines) {
  fs::path file = BenchDir() / ("arcs2-" + std::to_string(lines) + ".nc");
  if (fs::exists(file)) return file;
  std::ofstream out(file, std::ios::binary);
  out << "G20 G90\nG0 X0 Y0 Z0.1\nG1 Z-0.05 F40\n";
  char buf[128];
  double x = 0, y = 0;
  for (int64_t i = 0; i < lines; ++i) {
    int n;
    if (i % 3 == 2) {
      x += 0.05;
      n = std::snprintf(buf, sizeof buf, "G1 X%.4f Y%.4f\n", x, y);
    } else {
      // A half circle of radius 0.05 up or down (12 chords and the end at Arc_rez 0.05).
      double ex = x + 0.1;
      n = std::snprintf(buf, sizeof buf, "%s X%.4f Y%.4f I0.05 J0 (arc)\n", i % 2 ? "G2" : "G3", ex, y);
      x = ex;
    }
    // The line ends where it was written to; only then the tool goes back to the origin.
    out.write(buf, n);
    if (x > 100) x = 0, out << "G0 X0 Y0\n";
  }
  return file;
}

long PeakRssKb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

void RunFile(benchmark::State& state, const fs::path& file) {
  fs::path home = BenchDir() / "home";
  fs::create_directories(home);
  HomeDir homeDir(home);
  int64_t lines = 0;
  uint64_t packets = 0;
  for (auto _ : state) {
    ConfigState config;
    SetDefaultConfig(config.Config);
    SetInchUnits(config.Units);
    GcodeState gcode;
    JobRunState run;
    RunFlags flags;
    ReaderFeeds feeds;
    feeds.gcode = &gcode;
    DiscardingLink link;
    SpeedTables tables(config, homeDir, feeds);
    (void)tables.BuildSpeedTable(100);
    SegmentBuffer buffer(config, tables, link, link, flags);
    QuietMachine machine(buffer, tables);
    StartGcodeState(gcode, 0, 0, 0);
    GcodeReader reader(gcode, run, machine, config, flags);
    GcodeLineSource source(file);
    while (flags.AbortRun == 0 && reader.Step(source)) {
    }
    machine.FlushSegments();
    lines += source.LineNumber();
    packets += link.records;
    benchmark::DoNotOptimize(packets);
  }
  state.SetItemsProcessed(lines);
  state.counters["lines_per_s"] = benchmark::Counter(static_cast<double>(lines), benchmark::Counter::kIsRate);
  state.counters["packets"] = static_cast<double>(packets / state.iterations());
  state.counters["peak_rss_kb"] = static_cast<double>(PeakRssKb());
}

void BM_ShortMoves(benchmark::State& state) { RunFile(state, ShortMovesFile(state.range(0))); }
void BM_Arcs(benchmark::State& state) { RunFile(state, ArcFile(state.range(0))); }

// Smallest first: peak memory only grows, so equal figures mean it does not grow with length.
BENCHMARK(BM_ShortMoves)->Arg(10000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Arcs)->Arg(10000)->Arg(300000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace wendlar
