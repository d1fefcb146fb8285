#include "tools/ViewerModel.h"

#include <algorithm>
#include <cmath>
#if defined(__SSE2__)
#include <immintrin.h>
#endif

#include "console/RunControl.h"
#include "core/Numbers.h"
#include "job/JobEngines.h"

namespace wendlar {

namespace {

constexpr double kDegPerRad = 57.2958;
constexpr double kUnitDivisor = 1000.0;  // viewer units per user unit
constexpr int kProgressEvery = 4096;     // lines between progress calls while reading

std::string Units(const char* label, double viewerUnits) {
  return std::string(label) + FormatFixed(viewerUnits / kUnitDivisor, 3, 6);
}

}  // namespace

Color ToolPen(int tool) {
  static constexpr Color kToolPens[] = {kBlue, kLime, kRed, kNavy};
  return tool >= 1 && tool <= 4 ? kToolPens[tool - 1] : kBlue;
}

// ---- the path ----

int32_t ViewerPath::ToViewer(int32_t steps, double scale) const {
  if (!(scale > 0) || !(unitsFactor_ > 0)) return 0;
  const double v = static_cast<double>(steps) / scale / unitsFactor_ * kUnitDivisor;
  return static_cast<int32_t>(std::clamp<int64_t>(Nearest(v), INT32_MIN, INT32_MAX));
}

void ViewerPath::PathPoint(int line, int32_t x, int32_t y, int32_t z, bool rapid) {
  // Z arrives as sent to the controller (negated); the drawing has Z up.
  points_.push_back({ToViewer(x, scaleX_), ToViewer(y, scaleY_), ToViewer(-z, scaleZ_),
                     (static_cast<uint32_t>(std::max(0, line)) << 1) | (rapid ? 1u : 0u)});
}

void ViewerPath::PathTool(int line, int tool) {
  colours_.push_back({static_cast<uint32_t>(points_.size()), line, tool, ToolPen(tool)});
}

bool ViewerPath::KeepReading(int line) {
  if (!progress_ || line % kProgressEvery != 0) return true;
  if (progress_(line)) return true;
  abandoned_ = true;
  return false;
}

bool ViewerPath::Load(const std::filesystem::path& path, const ConfigState& config, const PreflightStart& start,
                      std::function<bool(int line)> progress) {
  points_.clear();
  colours_.clear();
  totalLines_ = 0;
  abandoned_ = false;
  spool_ = IsSpoolJobFile(path);
  scaleX_ = config.Config.Xscale;
  scaleY_ = config.Config.Yscale;
  scaleZ_ = config.Config.Zscale;
  unitsFactor_ = config.Units.UnitsFactor;
  progress_ = std::move(progress);
  PathPoint(0, start.StepX, start.StepY, start.StepZ, true);  // where the tool starts
  PreflightStart s = start;
  s.Path = this;
  const PreflightResult result = PreflightJob(path, config, s);
  progress_ = {};
  if (!result.Opened || abandoned_) {
    points_.clear();
    std::fill(std::begin(ExtentMin), std::end(ExtentMin), 0);
    std::fill(std::begin(ExtentMax), std::end(ExtentMax), 0);
    return false;
  }
  points_.shrink_to_fit();
  if (spool_) ReadColours(path);
  totalLines_ = static_cast<int>(std::min<int64_t>(result.Lines, INT32_MAX));
  // The start point belongs to the machine, not to the job: the box is the job's own.
  const size_t first = points_.size() > 1 ? 1 : 0;
  for (int a = 0; a < 3; ++a) {
    ExtentMin[a] = INT32_MAX;
    ExtentMax[a] = INT32_MIN;
  }
  for (size_t i = first; i < points_.size(); ++i) {
    const int32_t v[3] = {points_[i].X, points_[i].Y, points_[i].Z};
    for (int a = 0; a < 3; ++a) {
      ExtentMin[a] = std::min(ExtentMin[a], v[a]);
      ExtentMax[a] = std::max(ExtentMax[a], v[a]);
    }
  }
  return true;
}

void ViewerPath::ReadColours(const std::filesystem::path& path) {
  SpoolReader reader;
  if (!reader.Open(path)) return;
  SpoolRecord r;
  for (int i = 0; i < 2 && reader.Read(r); ++i) {
  }
  for (int record = 1; reader.Read(r); ++record) {
    if (r.Kind != kSpoolChangeTool && r.Kind != kSpoolLayerStart) continue;
    // The change holds from the first point its record or a later one moves to.
    const auto first = std::partition_point(points_.begin(), points_.end(),
                                            [record](const ViewerPoint& p) { return p.Line() < record; });
    const auto point = static_cast<uint32_t>(first - points_.begin());
    if (r.Kind == kSpoolChangeTool) {
      colours_.push_back({point, record, r.A, ToolPen(r.A)});
    } else {
      colours_.push_back({point, record, 0, kRed});
    }
  }
}

int ViewerPath::ToolThrough(int line) const {
  int tool = 0;
  for (const ViewerColour& c : colours_) {
    if (c.Line > line) break;
    if (c.Tool != 0) tool = c.Tool;
  }
  return tool;
}

int32_t ViewerPath::Extent(int axis) const {
  const int64_t e = static_cast<int64_t>(ExtentMax[axis]) - ExtentMin[axis];
  // A flat job still has a depth to look at.
  if (axis == 2 && e == 0) return 1;
  return static_cast<int32_t>(std::min<int64_t>(e, INT32_MAX));
}

size_t ViewerPath::PointsThrough(int line) const {
  const auto it =
      std::partition_point(points_.begin(), points_.end(), [line](const ViewerPoint& p) { return p.Line() <= line; });
  return std::max<size_t>(points_.empty() ? 0 : 1, static_cast<size_t>(it - points_.begin()));
}

// ---- the camera ----

void ViewerCamera::Update() {
  ez = static_cast<double>(Nearest(std::sin(ZViewAngle / kDegPerRad) * 30000));
  const double r = 30100 - std::fabs(ez);
  ex = static_cast<double>(Nearest(r * std::sin(XYViewAngle / kDegPerRad)));
  ey = static_cast<double>(Nearest(r * std::cos(XYViewAngle / kDegPerRad)));
  // A zero component would divide by zero below.
  if (ex == 0) ex = 2;
  if (ey == 0) ey = 2;
  if (ez == 0) ez = 2;
  D2 = ex * ex + ey * ey + ez * ez;
  Dist = std::sqrt(D2);
  dxy = std::sqrt(ex * ex + ey * ey);
}

void ViewerCamera::ProjectExact(double x, double y, double z, double& sx, double& sy) const {
  x = (x - CenterX) * ModelScale;
  y = (y - CenterY) * ModelScale;
  z = (z - CenterZ) * ModelScale;
  // A point at or behind the camera would flip through infinity; keep it in front.
  const double w = std::max(D2 - x * ex - y * ey - z * ez, D2 * 0.01);
  const double u = (y * ex - x * ey) * D2 * 4 * ScreenScale / (dxy * w) + 300;
  const double v = (3 * Dist * (z * (ex * ex + ey * ey) - (x * ex + y * ey) * ez) / (dxy * w) + 200) * ScreenScale;
  sx = u / 45 + ScreenOffsetX + PanOffsetX;
  sy = WindowHeight - v / 45 + ScreenOffsetY + PanOffsetY;
}

ScreenPoint ViewerCamera::Project(double x, double y, double z) const {
  double sx = 0, sy = 0;
  ProjectExact(x, y, z, sx, sy);
  const double bx = sx - ScreenOffsetX - PanOffsetX, by = sy - ScreenOffsetY - PanOffsetY;
  return {static_cast<int>(Nearest(bx)) + ScreenOffsetX + PanOffsetX,
          static_cast<int>(Nearest(by)) + ScreenOffsetY + PanOffsetY};
}

ViewerProjection::ViewerProjection(const ViewerCamera& c)
    : cx(static_cast<float>(c.CenterX)), cy(static_cast<float>(c.CenterY)), cz(static_cast<float>(c.CenterZ)) {
  // ProjectExact with the model scale, the constants and the division by 45 taken out of the
  // loop, and w divided through by D2 so that floats keep their precision.
  const double m = c.ModelScale;
  wx = static_cast<float>(-m * c.ex / c.D2);
  wy = static_cast<float>(-m * c.ey / c.D2);
  wz = static_cast<float>(-m * c.ez / c.D2);
  const double ku = 4 * c.ScreenScale / (c.dxy * 45);
  ux = static_cast<float>(-m * c.ey * ku);
  uy = static_cast<float>(m * c.ex * ku);
  u0 = static_cast<float>(300.0 / 45 + c.ScreenOffsetX + c.PanOffsetX);
  const double kv = 3 * c.Dist * c.ScreenScale / (45 * c.dxy * c.D2);
  vx = static_cast<float>(kv * m * c.ez * c.ex);
  vy = static_cast<float>(kv * m * c.ez * c.ey);
  vz = static_cast<float>(-kv * m * (c.ex * c.ex + c.ey * c.ey));
  v0 = static_cast<float>(c.WindowHeight - 200 * c.ScreenScale / 45 + c.ScreenOffsetY + c.PanOffsetY);
}

void ViewerProjection::Map(const ViewerPoint* points, size_t count, float* sx, float* sy) const {
  size_t i = 0;
#if defined(__SSE2__)
  // Four points at a time: a point's X, Y, Z and line word load as one vector and four of them
  // transpose into a vector per axis. Three times faster than one at a time.
  static_assert(sizeof(ViewerPoint) == 16);
  const __m128 kx = _mm_set1_ps(cx), ky = _mm_set1_ps(cy), kz = _mm_set1_ps(cz);
  const __m128 kwx = _mm_set1_ps(wx), kwy = _mm_set1_ps(wy), kwz = _mm_set1_ps(wz);
  const __m128 kux = _mm_set1_ps(ux), kuy = _mm_set1_ps(uy), ku0 = _mm_set1_ps(u0);
  const __m128 kvx = _mm_set1_ps(vx), kvy = _mm_set1_ps(vy), kvz = _mm_set1_ps(vz), kv0 = _mm_set1_ps(v0);
  const __m128 one = _mm_set1_ps(1.0f), least = _mm_set1_ps(0.01f);
  auto load = [points](size_t k) {
    return _mm_cvtepi32_ps(_mm_loadu_si128(reinterpret_cast<const __m128i*>(&points[k])));
  };
  for (; i + 4 <= count; i += 4) {
    __m128 x = load(i), y = load(i + 1), z = load(i + 2), line = load(i + 3);
    _MM_TRANSPOSE4_PS(x, y, z, line);
    const __m128 dx = _mm_sub_ps(x, kx), dy = _mm_sub_ps(y, ky), dz = _mm_sub_ps(z, kz);
    const __m128 w = _mm_add_ps(_mm_mul_ps(kwx, dx), _mm_add_ps(_mm_mul_ps(kwy, dy), _mm_mul_ps(kwz, dz)));
    const __m128 r = _mm_div_ps(one, _mm_max_ps(_mm_add_ps(one, w), least));
    _mm_storeu_ps(sx + i, _mm_add_ps(_mm_mul_ps(_mm_add_ps(_mm_mul_ps(kux, dx), _mm_mul_ps(kuy, dy)), r), ku0));
    const __m128 v = _mm_add_ps(_mm_mul_ps(kvx, dx), _mm_add_ps(_mm_mul_ps(kvy, dy), _mm_mul_ps(kvz, dz)));
    _mm_storeu_ps(sy + i, _mm_add_ps(_mm_mul_ps(v, r), kv0));
  }
#endif
  for (; i < count; ++i) {
    const float dx = static_cast<float>(points[i].X) - cx, dy = static_cast<float>(points[i].Y) - cy;
    const float dz = static_cast<float>(points[i].Z) - cz;
    const float r = 1.0f / std::max(1.0f + wx * dx + wy * dy + wz * dz, 0.01f);
    sx[i] = (ux * dx + uy * dy) * r + u0;
    sy[i] = (vx * dx + vy * dy + vz * dz) * r + v0;
  }
}

void ViewerCamera::SetModelScale(int64_t extentSum) { ModelScale = extentSum > 0 ? 5000.0 / extentSum : 1.0; }

void ViewerCamera::Rotate(int dx, int dy) {
  if (dx < 0) XYViewAngle += 1;
  if (dx > 0) XYViewAngle -= 1;
  if (XYViewAngle > 360) XYViewAngle = 0;
  if (XYViewAngle < 0) XYViewAngle = 360;
  if (dy < 0) ZViewAngle = std::min(90.0, ZViewAngle + 1);
  if (dy > 0) ZViewAngle = std::max(0.0, ZViewAngle - 1);
  Update();
}

void ViewerCamera::Wheel(bool up) {
  if (++wheelCount_ < 5) return;
  wheelCount_ = 1;
  ScreenScale *= up ? 1.1 : 0.9;
}

void ViewerCamera::ZoomAll(const int32_t min[3], const int32_t max[3], int windowWidth, int windowHeight) {
  PanOffsetX = PanOffsetY = 0;
  ScreenOffsetX = ScreenOffsetY = 0;
  WindowHeight = windowHeight;
  auto box = [&](double& x0, double& x1, double& y0, double& y1) {
    x0 = y0 = 1e300;
    x1 = y1 = -1e300;
    for (int i = 0; i < 8; ++i) {
      double sx = 0, sy = 0;
      ProjectExact((i & 1) ? max[0] : min[0], (i & 2) ? max[1] : min[1], (i & 4) ? max[2] : min[2], sx, sy);
      x0 = std::min(x0, sx), x1 = std::max(x1, sx), y0 = std::min(y0, sy), y1 = std::max(y1, sy);
    }
  };
  double x0, x1, y0, y1;
  ScreenScale = 1;
  box(x0, x1, y0, y1);
  const double areaW = std::max(1, windowWidth - kViewerSideColumn), areaH = std::max(1, windowHeight);
  const double pw = std::max(1e-9, x1 - x0), ph = std::max(1e-9, y1 - y0);
  if ((pw / ph) / (areaW / areaH) <= 1) {
    ScreenScale = areaH / ph * 0.7;
  } else {
    ScreenScale = areaW / pw * 0.85;
  }
  box(x0, x1, y0, y1);
  ScreenOffsetX = static_cast<int>(Nearest(areaW / 2 - (x0 + x1) / 2));
  ScreenOffsetY = static_cast<int>(Nearest(areaH / 2 - (y0 + y1) / 2));
}

// ---- the window's logic ----

ViewerModel::ViewerModel() {
  Camera.Update();
  View.Step_it.SetCaption("Single Step");
  View.Start_timer.SetCaption("Start");
  View.Run_it.SetCaption("Run From Here");
  View.Button1.SetCaption("Zoom all");
  View.Rewind.SetCaption("Rewind");
  View.Cancel_jump.SetCaption("Cancel");
  View.Start_router.SetCaption("Start Spindle");
  View.Go_button.SetCaption("Ok");
  View.Cancel_go.SetCaption("Cancel");
  View.Restart_pan.SetVisible(false);
  View.Load_bar.SetVisible(false);
  View.Hint.SetCaption("Drag Left mouse button to rotate and Right to Pan. Use mouse wheel to zoom");
}

bool ViewerModel::Open(const std::filesystem::path& path, const ConfigState& config, const PreflightStart& start,
                       std::function<bool(int line)> progress) {
  JobPath = path;
  Playing = false;
  View.Start_timer.SetCaption("Start");
  View.Restart_pan.SetVisible(false);
  list_.clear();
  listLine_ = 0;
  listGcode_.reset();
  listSpool_.Close();
  ViewLine = 0;
  View.Load_bar.SetPosition(0);
  View.Load_bar.SetVisible(true);
  auto shown = [this, progress](int line) {
    if (!progress) return true;
    return progress(line);
  };
  const bool ok = Path.Load(path, config, start, shown);
  View.Load_bar.SetVisible(false);
  View.Run_it.SetEnabled(ok);
  View.Step_it.SetEnabled(ok);
  View.Start_timer.SetEnabled(ok);
  if (!ok) return false;
  int64_t sum = 0;
  for (int a = 0; a < 3; ++a) sum += Path.Extent(a);
  Camera.SetModelScale(sum);
  Camera.CenterX = (static_cast<double>(Path.ExtentMin[0]) + Path.ExtentMax[0]) / 2;
  Camera.CenterY = (static_cast<double>(Path.ExtentMin[1]) + Path.ExtentMax[1]) / 2;
  Camera.CenterZ = (static_cast<double>(Path.ExtentMin[2]) + Path.ExtentMax[2]) / 2;
  View.Xsize_lab.SetCaption(Units("X size ", Path.ExtentMax[0] - static_cast<double>(Path.ExtentMin[0])));
  View.Ysize_lab.SetCaption(Units("Y size ", Path.ExtentMax[1] - static_cast<double>(Path.ExtentMin[1])));
  View.Zsize_lab.SetCaption(Units("Z size ", Path.ExtentMax[2] - static_cast<double>(Path.ExtentMin[2])));
  View.Ztop_lab.SetCaption(Units("Z top ", Path.ExtentMax[2]));
  View.Zbot_lab.SetCaption(Units("Z bot ", Path.ExtentMin[2]));
  View.Tot_lines.SetCaption("Total Lines " + std::to_string(Path.TotalLines()));
  View.Cur_tool_lab.SetCaption("");
  View.Cur_lay_lab.SetCaption("");
  ZoomAllClick();
  View.Horiz_bar.SetPosition(1000);
  JumpTo(Path.TotalLines());
  return true;
}

void ViewerModel::SetWindowSize(int width, int height) {
  width_ = width;
  height_ = height;
  Camera.WindowHeight = height;
}

void ViewerModel::ZoomAllClick() { Camera.ZoomAll(Path.ExtentMin, Path.ExtentMax, width_, height_); }

void ViewerModel::Step_itClick() {
  if (ViewLine < Path.TotalLines()) JumpTo(ViewLine + 1);
}

void ViewerModel::Start_timerClick() {
  Playing = !Playing;
  // Playing a job already drawn whole starts it from the beginning.
  if (Playing && ViewLine >= Path.TotalLines()) JumpTo(0);
  View.Start_timer.SetCaption(Playing ? "Running" : "Start");
}

int ViewerModel::PlaybackStep() const { return 1; }

void ViewerModel::Timer1Tick() {
  if (!Playing) return;
  JumpTo(std::min(Path.TotalLines(), ViewLine + PlaybackStep()));
  if (ViewLine >= Path.TotalLines()) {
    Playing = false;
    View.Start_timer.SetCaption("Start");
  }
}

void ViewerModel::Horiz_barChange(int position) {
  position = std::clamp(position, 0, 1000);
  JumpTo(static_cast<int>(Nearest(static_cast<double>(position) * Path.TotalLines() / 1000.0)));
}

void ViewerModel::RewindClick() {
  list_.clear();
  listLine_ = 0;
  listGcode_.reset();
  listSpool_.Close();
  View.Horiz_bar.SetPosition(0);
  JumpTo(std::min(1, Path.TotalLines()));
}

void ViewerModel::MouseDrag(bool left, int dx, int dy) {
  if (left) {
    Camera.Rotate(dx, dy);
    View.Angle_lab.SetCaption("XY view angle " + std::to_string(Nearest(Camera.XYViewAngle)) + " Z view angle " +
                              std::to_string(Nearest(Camera.ZViewAngle)));
  } else {
    Camera.PanOffsetX += dx;
    Camera.PanOffsetY += dy;
  }
}

void ViewerModel::MouseWheel(bool up) { Camera.Wheel(up); }

ViewerPoint ViewerModel::LastPoint() const {
  const size_t n = Path.PointsThrough(ViewLine);
  return n == 0 ? ViewerPoint{} : Path.Points()[n - 1];
}

void ViewerModel::JumpTo(int line) {
  ViewLine = std::clamp(line, 0, Path.TotalLines());
  View.Cur_line_lab.SetCaption("Current Line " + std::to_string(ViewLine));
  ShowPosition();
  ShowList();
}

void ViewerModel::ShowPosition() {
  if (!Path.Spool()) {
    // A spooler job's list shows its tool records; a program's tool comes from the path.
    const int tool = Path.ToolThrough(ViewLine);
    View.Cur_tool_lab.SetCaption(tool > 0 ? "Tool # " + std::to_string(tool) : "");
  }
  const ViewerPoint p = LastPoint();
  View.Xpos_lab.SetCaption(Units("X pos ", p.X));
  View.Ypos_Lab.SetCaption(Units("Y pos ", p.Y));
  View.Zpos_lab.SetCaption(Units("Z pos ", p.Z));
}

void ViewerModel::ShowList() {
  if (ViewLine < listLine_ || (!listGcode_ && !listSpool_.IsOpen())) {
    list_.clear();
    listLine_ = 0;
    listGcode_.reset();
    listSpool_.Close();
    if (Path.Spool()) {
      SpoolRecord header;
      // The two header records are not counted as job records.
      if (listSpool_.Open(JobPath)) {
        for (int i = 0; i < 2 && listSpool_.Read(header); ++i) {
        }
      }
    } else {
      listGcode_ = std::make_unique<GcodeLineSource>(JobPath);
      if (!listGcode_->Ok()) listGcode_.reset();
    }
  }
  auto push = [this](std::string text) {
    list_.push_back(std::move(text));
    if (list_.size() > 5) list_.pop_front();
  };
  while (listLine_ < ViewLine) {
    if (Path.Spool()) {
      SpoolRecord r;
      if (!listSpool_.IsOpen() || !listSpool_.Read(r)) break;
      const std::string label = SpoolRecordLabel(r);
      if (!label.empty()) push(label);
      if (r.Kind == kSpoolChangeTool) View.Cur_tool_lab.SetCaption("Tool # " + std::to_string(r.A));
      if (r.Kind == kSpoolLayerStart) View.Cur_lay_lab.SetCaption(SpoolLayerText(r));
    } else {
      std::string text;
      if (!listGcode_ || !listGcode_->ReadLine(text)) break;
      push(text);
    }
    ++listLine_;
  }
  Control* rows[5] = {&View.L1, &View.L2, &View.L3, &View.L4, &View.L5};
  for (size_t i = 0; i < 5; ++i) rows[i]->SetCaption(i < list_.size() ? list_[i] : "");
}

std::vector<ViewerPoint> ViewerModel::GridLines() const {
  std::vector<ViewerPoint> lines;
  int64_t side = std::max(Path.Extent(0), Path.Extent(1));
  if (side < 100) side = 1000;
  const int32_t x0 = Path.ExtentMin[0], y0 = Path.ExtentMin[1], z = Path.ExtentMin[2];
  for (int i = 0; i <= 20; ++i) {
    const auto at = static_cast<int32_t>(side * i / 20);
    const auto end = static_cast<int32_t>(side);
    lines.push_back({x0 + at, y0, z, 0});
    lines.push_back({x0 + at, y0 + end, z, 0});
    lines.push_back({x0, y0 + at, z, 0});
    lines.push_back({x0 + end, y0 + at, z, 0});
  }
  return lines;
}

const ViewerFrame& ViewerModel::BuildFrame(int cell) {
  ViewerFrame& f = frame_;
  f.Lines.clear();
  f.Batches.clear();
  const std::vector<ViewerPoint>& pts = Path.Points();
  const size_t n = Path.PointsThrough(ViewLine);
  if (n == 0) return f;
  cell = std::max(1, cell);
  const ViewerProjection proj(Camera);
  const int areaW = std::max(1, width_ - kViewerSideColumn), areaH = std::max(1, height_);
  const int cellsX = areaW / cell + 1, cellsY = areaH / cell + 1;
  covered_.assign(static_cast<size_t>(cellsX) * cellsY, 0);
  const auto step = static_cast<float>(cell), inv = 1.0f / step;
  // The cell under a window point (Qt paints the pixel down and right of a point), or -1
  // beside the area.
  auto cellAt = [&](float x, float y) -> int {
    if (!(x >= 0 && y >= 0 && x < static_cast<float>(areaW) && y < static_cast<float>(areaH))) return -1;
    return static_cast<int>(y * inv) * cellsX + static_cast<int>(x * inv);
  };
  // Which side of the area a point is beyond, with a pixel of margin for the pen.
  auto beside = [&](float x, float y) {
    return (x < -2 ? 1 : 0) | (x > static_cast<float>(areaW + 2) ? 2 : 0) | (y < -2 ? 4 : 0) |
           (y > static_cast<float>(areaH + 2) ? 8 : 0);
  };
  const std::vector<ViewerColour>& colours = Path.Colours();
  size_t nextColour = 0;
  Color pen = kBlue;
  uint8_t penKey = 0;  // index of the pen among those met so far
  std::vector<Color> pens = {kBlue};
  auto emit = [&](float x0, float y0, float x1, float y1, bool rapid) {
    if ((beside(x0, y0) & beside(x1, y1)) != 0) return;
    const auto key = static_cast<uint8_t>(penKey * 2 + (rapid ? 2 : 1));
    const int c0 = cellAt(x0, y0), c1 = cellAt(x1, y1);
    if (std::max(std::fabs(x1 - x0), std::fabs(y1 - y0)) <= 2 * step) {
      // A short segment lies in its two end cells and the one between. When all three hold
      // end points of this pen drawn already, drawing it changes next to nothing. Only end
      // points are marked: which pixels Qt paints between them is its own choice, and a cell
      // marked but not painted would leave a hole.
      const int cm = cellAt((x0 + x1) / 2, (y0 + y1) / 2);
      if (c0 >= 0 && c1 >= 0 && cm >= 0 && covered_[c0] == key && covered_[c1] == key && covered_[cm] == key) {
        return;
      }
    }
    if (c0 >= 0) covered_[c0] = key;
    if (c1 >= 0) covered_[c1] = key;
    if (f.Batches.empty() || f.Batches.back().Pen != pen || f.Batches.back().Rapid != rapid) {
      f.Batches.push_back({pen, rapid, static_cast<uint32_t>(f.Segments()), 0});
    }
    ++f.Batches.back().Count;
    f.Lines.insert(f.Lines.end(), {x0, y0, x1, y1});
  };
  // Projected a block at a time, so the projection runs without branches.
  constexpr size_t kBlock = 512;
  float sx[kBlock], sy[kBlock];
  float px = 0, py = 0;
  for (size_t base = 0; base < n; base += kBlock) {
    const size_t count = std::min(kBlock, n - base);
    proj.Map(pts.data() + base, count, sx, sy);
    for (size_t j = 0; j < count; ++j) {
      const size_t i = base + j;
      const float x = sx[j], y = sy[j];
      if (i == 0) {
        px = x, py = y;
        continue;
      }
      while (nextColour < colours.size() && colours[nextColour].Point <= i) {
        pen = colours[nextColour++].Pen;
        const auto known = std::find(pens.begin(), pens.end(), pen);
        penKey = static_cast<uint8_t>(std::min<ptrdiff_t>(known - pens.begin(), 126));
        if (known == pens.end()) pens.push_back(pen);
      }
      // Closer than a cell to the last point kept: nothing to see yet (the last point is kept).
      if (std::fabs(x - px) < step && std::fabs(y - py) < step && i + 1 < n) continue;
      emit(px, py, x, y, pts[i].Rapid());
      px = x;
      py = y;
    }
  }
  return f;
}

void ViewerModel::Run_itClick() {
  const ViewerPoint p = LastPoint();
  View.XY_go.SetCaption("X " + FormatFixed(p.X / kUnitDivisor, 3) + "     Y " + FormatFixed(p.Y / kUnitDivisor, 3));
  View.Z_go.SetCaption("Z " + FormatFixed(p.Z / kUnitDivisor, 3));
  View.Restart_pan.SetVisible(true);
}

void ViewerModel::Cancel_goClick() { View.Restart_pan.SetVisible(false); }

bool ViewerModel::Reopen(RunControl& run) {
  const std::string path = JobPath.string();
  return Path.Spool() ? run.ChooseSpoolFile(path) : run.PrepareGcodeFile(path);
}

bool ViewerModel::Go_buttonClick(RunControl& run, JobEngines& engines, std::string& error) {
  const int line = ViewLine + 1;
  if (ViewLine >= Path.TotalLines()) {
    error = "Nothing is left to run after the last line";
    return false;
  }
  // The engines resume from a freshly opened file: reading it again puts it at its start.
  if (!Reopen(run)) {
    error = "The job cannot be opened again";
    return false;
  }
  engines.ResumePending = false;
  if (line > 1) {
    const bool resumed = Path.Spool() ? engines.ResumeSpoolAtRecord(line) : engines.ResumeGcodeAtLine(line);
    if (!resumed) {
      error = (Path.Spool() ? "The job does not reach record " : "The program does not reach line ") +
              std::to_string(line);
      return false;
    }
    // The box starts the spindle; it never keeps off a spindle the lines before switched on,
    // which would feed a standing cutter into the work.
    engines.ResumeSpindle = engines.ResumeSpindle || View.Start_router.Checked();
  }
  View.Restart_pan.SetVisible(false);
  return true;
}

void ViewerModel::Cancel_jumpClick(RunControl& run, JobEngines& engines) {
  (void)Reopen(run);
  engines.ResumePending = false;
}

}  // namespace wendlar
