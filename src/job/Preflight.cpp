#include "job/Preflight.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>

#include "core/HomeDir.h"
#include "core/Numbers.h"
#include "job/BufferedJobMachine.h"
#include "job/GcodeFile.h"
#include "job/GcodeReader.h"
#include "job/SpoolEngine.h"

namespace wendlar {

namespace {

// Times every segment packet at the speed it was planned for, in windows of
// kRateWindowPackets, and keeps the window that needs the most packets per second.
class RateCounter {
 public:
  RateCounter(const SpeedTables& tables, const ConfigState& config) : tables_(tables) {
    const MachineConfig& c = config.Config;
    const double uf = config.Units.UnitsFactor > 0 ? config.Units.UnitsFactor : 1.0;
    // Steps to user units per axis; a scale of 0 leaves that axis out of the length.
    unitX_ = c.Xscale > 0 ? 1.0 / (c.Xscale * uf) : 0.0;
    unitY_ = c.Yscale > 0 ? 1.0 / (c.Yscale * uf) : 0.0;
    unitZ_ = c.Zscale > 0 ? 1.0 / (c.Zscale * uf) : 0.0;
  }

  void Packet(const CommandRecord& r, int32_t line) {
    const bool laser = r.Code() == kCmdSegmentW;
    if (r.Code() != kCmdSegment && !laser) return;
    const double ax = r.B(1) | r.B(2) << 8, ay = r.B(3) | r.B(4) << 8;
    // A laser segment's third value is the beam's power, not a move.
    const double az = laser ? 0.0 : r.B(5) | r.B(6) << 8;
    const int axis = r.B(9) >> 4;
    const double dominant = axis == 1 ? ax : axis == 2 ? ay : az;
    const int rate = tables_.RateTable[static_cast<size_t>(tables_.ClampIndex(r.B(8)))];
    if (window_.Packets == 0) window_.FirstLine = line;
    window_.LastLine = line;
    ++window_.Packets;
    if (rate > 0) window_.Seconds += dominant / rate;
    window_.Length += std::sqrt(ax * ax * unitX_ * unitX_ + ay * ay * unitY_ * unitY_ + az * az * unitZ_ * unitZ_);
    if (window_.Packets < kRateWindowPackets) return;
    if (window_.PacketsPerSec() > Busiest.PacketsPerSec()) Busiest = window_;
    window_ = RateWindow{};
  }

  RateWindow Busiest;

 private:
  const SpeedTables& tables_;
  double unitX_ = 0, unitY_ = 0, unitZ_ = 0;
  RateWindow window_;
};

// Takes every record as a connected controller would, and counts it.
class CountingSink : public CommandSink {
 public:
  void QueueCommand(const CommandRecord&) override { ++Records; }
  void QueueFromLine(const CommandRecord& record, int32_t line) override {
    ++Records;
    if (Rates != nullptr) Rates->Packet(record, line);
  }
  bool Connected() const override { return true; }
  int64_t Records = 0;
  RateCounter* Rates = nullptr;
};

// A controller whose buffer never fills.
class EmptyController : public ControllerBuffer {
 public:
  uint16_t BufHead() const override { return 0; }
  uint16_t BufTail() const override { return 0; }
  int BufferSize() const override { return 4096; }
  bool PollWhileWaiting() override { return false; }
};

class PreflightFeeds : public FeedSource {
 public:
  PreflightFeeds(const GcodeState& gcode, int jobMode) : gcode_(gcode), jobMode_(jobMode) {}
  bool UseFeed() const override { return false; }
  int FeedIndex() const override { return 0; }
  int JobMode() const override { return jobMode_; }
  double CurrentFeed() const override { return gcode_.CurrentFeed; }
  int SpoolXYFeed() const override { return XYFeed; }
  int SpoolZFeed() const override { return ZFeed; }
  int XYFeed = 21, ZFeed = 22;

 private:
  const GcodeState& gcode_;
  int jobMode_;
};

// The machine without a controller: direct commands are counted, messages kept with the
// file line they came from, and the extent of every target is tracked.
class PreflightMachine : public BufferedJobMachine, public SpoolOps {
 public:
  PreflightMachine(SegmentBuffer& buffer, SpeedTables& tables, CountingSink& sink)
      : BufferedJobMachine(buffer, tables), sink_(sink), segments_(buffer), tables_(tables) {}

  // SpoolOps: the second head's W moves count like Z moves; the pre-flight machine is
  // neither a knife table nor a two-head machine.
  void MoveW(int32_t w, int speed, bool wait) override { MoveZ(w, speed, wait); }
  void HomeW() override { Direct(); }
  void SendKnifeAngle(int32_t, int32_t) override { Direct(); }
  int FeedSpeedIndex() const override { return tables_.FeedSpeedIndex(); }
  int PlungeSpeedIndex() const override { return segments_.PlungeSpeedIndex(); }
  void ShowRpm(int) override {}
  bool KnifeMode() const override { return false; }
  bool SecondHeadMachine() const override { return false; }

  std::vector<JobRefusal> Messages;
  int CurrentLine = 0;
  PathRecorder* Path = nullptr;
  bool Spindle = false;
  bool Tracked = false;
  int64_t MinX = 0, MaxX = 0, MinY = 0, MaxY = 0, MinZ = 0, MaxZ = 0;  // steps, Z as sent

  void QueueMove(int32_t x, int32_t y, int32_t z, double speed) override {
    Track(x, y, z, false);
    BufferedJobMachine::QueueMove(x, y, z, speed);
  }
  void QueueMoveW(int32_t x, int32_t y, int32_t w, double speed) override {
    Track(x, y, LastStepZ(), false);
    BufferedJobMachine::QueueMoveW(x, y, w, speed);
  }
  void QueueCommand(const CommandRecord& record) override { sink_.QueueCommand(record); }
  void RapidXY(int32_t x, int32_t y) override {
    Track(x, y, LastStepZ(), true);
    Direct();
  }
  void MoveZ(int32_t z, int, bool) override {
    Track(LastStepX(), LastStepY(), z, false);
    Direct();
  }
  void Dwell(double) override { Direct(); }
  void SpindleOn(int) override {
    Spindle = true;
    Direct(2);
  }
  void SpindleOff() override {
    Spindle = false;
    Direct();
  }
  bool SpindleRunning() const override { return Spindle; }
  void SetAux1(bool) override { Direct(); }
  void SetAux2(bool) override { Direct(); }
  void SetLaser(bool) override { Direct(); }
  void SetJobSpindleSpeed(int) override { Direct(); }
  void WaitForContinue() override {}
  void ShowFeedLabel(const std::string&) override {}
  void ShowLineCounter(int) override {}
  void ShowCodeLine(const std::string&) override {}
  void ShowMessage(const std::string& text) override { Messages.push_back({CurrentLine, text}); }
  void ClearCodeLines() override {}
  // The value error's list entry repeats what the refusal says.
  void AddComList(const std::string&) override {}
  void EnableRun() override {}
  void ShowRunError(const std::string& caption) override { Messages.push_back({CurrentLine, caption}); }
  void StartDebugLog() override {}
  bool UseFeed() const override { return false; }
  bool UseRpm() const override { return false; }
  int SpindleRpm() const override { return 0; }
  bool PauseonM0() const override { return true; }
  void ToolChanged(int tool) override {
    if (Path != nullptr) Path->PathTool(CurrentLine, tool);
  }

 private:
  void Direct(int n = 1) { sink_.Records += n; }
  void Track(int32_t x, int32_t y, int32_t z, bool rapid) {
    if (Path != nullptr) Path->PathPoint(CurrentLine, x, y, z, rapid);
    if (!Tracked) {
      MinX = MaxX = x;
      MinY = MaxY = y;
      MinZ = MaxZ = z;
      Tracked = true;
    }
    MinX = std::min<int64_t>(MinX, x);
    MaxX = std::max<int64_t>(MaxX, x);
    MinY = std::min<int64_t>(MinY, y);
    MaxY = std::max<int64_t>(MaxY, y);
    MinZ = std::min<int64_t>(MinZ, z);
    MaxZ = std::max<int64_t>(MaxZ, z);
  }
  CountingSink& sink_;
  SegmentBuffer& segments_;
  SpeedTables& tables_;
};

int32_t FileUnits(int64_t steps, double scale) {
  if (!(scale > 0)) return 0;
  return static_cast<int32_t>(Nearest(static_cast<double>(steps) / scale));
}

int32_t OffsetUnits(double userUnits, double factor) {
  if (!std::isfinite(userUnits)) return 0;
  return static_cast<int32_t>(std::clamp<int64_t>(Nearest(userUnits * factor), INT32_MIN, INT32_MAX));
}

std::string Count(const char* label, int64_t n) { return std::string(label) + " " + std::to_string(n); }

}  // namespace

bool IsSpoolJobFile(const std::filesystem::path& path) {
  std::string ext = path.extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
  return ext == ".vrj";
}

PreflightResult PreflightJob(const std::filesystem::path& path, const ConfigState& jobConfig,
                             const PreflightStart& start) {
  PreflightResult result;
  result.Spool = IsSpoolJobFile(path);
  // Opening a spooler job sets the run's heights; the job's own configuration stays untouched.
  ConfigState config = jobConfig;
  GcodeState gcode;
  JobRunState run;
  RunFlags flags;
  CountingSink sink;
  EmptyController controller;
  PreflightFeeds feeds(gcode, result.Spool ? 1 : 2);
  // No Speed_table.txt is written: the program directory is one that does not exist.
  HomeDir nowhere(std::filesystem::temp_directory_path() / "wendlar-preflight-no-such-folder" / "none");
  SpeedTables tables(config, nowhere, feeds);
  (void)tables.BuildSpeedTable(start.SpeedSteps);
  RateCounter rates(tables, config);
  sink.Rates = &rates;
  SegmentBuffer buffer(config, tables, sink, controller, flags);
  PreflightMachine machine(buffer, tables, sink);
  machine.SetLastStep(start.StepX, start.StepY, start.StepZ);
  machine.Path = start.Path;
  auto keepReading = [&](int line) { return start.Path == nullptr || start.Path->KeepReading(line); };
  const double uf = config.Units.UnitsFactor;

  if (result.Spool) {
    SpoolJob job;
    result.Opened = OpenSpoolJob(path, job, config, machine, flags);
    if (!result.Opened) return result;
    machine.ClearCodeLines();
    result.Limits = job.Limits;
    SpoolEngineState state;
    state.WorkTopZ = job.WorkTopZ;
    state.FixtureOffX = OffsetUnits(start.OffsetX, uf);
    state.FixtureOffY = OffsetUnits(start.OffsetY, uf);
    SpoolStepper stepper(machine, machine, config, flags, state);
    stepper.CollectRefusals(&result.Refusals);
    SpoolRecord r;
    int records = 0;
    while (flags.AbortRun == 0 && keepReading(records + 1) && job.Reader.Read(r)) {
      ++records;
      machine.CurrentLine = records;
      buffer.LineTag = records;
      stepper.SetRecordNumber(records);
      stepper.Execute(r);
      feeds.XYFeed = state.SpoolXYFeed;
      feeds.ZFeed = state.SpoolZFeed;
    }
    machine.FlushSegments();
    // A file cut short (a copy that failed, a full disk) would run part of the job as if it
    // were all of it.
    std::error_code ec;
    const auto bytes = std::filesystem::file_size(path, ec);
    if (!ec && bytes % kSpoolRecordBytes != 0) {
      result.Refusals.push_back({records + 1, "Error the file ends in part of a record (" +
                                                  std::to_string(bytes % kSpoolRecordBytes) + " of 20 bytes)"});
    }
    const SpoolStats& st = stepper.Stats();
    result.Lines = records;
    result.Rapids = st.Rapids;
    result.Feeds = st.Feeds;
    result.Arcs = st.Arcs;
    result.DrillCycles = st.Drills;
  } else {
    GcodeLineSource source(path);
    result.Opened = source.Ok();
    if (!result.Opened) return result;
    StartGcodeState(gcode, start.MachineX, start.MachineY, start.MachineZ);
    SetGcodeFixture(gcode, start.OffsetX, start.OffsetY);
    GcodeReader reader(gcode, run, machine, config, flags);
    reader.SetFixtures(start.Offsets);
    reader.CollectRefusals(&result.Refusals);
    // The whole file, past tool-change stops: every line the run would reach.
    while (flags.AbortRun == 0) {
      machine.CurrentLine = source.LineNumber() + 1;
      buffer.LineTag = machine.CurrentLine;
      if (!keepReading(machine.CurrentLine)) break;
      if (!reader.Step(source)) break;
      if (run.ToolChangeStop) {
        ++result.ToolStops;
        run.ToolChangeStop = false;
      }
    }
    machine.FlushSegments();
    const GcodeStats& st = reader.Stats();
    result.Lines = source.LineNumber();
    result.Rapids = st.Rapids;
    result.Feeds = st.Feeds;
    result.Arcs = st.Arcs;
    result.DrillCycles = st.DrillCycles;
    const MachineConfig& c = config.Config;
    if (machine.Tracked) {
      result.Limits.XMin = FileUnits(machine.MinX, c.Xscale);
      result.Limits.XMax = FileUnits(machine.MaxX, c.Xscale);
      result.Limits.YMin = FileUnits(machine.MinY, c.Yscale);
      result.Limits.YMax = FileUnits(machine.MaxY, c.Yscale);
      result.Limits.ZTop = FileUnits(-machine.MinZ, c.Zscale);
      result.Limits.ZBot = FileUnits(-machine.MaxZ, c.Zscale);
    }
  }
  if (machine.Tracked) {
    result.Moves = true;
    result.StepMinX = machine.MinX, result.StepMaxX = machine.MaxX;
    result.StepMinY = machine.MinY, result.StepMaxY = machine.MaxY;
    result.StepMinZ = machine.MinZ, result.StepMaxZ = machine.MaxZ;
  }
  result.Busiest = rates.Busiest;
  result.Messages = std::move(machine.Messages);
  result.Segments = buffer.SegmentsQueued;
  result.Packets = sink.Records;
  return result;
}

namespace {

// Three decimals, without a "-0.000".
std::string Fixed3(double v) {
  char text[48];
  std::snprintf(text, sizeof text, "%.3f", std::fabs(v) < 0.0005 ? 0.0 : v);
  return text;
}

}  // namespace

std::vector<std::string> TravelRefusals(const PreflightResult& result, const ConfigState& config) {
  std::vector<std::string> lines;
  if (!result.Moves) return lines;
  const MachineConfig& c = config.Config;
  const double uf = config.Units.UnitsFactor;
  const std::string unit = uf == 100.0 ? " mm" : " in";
  // `up`: program Z counts upward, the controller's steps downward, so the program's
  // minimum is the controller's maximum.
  const auto check = [&](const char* axis, const AxisTravel& travel, int64_t lo, int64_t hi, double scale, bool up) {
    if (!travel.Set || !(scale > 0) || !(uf > 0)) return;
    const auto units = [&](int64_t steps) { return Fixed3((up ? -steps : steps) / scale / uf) + unit; };
    const std::string head = std::string("Job leaves the travel: ") + axis;
    const int64_t low = up ? hi : lo, high = up ? lo : hi;
    const int64_t lowLimit = up ? travel.MaxSteps : travel.MinSteps, highLimit = up ? travel.MinSteps : travel.MaxSteps;
    if (up ? low > lowLimit : low < lowLimit) lines.push_back(head + " min " + units(low) + " is below " + units(lowLimit));
    if (up ? high < highLimit : high > highLimit) {
      lines.push_back(head + " max " + units(high) + " is above " + units(highLimit));
    }
  };
  const TravelState& t = config.Travel;
  check("X", t.X, result.StepMinX, result.StepMaxX, c.Xscale, false);
  check("Y", t.Y, result.StepMinY, result.StepMaxY, c.Yscale, false);
  check("Z", t.Z, result.StepMinZ, result.StepMaxZ, c.Zscale, true);
  return lines;
}

std::vector<std::string> LinkRateWarning(const PreflightResult& result, double linkPacketsPerSec,
                                         const UnitState& units) {
  const RateWindow& w = result.Busiest;
  const double need = w.PacketsPerSec();
  if (!(linkPacketsPerSec > 0) || w.Packets == 0 || need <= linkPacketsPerSec) return {};
  const std::string where = std::string(result.Spool ? "records " : "lines ") + std::to_string(w.FirstLine) + "-" +
                            std::to_string(w.LastLine);
  const double sustained = w.FeedPerMin() * linkPacketsPerSec / need;
  return {
      "The job may outrun the link (the motion would stutter): " + where + " need " +
          std::to_string(static_cast<int64_t>(std::lround(need))) + " packets/s, the link carries " +
          std::to_string(static_cast<int64_t>(std::lround(linkPacketsPerSec))),
      "Feed the link sustains at " + where + ": " + FormatFixed(sustained, 1) + units.SpeedUnits + " (planned " +
          FormatFixed(w.FeedPerMin(), 1) + units.SpeedUnits + ")",
  };
}

std::vector<std::string> RefusalLines(const PreflightResult& result, size_t most) {
  std::vector<std::string> lines;
  const char* what = result.Spool ? "record " : "line ";
  for (size_t i = 0; i < result.Refusals.size() && i < most; ++i) {
    const JobRefusal& r = result.Refusals[i];
    lines.push_back(r.Line > 0 ? what + std::to_string(r.Line) + ": " + r.Text : r.Text);
  }
  if (result.Refusals.size() > most) {
    lines.push_back("... and " + std::to_string(result.Refusals.size() - most) + " more refusals");
  }
  return lines;
}

std::vector<std::string> PreflightSummary(const PreflightResult& result, const UnitState& units) {
  std::vector<std::string> lines = DrawingLimitsLines(result.Limits, units);
  lines.push_back(Count(result.Spool ? "Records" : "Lines", result.Lines));
  lines.push_back(Count("Rapids", result.Rapids));
  lines.push_back(Count("Feeds", result.Feeds));
  lines.push_back(Count("Arcs", result.Arcs));
  lines.push_back(Count("Drilling cycles", result.DrillCycles));
  if (result.ToolStops > 0) lines.push_back(Count("Stops for a tool change", result.ToolStops));
  lines.push_back(Count("Segments", result.Segments));
  lines.push_back(Count("Packets", result.Packets));
  return lines;
}

}  // namespace wendlar
