#include "job/SpoolFile.h"

#include <algorithm>

#include "core/HomeDir.h"
#include "core/Numbers.h"
#include "link/CommandRecord.h"

namespace wendlar {

namespace {

constexpr uint8_t kCmdBufferReset = 12;

void Put32(uint8_t* p, int32_t v) {
  uint32_t u = static_cast<uint32_t>(v);
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(u >> (8 * i));
}

int32_t Get32(const uint8_t* p) {
  uint32_t u = 0;
  for (int i = 0; i < 4; ++i) u |= static_cast<uint32_t>(p[i]) << (8 * i);
  return static_cast<int32_t>(u);
}

}  // namespace

std::string SpoolRecord::Text() const {
  return std::to_string(Kind) + " " + std::to_string(A) + " " + std::to_string(B) + " " + std::to_string(C) + " " +
         std::to_string(D);
}

std::array<uint8_t, kSpoolRecordBytes> SpoolRecord::Encode() const {
  std::array<uint8_t, kSpoolRecordBytes> out{};
  Put32(out.data(), Kind);
  Put32(out.data() + 4, A);
  Put32(out.data() + 8, B);
  Put32(out.data() + 12, C);
  Put32(out.data() + 16, D);
  return out;
}

SpoolRecord SpoolRecord::Decode(const uint8_t* bytes) {
  return SpoolRecord{Get32(bytes), Get32(bytes + 4), Get32(bytes + 8), Get32(bytes + 12), Get32(bytes + 16)};
}

std::string SpoolRecordLabel(const SpoolRecord& r) {
  const std::string a = std::to_string(r.A);
  switch (r.Kind) {
    case kSpoolLayerStart: return "LAYERSTART";
    case kSpoolContourStart: return "CONTOURSTRT";
    case kSpoolContourEnd: return "CONTOUREND";
    case kSpoolLayerEnd: return "LAYEREND";
    case kSpoolBorder: return "BORDER SIZE";
    case kSpoolZLimits: return "Z limits";
    case kSpoolRapidXY: return "Rapid XY";
    case kSpoolZRaise: return "Z Raise";
    case kSpoolLowerZ: return "Lower Z to work";
    case kSpoolLinear: return "Linear XYZ";
    case kSpoolZFeed: return "Z Feed";
    case kSpoolPeck: return "Peck Drill";
    case kSpoolArcCw: return "Arc CW";
    case kSpoolArcCcw: return "Arc CCW";
    case kSpoolRAngle: return "R axis angle";
    case kSpoolHomeR: return "Home R axis";
    case kSpoolTangent: return "Tangental angle";
    case kSpoolChangeTool: return "Change Tool " + a;
    // The file counts spindles from 0, the operator from 1.
    case kSpoolSpindleOn: return "Spindle On " + std::to_string(static_cast<int64_t>(r.A) + 1);
    case kSpoolSetRpm: return "Set RPM" + a;
    case kSpoolAux1: return "Aux 1 On " + a;
    case kSpoolAux2: return "Aux 2 On " + a;
    case kSpoolFeed: return (r.B == 1 ? "Set XY Feed rate " : "Set Z Feed rate ") + a;
    default: return "";
  }
}

std::string SpoolLayerText(const SpoolRecord& r) { return "Current Layer " + std::to_string(r.A); }

bool SpoolReader::Open(const std::filesystem::path& path) {
  Close();
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) return false;
  auto f = std::make_unique<std::ifstream>(path, std::ios::binary);
  if (!*f) return false;
  file_ = std::move(f);
  return true;
}

void SpoolReader::Close() { file_.reset(); }

bool SpoolReader::Read(SpoolRecord& record) {
  if (!file_) return false;
  uint8_t bytes[kSpoolRecordBytes];
  file_->read(reinterpret_cast<char*>(bytes), kSpoolRecordBytes);
  if (file_->gcount() != static_cast<std::streamsize>(kSpoolRecordBytes)) return false;
  record = SpoolRecord::Decode(bytes);
  return true;
}

std::string EncodeSpoolRecords(const std::vector<SpoolRecord>& records) {
  std::string out;
  out.reserve(records.size() * kSpoolRecordBytes);
  for (const SpoolRecord& r : records) {
    auto bytes = r.Encode();
    out.append(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  }
  return out;
}

bool WriteSpoolFile(const std::filesystem::path& path, const std::vector<SpoolRecord>& records, std::string* why) {
  // With a folder part the name is taken as it is, never matched to another file's case.
  const std::filesystem::path named = path.has_parent_path() ? path : std::filesystem::path(".") / path;
  return HomeDir(named.parent_path()).WriteTextAtomic(named.string(), EncodeSpoolRecords(records), why);
}

std::vector<std::string> DrawingLimitsLines(const DrawingLimits& l, const UnitState& u) {
  auto v = [&](int32_t fileUnits) { return FormatFixed(fileUnits / u.UnitsFactor, u.UnitsDecimals, 3) + u.UnitsMark; };
  return {
      "Drawing Limits",
      "X min " + v(l.XMin) + " max " + v(l.XMax),
      "Y min " + v(l.YMin) + " max " + v(l.YMax),
      "Z top " + v(l.ZTop) + " bot " + v(l.ZBot),
  };
}

bool OpenSpoolJob(const std::filesystem::path& path, SpoolJob& job, ConfigState& config, JobMachine& machine,
                  RunFlags& flags) {
  machine.StartDebugLog();
  job.RecordCount = 0;
  job.SpoolXYFeed = 21;
  job.SpoolZFeed = 22;
  flags.AbortRun = 0;
  machine.ClearSegments();
  if (!job.Reader.Open(path)) {
    machine.ShowRunError(kMsgIoError);
    return false;
  }
  // The controller's buffer starts empty too.
  machine.QueueCommand(CommandRecord(kCmdBufferReset, {}));

  job.Limits = DrawingLimits{};
  SpoolRecord r;
  if (job.Reader.Read(r)) {
    job.RecordText = r.Text();
    if (r.Kind == kSpoolBorder) {
      job.Limits.XMin = r.A;
      job.Limits.YMin = r.B;
      job.Limits.XMax = r.C;
      job.Limits.YMax = r.D;
    }
  }
  if (job.Reader.Read(r)) {
    job.RecordText = r.Text();
    if (r.Kind == kSpoolZLimits) {
      // Negated in 64 bits: the most negative field has no 32-bit opposite.
      job.Limits.ZTop = static_cast<int32_t>(std::clamp<int64_t>(-static_cast<int64_t>(r.A), 0, INT32_MAX));
      job.Limits.ZBot = static_cast<int32_t>(std::clamp<int64_t>(-static_cast<int64_t>(r.B), INT32_MIN, INT32_MAX));
      job.WorkTopZ = job.Limits.ZTop / config.Units.UnitsFactor;
      config.ToolAboveWorkNow = job.WorkTopZ + config.Config.Tool_above_work;
    }
  }
  for (const std::string& line : DrawingLimitsLines(job.Limits, config.Units)) machine.ShowCodeLine(line);
  machine.EnableRun();
  return true;
}

}  // namespace wendlar
