#include "tools/ViewerModel.h"

#include <algorithm>
#include <cmath>

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
  static constexpr Color kToolPens[] = {kBlue, kLime, kRed, kNavy};
  for (int record = 1; reader.Read(r); ++record) {
    if (r.Kind == kSpoolChangeTool) {
      colours_.push_back({record, r.A >= 1 && r.A <= 4 ? kToolPens[r.A - 1] : kBlue});
    } else if (r.Kind == kSpoolLayerStart) {
      colours_.push_back({record, kRed});
    }
  }
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
  const double areaW = std::max(1, windowWidth - 150), areaH = std::max(1, windowHeight);
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
