#include "job/JobCheck.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <string>
#include <vector>

#include "config/ConfigFile.h"
#include "core/Numbers.h"
#include "job/ArcPath.h"
#include "job/BufferedJobMachine.h"
#include "job/GcodeReader.h"
#include "job/SpoolEngine.h"
#include "job/SpoolFile.h"

namespace wendlar {

namespace {

// Takes every record as a connected controller would, and counts it.
class CountingSink : public CommandSink {
 public:
  void QueueCommand(const CommandRecord&) override { ++Records; }
  bool Connected() const override { return true; }
  int64_t Records = 0;
};

// A controller whose buffer never fills.
class EmptyController : public ControllerBuffer {
 public:
  uint16_t BufHead() const override { return 0; }
  uint16_t BufTail() const override { return 0; }
  int BufferSize() const override { return 4096; }
  bool PollWhileWaiting() override { return false; }
};

class CheckFeeds : public FeedSource {
 public:
  CheckFeeds(const GcodeState& gcode, int jobMode) : gcode_(gcode), jobMode_(jobMode) {}
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
class CheckMachine : public BufferedJobMachine, public SpoolOps {
 public:
  CheckMachine(SegmentBuffer& buffer, SpeedTables& tables, CountingSink& sink)
      : BufferedJobMachine(buffer, tables), sink_(sink), segments_(buffer), tables_(tables) {}

  // SpoolOps: the second head's W moves count like Z moves; the checker's machine is
  // neither a knife table nor a two-head machine.
  void MoveW(int32_t w, int speed, bool wait) override { MoveZ(w, speed, wait); }
  void HomeW() override { Direct(); }
  void SendKnifeAngle(int32_t, int32_t) override { Direct(); }
  int FeedSpeedIndex() const override { return tables_.FeedSpeedIndex(); }
  int PlungeSpeedIndex() const override { return segments_.PlungeSpeedIndex(); }
  void ShowRpm(int) override {}
  bool KnifeMode() const override { return false; }
  bool SecondHeadMachine() const override { return false; }

  struct Message {
    int Line;
    std::string Text;
  };
  std::vector<Message> Messages;
  int CurrentLine = 0;
  bool Spindle = false;
  int64_t MinX = 0, MaxX = 0, MinY = 0, MaxY = 0, MinZ = 0, MaxZ = 0;  // steps, Z as sent

  void QueueMove(int32_t x, int32_t y, int32_t z, double speed) override {
    Track(x, y, z);
    BufferedJobMachine::QueueMove(x, y, z, speed);
  }
  void QueueMoveW(int32_t x, int32_t y, int32_t w, double speed) override {
    Track(x, y, LastStepZ());
    BufferedJobMachine::QueueMoveW(x, y, w, speed);
  }
  void QueueCommand(const CommandRecord& record) override { sink_.QueueCommand(record); }
  void RapidXY(int32_t x, int32_t y) override {
    Track(x, y, LastStepZ());
    Direct();
  }
  void MoveZ(int32_t z, int, bool) override {
    Track(LastStepX(), LastStepY(), z);
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
  void ShowLineCounter(const std::string&) override {}
  void ShowCodeLine(const std::string&) override {}
  void ShowMessage(const std::string& text) override { Messages.push_back({CurrentLine, text}); }
  void ClearCodeLines() override {}
  void AddComList(const std::string& text) override { Messages.push_back({CurrentLine, text}); }
  void EnableRun() override {}
  void ShowRunError(const std::string& caption) override { Messages.push_back({CurrentLine, caption}); }
  void StartDebugLog() override {}
  bool UseFeed() const override { return false; }
  bool UseRpm() const override { return false; }
  int SpindleRpm() const override { return 0; }
  bool PauseonM0() const override { return true; }

 private:
  void Direct(int n = 1) { sink_.Records += n; }
  void Track(int64_t x, int64_t y, int64_t z) {
    MinX = std::min(MinX, x);
    MaxX = std::max(MaxX, x);
    MinY = std::min(MinY, y);
    MaxY = std::max(MaxY, y);
    MinZ = std::min(MinZ, z);
    MaxZ = std::max(MaxZ, z);
  }
  CountingSink& sink_;
  SegmentBuffer& segments_;
  SpeedTables& tables_;
};

bool IsSpoolFile(const std::filesystem::path& path) {
  std::string ext = path.extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
  return ext == ".vrj";
}

int32_t FileUnits(int64_t steps, double scale) {
  if (!(scale > 0)) return 0;
  return static_cast<int32_t>(Nearest(static_cast<double>(steps) / scale));
}

std::string Count(const char* label, int64_t n) { return std::string(label) + " " + std::to_string(n); }

}  // namespace

bool CheckJobFile(const std::filesystem::path& path, const CheckOptions& options, std::ostream& out) {
  ConfigState config;
  SetDefaultConfig(config.Config);
  if (options.Metric) {
    config.Config.UnitsMode = 2;
    SetMetricUnits(config.Units);
  } else {
    config.Config.UnitsMode = 1;
    SetInchUnits(config.Units);
  }
  config.ToolAboveWorkNow = config.Config.Tool_above_work;
  const bool spool = IsSpoolFile(path);

  GcodeState gcode;
  JobRunState run;
  RunFlags flags;
  CountingSink sink;
  EmptyController controller;
  CheckFeeds feeds(gcode, spool ? 1 : 2);
  // No Speed_table.txt is written: the program directory is one that does not exist.
  HomeDir nowhere(std::filesystem::temp_directory_path() / "wendlar-check-no-such-folder" / "none");
  SpeedTables tables(config, nowhere, feeds);
  (void)tables.BuildSpeedTable(100);
  SegmentBuffer buffer(config, tables, sink, controller, flags);
  CheckMachine machine(buffer, tables, sink);

  out << "Checking " << path.filename().string() << (spool ? " as a spooler job" : " as a G-code program")
      << (options.Metric ? ", metric" : ", inch") << " configuration\n";

  DrawingLimits limits;
  std::vector<std::string> counts;
  bool opened = true;
  if (spool) {
    SpoolJob job;
    opened = OpenSpoolJob(path, job, config, machine, flags);
    if (opened) {
      limits = job.Limits;
      SpoolEngineState state;
      state.WorkTopZ = job.WorkTopZ;
      SpoolStepper stepper(machine, machine, config, flags, state);
      SpoolRecord r;
      int records = 2;
      while (flags.AbortRun == 0 && job.Reader.Read(r)) {
        ++records;
        machine.CurrentLine = records;
        stepper.Execute(r);
        feeds.XYFeed = state.SpoolXYFeed;
        feeds.ZFeed = state.SpoolZFeed;
      }
      machine.FlushSegments();
      const SpoolStats& st = stepper.Stats();
      counts = {Count("Records", records), Count("Rapids", st.Rapids), Count("Feeds", st.Feeds),
                Count("Arcs", st.Arcs), Count("Drilling cycles", st.Drills)};
    }
  } else {
    GcodeLineSource source(path);
    opened = source.Ok();
    if (!opened) {
      machine.ShowRunError(kMsgIoError);
    } else {
      StartGcodeState(gcode, 0, 0, 0);
      GcodeReader reader(gcode, run, machine, config, flags);
      while (flags.AbortRun == 0 && !run.ToolChangeStop) {
        machine.CurrentLine = source.LineNumber() + 1;
        if (!reader.Step(source)) break;
      }
      machine.FlushSegments();
      const GcodeStats& st = reader.Stats();
      limits.XMin = FileUnits(machine.MinX, config.Config.Xscale);
      limits.XMax = FileUnits(machine.MaxX, config.Config.Xscale);
      limits.YMin = FileUnits(machine.MinY, config.Config.Yscale);
      limits.YMax = FileUnits(machine.MaxY, config.Config.Yscale);
      limits.ZTop = FileUnits(-machine.MinZ, config.Config.Zscale);
      limits.ZBot = FileUnits(-machine.MaxZ, config.Config.Zscale);
      counts = {Count("Lines read", source.LineNumber()), Count("Lines executed", run.LineCounter),
                Count("Rapids", st.Rapids), Count("Feeds", st.Feeds), Count("Arcs", st.Arcs),
                Count("Drilling cycles", st.DrillCycles)};
      if (run.ToolChangeStop) counts.push_back(Count("Stops for tool", run.ToolNumber));
    }
  }

  if (opened) {
    for (const std::string& line : DrawingLimitsLines(limits, config.Units)) out << line << "\n";
    for (const std::string& line : counts) out << line << "\n";
    out << Count("Segments", buffer.SegmentsQueued) << "\n";
    out << Count("Packets", sink.Records) << "\n";
  }
  out << Count("Messages", static_cast<int64_t>(machine.Messages.size())) << "\n";
  for (const auto& m : machine.Messages) {
    out << "  ";
    if (m.Line > 0) out << (spool ? "record " : "line ") << m.Line << ": ";
    out << m.Text << "\n";
  }
  const bool ok = opened && flags.AbortRun == 0;
  out << (ok ? "The job runs to its end" : "The job would stop") << "\n";
  return ok;
}

}  // namespace wendlar
