// The toolpath viewer without a window: the job's path as a run cuts it, extents, camera and
// projection, playback, the label texts and Run From Here.
#pragma once

#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/Colors.h"
#include "core/ViewModel.h"
#include "job/GcodeFile.h"
#include "job/Preflight.h"
#include "job/SpoolFile.h"

namespace wendlar {

class RunControl;
class JobEngines;

// One point of the path in viewer units (thousandths of a user unit, Z up), 16 bytes: a
// million-line program stays a few tens of MiB.
struct ViewerPoint {
  int32_t X = 0, Y = 0, Z = 0;
  uint32_t LineRapid = 0;  // line (record) << 1, plus 1 when the move to here is a rapid
  int Line() const { return static_cast<int>(LineRapid >> 1); }
  bool Rapid() const { return (LineRapid & 1u) != 0; }
};

// From point `Point` on (the segment that ends there and every later one) the path is drawn in
// `Pen`: a tool change (tool 1 blue, 2 lime, 3 red, 4 navy, others blue) or a spooler layer
// start (red, tool 0). `Line` is the line (record) of the change.
struct ViewerColour {
  uint32_t Point = 0;
  int Line = 0;
  int Tool = 0;
  Color Pen = kBlue;
};

// The pen of a tool.
[[nodiscard]] Color ToolPen(int tool);

// The path of a job, read through the pre-flight (the reader, chords and spooler steps of a run).
class ViewerPath : public PathRecorder {
 public:
  // Reads the whole job; `progress(line)` is called every few thousand lines and may pump the
  // event loop; returning false abandons the reading. False when the file cannot be opened or
  // the reading was abandoned.
  [[nodiscard]] bool Load(const std::filesystem::path& path, const ConfigState& config, const PreflightStart& start,
                          std::function<bool(int line)> progress = {});

  const std::vector<ViewerPoint>& Points() const { return points_; }
  const std::vector<ViewerColour>& Colours() const { return colours_; }
  bool Spool() const { return spool_; }
  int TotalLines() const { return totalLines_; }
  // Bounding box of every point; a flat job's Z extent is 1.
  int32_t ExtentMin[3] = {0, 0, 0}, ExtentMax[3] = {0, 0, 0};
  int32_t Extent(int axis) const;
  // Points drawn up to and including line `line` (the start point is always drawn).
  size_t PointsThrough(int line) const;

  // The tool of the last tool change at or before line `line` (0 before any).
  int ToolThrough(int line) const;

  // PathRecorder
  void PathPoint(int line, int32_t x, int32_t y, int32_t z, bool rapid) override;
  void PathTool(int line, int tool) override;
  bool KeepReading(int line) override;

 private:
  int32_t ToViewer(int32_t steps, double scale) const;
  void ReadColours(const std::filesystem::path& path);
  std::vector<ViewerPoint> points_;
  std::vector<ViewerColour> colours_;
  std::function<bool(int)> progress_;
  double scaleX_ = 1, scaleY_ = 1, scaleZ_ = 1, unitsFactor_ = 1000;
  bool spool_ = false;
  bool abandoned_ = false;
  int totalLines_ = 0;
};

// The window's column of controls; the drawing area is the rest of the window's width.
inline constexpr int kViewerSideColumn = 150;

struct ScreenPoint {
  int X = 0, Y = 0;
};

// The camera on a sphere around the model and the perspective projection onto the window.
struct ViewerCamera {
  double XYViewAngle = 200, ZViewAngle = 20;  // degrees
  double ModelScale = 1;
  double ScreenScale = 0.25;
  int ScreenOffsetX = 300, ScreenOffsetY = -50;
  int PanOffsetX = 0, PanOffsetY = 0;
  int WindowHeight = 600;
  // The point the camera looks at (viewer units): the middle of the job's box, so a job far
  // from the origin still sits in front of the camera.
  double CenterX = 0, CenterY = 0, CenterZ = 0;

  // Recomputes the camera position from the two angles; call after changing them.
  void Update();
  // Model point in viewer units to window pixels.
  ScreenPoint Project(double x, double y, double z) const;
  // Unrounded window position, for the level of detail.
  void ProjectExact(double x, double y, double z, double& sx, double& sy) const;
  // 5000 over the sum of the three extents (1 when that sum is 0).
  void SetModelScale(int64_t extentSum);
  // One mouse-move event of a left drag: signs of the pointer's move (screen y grows down).
  void Rotate(int dx, int dy);
  // One wheel event; the scale changes on the fifth event and every fourth after it.
  void Wheel(bool up);
  // Fits the box into the drawing area (window width minus 150, window height).
  void ZoomAll(const int32_t min[3], const int32_t max[3], int windowWidth, int windowHeight);

  double ex = 0, ey = 0, ez = 0, D2 = 1, Dist = 1, dxy = 1;

 private:
  int wheelCount_ = 0;
};

// The camera's projection folded into a few float coefficients, for mapping a million points a
// frame: window x = (u . d) / w + u0, window y = (v . d) / w + v0 with d the point less the
// camera's centre and w = 1 + (wd . d), held at 0.01 or more like ProjectExact.
struct ViewerProjection {
  explicit ViewerProjection(const ViewerCamera& camera);
  // Window positions of `count` points.
  void Map(const ViewerPoint* points, size_t count, float* sx, float* sy) const;
  float cx = 0, cy = 0, cz = 0;
  float wx = 0, wy = 0, wz = 0;
  float ux = 0, uy = 0, u0 = 0;
  float vx = 0, vy = 0, vz = 0, v0 = 0;
};

// The path up to ViewLine as the window draws it: its segments in window pixels, in batches
// of one pen and line style, in the order the job cuts them. Kept by the model so that its
// buffers serve every frame.
struct ViewerFrame {
  struct Batch {
    Color Pen = kBlue;
    bool Rapid = false;  // dotted
    uint32_t First = 0;  // first segment
    uint32_t Count = 0;  // segments
  };
  std::vector<float> Lines;  // x0, y0, x1, y1 of every segment
  std::vector<Batch> Batches;
  size_t Segments() const { return Lines.size() / 4; }
};

// The viewer window's controls by their documented names.
struct ViewerView : ViewModel {
  ViewerView() : ViewModel("TViewer_box") {}
  Control Xsize_lab{*this, "Xsize_lab"}, Ysize_lab{*this, "Ysize_lab"}, Zsize_lab{*this, "Zsize_lab"};
  Control Ztop_lab{*this, "Ztop_lab"}, Zbot_lab{*this, "Zbot_lab"}, Tot_lines{*this, "Tot_lines"};
  Control Cur_line_lab{*this, "Cur_line_lab"}, Cur_tool_lab{*this, "Cur_tool_lab"}, Cur_lay_lab{*this, "Cur_lay_lab"};
  Control Xpos_lab{*this, "Xpos_lab"}, Ypos_Lab{*this, "Ypos_Lab"}, Zpos_lab{*this, "Zpos_lab"};
  Control Angle_lab{*this, "Angle_lab"};  // "XY view angle n Z view angle m"
  Control L1{*this, "L1"}, L2{*this, "L2"}, L3{*this, "L3"}, L4{*this, "L4"}, L5{*this, "L5"};
  Control Step_it{*this, "Step_it"}, Start_timer{*this, "Start_timer"}, Run_it{*this, "Run_it"};
  Control Button1{*this, "Button1"}, Rewind{*this, "Rewind"}, Cancel_jump{*this, "Cancel_jump"};
  Control Horiz_bar{*this, "Horiz_bar"};
  Control Restart_pan{*this, "Restart_pan"}, XY_go{*this, "XY_go"}, Z_go{*this, "Z_go"};
  Control Start_router{*this, "Start_router"}, Go_button{*this, "Go_button"}, Cancel_go{*this, "Cancel_go"};
  Control Load_bar{*this, "Load_bar"};  // progress of the reading, 0..100
  Control Hint{*this, "Hint"};
};

// The viewer's logic: what the window shows and what its buttons do.
class ViewerModel {
 public:
  ViewerModel();

  ViewerView View;
  ViewerCamera Camera;
  ViewerPath Path;
  int ViewLine = 0;
  bool Playing = false;  // Timer1 plays the job back
  std::filesystem::path JobPath;

  // Reads the job and shows its labels; the drawing then shows the whole job.
  [[nodiscard]] bool Open(const std::filesystem::path& path, const ConfigState& config, const PreflightStart& start,
                          std::function<bool(int line)> progress = {});
  // Window size, for the projection and Zoom all.
  void SetWindowSize(int width, int height);
  int WindowWidth() const { return width_; }

  void ZoomAllClick();
  void Step_itClick();
  void Start_timerClick();
  // One tick of Timer1 while playing: the next few lines; stops at the end.
  void Timer1Tick();
  // Slider position 0..1000.
  void Horiz_barChange(int position);
  void RewindClick();
  // Mouse moves while dragging: left rotates, right pans.
  void MouseDrag(bool left, int dx, int dy);
  void MouseWheel(bool up);

  // The resume panel for the point drawn last.
  void Run_itClick();
  void Cancel_goClick();
  // Run From Here: re-opens the job through the console and sets up the resume at the line
  // (record) after the last one drawn. False (with the reason in `error`) when it cannot.
  [[nodiscard]] bool Go_buttonClick(RunControl& run, JobEngines& engines, std::string& error);
  // Cancel_jump: re-opens the job as it was, with no resume pending.
  void Cancel_jumpClick(RunControl& run, JobEngines& engines);

  // The last point drawn (the resume point) in viewer units.
  ViewerPoint LastPoint() const;
  // The ground grid: 21 lines each way on the plane of the lowest Z, as pairs of points.
  std::vector<ViewerPoint> GridLines() const;
  // Lines per tick of Timer1.
  int PlaybackStep() const;
  // The picture of the path up to ViewLine in the drawing area (window width less the side
  // column, by window height), at a level of detail of `cell` pixels: a point closer than a
  // cell to the last one kept is left out, and so is a segment wholly beside the area or
  // within cells that earlier segments of its pen already cover. The cost follows the pixels,
  // not the segments. 1 for the full picture; 2 or more while the mouse drags.
  const ViewerFrame& BuildFrame(int cell = 1);

 private:
  void JumpTo(int line);
  void ShowPosition();
  void ShowList();
  bool Reopen(RunControl& run);
  // The five-line list reads forward from where it was; going back starts it again.
  std::unique_ptr<GcodeLineSource> listGcode_;
  SpoolReader listSpool_;
  int listLine_ = 0;
  std::deque<std::string> list_;
  int width_ = 800, height_ = 600;
  ViewerFrame frame_;
  std::vector<uint8_t> covered_;  // per cell of the frame: the pen and style drawn there last
};

}  // namespace wendlar
