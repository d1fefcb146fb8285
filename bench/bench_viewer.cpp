// The toolpath viewer on a generated million-line 3D finishing program: reading it to the
// first complete picture, the memory the drawing keeps, and redrawing while rotating.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QPainter>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "config/ConfigFile.h"
#include "tools/ViewerModel.h"
#include "ui/ViewerWindow.h"

namespace wendlar {
namespace {

namespace fs = std::filesystem;

constexpr int64_t kLines = 1000000;

ConfigState InchMachine() {
  ConfigState config;
  SetDefaultConfig(config.Config);
  SetInchUnits(config.Units);
  config.ToolAboveWorkNow = config.Config.Tool_above_work;
  return config;
}

// A raster finishing pass over a wavy surface: rows of short XYZ feeds, back and forth.
fs::path FinishFile() {
  fs::path dir = fs::temp_directory_path() / "wendlar-bench-viewer";
  fs::create_directories(dir);
  fs::path file = dir / "finish3d-1000000.nc";
  if (fs::exists(file)) return file;
  std::ofstream out(file, std::ios::binary);
  out << "G20 G90\nG0 Z0.2\nG0 X0 Y0\nG1 Z0 F60\n";
  char buf[96];
  const int perRow = 1000;
  for (int64_t i = 4; i < kLines; ++i) {
    const int64_t row = i / perRow, col = i % perRow;
    const double x = 0.004 * static_cast<double>(row % 2 == 0 ? col : perRow - 1 - col);
    const double y = 0.004 * static_cast<double>(row);
    const double z = -0.1 - 0.05 * std::sin(x * 2) * std::cos(y * 1.5);
    const int n = std::snprintf(buf, sizeof buf, "G1 X%.4f Y%.4f Z%.4f\n", x, y, z);
    out.write(buf, n);
  }
  return file;
}

void BM_ViewerOpen(benchmark::State& state) {
  const fs::path file = FinishFile();
  const ConfigState config = InchMachine();
  ViewerModel model;
  model.SetWindowSize(950, 650);
  for (auto _ : state) {
    if (!model.Open(file, config, PreflightStart{})) state.SkipWithError("cannot open");
  }
  const auto& points = model.Path.Points();
  state.counters["points"] = static_cast<double>(points.size());
  state.counters["drawing_MiB"] = static_cast<double>(points.capacity() * sizeof(ViewerPoint)) / (1 << 20);
  state.counters["lines"] = model.Path.TotalLines();
}
BENCHMARK(BM_ViewerOpen)->Unit(benchmark::kMillisecond)->Iterations(2);

// One frame per iteration, the camera turned a degree each time, as a left drag does. Range 0:
// the full picture (the mouse at rest); 1: the coarser one drawn while it drags.
void BM_ViewerRotateFrame(benchmark::State& state) {
  const fs::path file = FinishFile();
  ViewerModel model;
  model.SetWindowSize(950, 650);
  if (!model.Open(file, InchMachine(), PreflightStart{})) {
    state.SkipWithError("cannot open");
    return;
  }
  ui::ViewerCanvas canvas(model);
  canvas.resize(800, 650);
  canvas.SetDragging(state.range(0) == 1);
  QImage image(800, 650, QImage::Format_RGB32);
  size_t drawn = 0;
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    model.MouseDrag(true, -1, 0);
    image.fill(Qt::white);
    QPainter painter(&image);
    drawn = canvas.Draw(painter);
  }
  const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - start;
  // By processor time (what the drawing costs) and by the clock (what a loaded machine shows).
  state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["fps_wall"] = static_cast<double>(state.iterations()) / wall.count();
  state.counters["segments_drawn"] = static_cast<double>(drawn);
}
BENCHMARK(BM_ViewerRotateFrame)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(60);

}  // namespace
}  // namespace wendlar

int main(int argc, char** argv) {
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
