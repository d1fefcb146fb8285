#include "config/ConfigFile.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <type_traits>
#include <filesystem>
#include <variant>

#include "config/EditText.h"
#include "core/Numbers.h"

namespace wendlar {

namespace fs = std::filesystem;

namespace {

using C = MachineConfig;
struct Reserved {};  // line 66: read and discarded
using FieldRef = std::variant<uint8_t C::*, uint16_t C::*, int32_t C::*, double C::*, std::string C::*, Reserved>;

struct FieldSpec {
  FieldRef ref;
  int decimals = 8;  // f64 fields only
};

// Lines 2 to 74 in file order.
const FieldSpec kFields[] = {
    {&C::Cfg_line2},        {&C::Rap_timer},          {&C::Cut_timer},         {&C::R_vel_max},
    {&C::R_vel_start},      {&C::Vel_ceiling},        {&C::Xscale},            {&C::Yscale},
    {&C::Zscale},           {&C::R_cal},              {&C::Z_start_vel},       {&C::Cfg_line13},
    {&C::Z_1st_drop},       {&C::Z_raise_vel},        {&C::Drop_pause, 3},     {&C::Tool_above_work, 3},
    {&C::R_accel},          {&C::Contour_accel},      {&C::Mass_comp},         {&C::Slow_safe},
    {&C::Sharp_ang_paz},    {&C::Short_vlen_steps},   {&C::Corner_paz},        {&C::Spind_low},
    {&C::Spind_hi},         {&C::Auto_Spindle_Start}, {&C::Auto_Spindle_Stop}, {&C::XYhome_vel},
    {&C::Zhome_vel},        {&C::Switch_NC},          {&C::Limit_enable},      {&C::Cfg_line33},
    {&C::Zhome_vel},        {&C::Fourth_is_rotary},   {&C::W_slave},           {&C::Rvel},
    {&C::W_xof, 4},         {&C::W_yof, 4},           {&C::True_arcs},         {&C::Arc_rez},
    {&C::Jogslowvel},       {&C::Jogfastvel},         {&C::CV_Max},            {&C::UnitsMode},
    {&C::Cfg_line46},       {&C::Cfg_line47},         {&C::XY_home_dist},      {&C::Z_home_dist},
    {&C::Enable_4th},       {&C::Comment},            {&C::Option_flags5},     {&C::Aux1_dw_up},
    {&C::Aux1_dw_down},     {&C::Aux2_dw_up},         {&C::Aux2_dw_down},      {&C::Aux1R_xoff},
    {&C::Aux1R_yoff},       {&C::Aux2R_xoff},         {&C::Aux2R_yoff},        {&C::Man_toolch},
    {&C::Toolch_xpos},      {&C::Toolch_ypos},        {&C::Toolch_Zpos},       {&C::Spindle_delay},
    {Reserved{}},           {&C::Cfg_line67},         {&C::Cfg_line68},        {&C::Cfg_line69},
    {&C::Io_flags},         {&C::Tpad_Size},          {&C::TP_Seek_vel},       {&C::Laser_Xoff, 4},
    {&C::Laser_Yoff, 4},
};
static_assert(std::size(kFields) == 73, "lines 2 to 74");

constexpr int kFirstFieldLine = 2;
constexpr int kLastFieldLine = 74;
constexpr int kFillerLines = 9;

// Fields every later computation divides by or steps with.
bool MustBePositive(double C::*member) {
  return member == &C::Xscale || member == &C::Yscale || member == &C::Zscale || member == &C::R_cal ||
         member == &C::Arc_rez;
}

enum class LineRead { Ok, Unreadable, Refused };

LineRead ReadField(ConfigState& state, const FieldSpec& field, int lineNo, const std::string& line) {
  MachineConfig& cfg = state.Config;
  if (std::holds_alternative<Reserved>(field.ref)) return LineRead::Ok;
  if (auto text = std::get_if<std::string C::*>(&field.ref)) {
    cfg.*(*text) = line;
    if (lineNo == 51) state.Dialog.Comment = line;
    if (lineNo == 52 && !cfg.Option_flags5.empty() && cfg.Option_flags5[0] == '1') cfg.Option_flags5 = "NNNNN";
    return LineRead::Ok;
  }
  if (auto real = std::get_if<double C::*>(&field.ref)) {
    auto value = ReadLeadingDouble(line);
    if (!value) return LineRead::Unreadable;
    double v = *value;
    if (*real == &C::Drop_pause && v > 5.0) v /= 100.0;
    if (*real == &C::Arc_rez && v > 2.0) v = 0.05;
    if (MustBePositive(*real) && !(std::isfinite(v) && v > 0.0)) return LineRead::Refused;
    cfg.*(*real) = v;
    return LineRead::Ok;
  }
  auto value = ReadLeadingInt(line);
  if (!value) return LineRead::Unreadable;
  // Narrowed to the field's width: the low bits are kept.
  const auto bits = static_cast<uint64_t>(*value);
  if (auto u8 = std::get_if<uint8_t C::*>(&field.ref)) cfg.*(*u8) = static_cast<uint8_t>(bits);
  if (auto u16 = std::get_if<uint16_t C::*>(&field.ref)) cfg.*(*u16) = static_cast<uint16_t>(bits);
  if (auto i32 = std::get_if<int32_t C::*>(&field.ref)) {
    cfg.*(*i32) = static_cast<int32_t>(static_cast<uint32_t>(bits));
    if (lineNo == 45) {
      if (cfg.UnitsMode == 1) {
        state.Dialog.InchSelected = true;
        SetInchUnits(state.Units);
      } else if (cfg.UnitsMode == 2) {
        state.Dialog.InchSelected = false;
        SetMetricUnits(state.Units);
      }
    }
  }
  return LineRead::Ok;
}

// The first problem of a file: its line and what was wrong there.
struct ReadProblem {
  int LineNo = 0;
  std::string What;
};

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

// Lines 2 to 74 of an opened file; the first line that was unreadable or refused, if any.
std::optional<ReadProblem> ReadFields(ConfigState& state, const std::vector<std::string>& lines) {
  std::optional<ReadProblem> problem;
  if (lines.empty()) return ReadProblem{1, "the file is empty"};
  if (!ReadLeadingInt(lines[0])) return ReadProblem{1, Quoted(lines[0]) + " is not a number"};
  for (int lineNo = kFirstFieldLine; lineNo <= kLastFieldLine; ++lineNo) {
    const size_t index = static_cast<size_t>(lineNo - 1);
    if (index >= lines.size()) {
      if (!problem) problem = ReadProblem{lineNo, "the file ends before it"};
      return problem;
    }
    const LineRead r = ReadField(state, kFields[lineNo - kFirstFieldLine], lineNo, lines[index]);
    if (r == LineRead::Unreadable) {
      if (!problem) problem = ReadProblem{lineNo, Quoted(lines[index]) + " is not a number"};
      return problem;
    }
    if (r == LineRead::Refused && !problem) {
      problem = ReadProblem{lineNo, Quoted(lines[index]) + " refused: it must be a number above 0"};
    }
  }
  return problem;
}

// A fresh install has no machine file at all: DEFAULT.MAC is written from the defaults so
// that the next start, the dialog and every reader see one real configuration.
std::vector<std::string> CreateDefaultFile(const ConfigIo& io) {
  ConfigState defaults;
  SetDefaultConfig(defaults.Config);
  SetInchUnits(defaults.Units);
  defaults.Dialog.InchSelected = true;
  std::vector<std::string> lines = MachineConfigLines(defaults);
  std::string why = CannotCreateReason(io.Home, kDefaultMachineFile);
  if (why.empty() && io.Home.WriteLinesAtomic(kDefaultMachineFile, lines, &why)) {
    const std::string text = "Created DEFAULT.MAC with the default machine configuration";
    io.Out << text << "\n";
    io.Events.ShowMessage(text);
  } else {
    // Still run on the defaults; only the file is missing.
    io.Events.ReportLoadError("Cannot create DEFAULT.MAC: " + why + "; using the default machine configuration");
  }
  return lines;
}

}  // namespace

void SetDefaultConfig(MachineConfig& c) {
  c.Cfg_line2 = 1000;
  c.Rap_timer = 1;
  c.Cut_timer = 1;
  c.R_vel_max = 80;
  c.R_vel_start = 10;
  c.Vel_ceiling = 50;
  c.Xscale = 8.0;
  c.Yscale = 8.0;
  c.Zscale = 8.0;
  c.R_cal = 4.0;
  c.Z_start_vel = 10;
  c.Cfg_line13 = 0;
  c.Z_1st_drop = 60;
  c.Z_raise_vel = 80;
  c.Drop_pause = 0.25;
  c.Tool_above_work = 0.36;
  c.R_accel = 240;
  c.Contour_accel = 210;
  c.Mass_comp = 1;
  c.Slow_safe = 10;
  c.Sharp_ang_paz = 30;
  c.Short_vlen_steps = 50;
  c.Corner_paz = 50;
  c.Spind_low = 8000;
  c.Spind_hi = 24000;
  c.Auto_Spindle_Start = 0;
  c.Auto_Spindle_Stop = 1;
  c.XYhome_vel = 25;
  c.Zhome_vel = 30;
  c.Switch_NC = 0;
  c.Limit_enable = 1;
  c.Cfg_line33 = 0;
  c.Fourth_is_rotary = 0;
  c.W_slave = 0;
  c.Rvel = 20;
  c.W_xof = 0.5;
  c.W_yof = 0.55;
  c.True_arcs = 0;
  c.Arc_rez = 0.05;
  c.Jogslowvel = 5;
  c.Jogfastvel = 60;
  c.CV_Max = 80;
  c.Cfg_line46 = 0;
  c.Cfg_line47 = 1.0;
  c.XY_home_dist = 0.1;
  c.Z_home_dist = 0.1;
  c.Enable_4th = 0;
  c.Comment.clear();
  c.Option_flags5 = "ONNNN";
  c.Aux1_dw_up = 1.0;
  c.Aux1_dw_down = 1.0;
  c.Aux2_dw_up = 1.0;
  c.Aux2_dw_down = 1.0;
  c.Aux1R_xoff = c.Aux1R_yoff = c.Aux2R_xoff = c.Aux2R_yoff = 0.0;
  c.Man_toolch = 0;
  c.Toolch_xpos = c.Toolch_ypos = c.Toolch_Zpos = 0.0;
  c.Spindle_delay = 0.0;
  c.Cfg_line67 = c.Cfg_line68 = c.Cfg_line69 = 0.0;
  c.Io_flags = "00000000";
  c.Tpad_Size = 0.0;
  c.TP_Seek_vel = 0;
  c.Laser_Xoff = c.Laser_Yoff = 0.0;
}

void ConvertConfigToMetric(MachineConfig& c) {
  constexpr double kMmPerInch = 25.4;
  auto speed = [&](auto& v) {
    using T = std::remove_reference_t<decltype(v)>;
    v = static_cast<T>(std::clamp<int64_t>(Nearest(v * kMmPerInch), 0, std::numeric_limits<T>::max()));
  };
  for (double* scale : {&c.Xscale, &c.Yscale, &c.Zscale}) *scale /= kMmPerInch / 10.0;
  speed(c.R_vel_max);
  speed(c.R_vel_start);
  speed(c.Z_start_vel);
  speed(c.Z_1st_drop);
  speed(c.Z_raise_vel);
  speed(c.Slow_safe);
  speed(c.XYhome_vel);
  speed(c.Zhome_vel);
  speed(c.Jogslowvel);
  speed(c.Jogfastvel);
  speed(c.CV_Max);
  speed(c.TP_Seek_vel);
  for (double* length : {&c.Tool_above_work, &c.W_xof, &c.W_yof, &c.Arc_rez, &c.XY_home_dist, &c.Z_home_dist,
                         &c.Aux1R_xoff, &c.Aux1R_yoff, &c.Aux2R_xoff, &c.Aux2R_yoff, &c.Toolch_xpos, &c.Toolch_ypos,
                         &c.Toolch_Zpos, &c.Tpad_Size, &c.Laser_Xoff, &c.Laser_Yoff}) {
    *length *= kMmPerInch;
  }
  c.UnitsMode = 2;
}

std::optional<std::vector<std::string>> ReadConfigLines(const HomeDir& home, const std::string& fileName) {
  if (fileName.empty()) return std::nullopt;
  std::error_code ec;
  const fs::path path = home.Resolve(fileName);
  if (!fs::is_regular_file(path, ec)) return std::nullopt;
  auto text = home.ReadText(path.string());
  if (!text) return std::nullopt;
  return SplitLines(*text);
}

std::string CannotCreateReason(const HomeDir& home, const std::string& fileName) {
  if (fileName.empty()) return "no file name";
  std::error_code ec;
  const fs::path path = home.Resolve(fileName);
  if (fs::is_directory(path, ec)) return path.string() + " is a folder";
  fs::path folder = path.parent_path();
  if (folder.empty()) folder = ".";
  if (!fs::is_directory(folder, ec)) return "the folder " + folder.string() + " does not exist";
  if (::access(folder.c_str(), W_OK) != 0) return "the folder " + folder.string() + " is read-only";
  return {};
}

bool CanCreateFile(const HomeDir& home, const std::string& fileName) {
  return CannotCreateReason(home, fileName).empty();
}

std::string LoadErrorText(const std::string& fileName, int lineNo, const std::string& what) {
  return "DATA ERROR READING " + fileName + " line " + std::to_string(lineNo) + ": " + what;
}

ConfigLoad LoadMachineConfig(ConfigState& state, const std::string& fileName, const ConfigIo& io) {
  std::string shownName = fileName;
  auto lines = ReadConfigLines(io.Home, fileName);
  if (!lines) {
    // With no name at all (a first start) nothing named is missing.
    if (!fileName.empty()) io.Out << "Cannot Find CFG File .. loading Default.mac !!\n";
    shownName = "Default.MAC";
    lines = ReadConfigLines(io.Home, kDefaultMachineFile);
    std::error_code ec;
    if (!lines && !fs::exists(io.Home.Resolve(kDefaultMachineFile), ec)) lines = CreateDefaultFile(io);
    if (!lines) {
      io.Out << "ERROR LOADING \"DEFAULT.MAC\"!!\n";
      return ConfigLoad::NotFound;
    }
  }
  const auto problem = ReadFields(state, *lines);
  const bool clean = !problem.has_value();
  if (problem) {
    io.Events.ShowProgress("DATA ERROR READING " + shownName);
    io.Events.ReportLoadError(LoadErrorText(shownName, problem->LineNo, problem->What));
  }
  if (state.Config.Io_flags.size() < 3) state.Config.Io_flags = "00000000";
  io.Events.RefreshDialog();
  state.ToolAboveWorkNow = state.Config.Tool_above_work;
  return clean ? ConfigLoad::Loaded : ConfigLoad::DataError;
}

std::vector<std::string> MachineConfigLines(const ConfigState& state) {
  const MachineConfig& cfg = state.Config;
  std::vector<std::string> lines;
  lines.reserve(kLastFieldLine + kFillerLines);
  lines.push_back("1");
  int lineNo = kFirstFieldLine;
  for (const FieldSpec& field : kFields) {
    std::string text;
    if (std::holds_alternative<Reserved>(field.ref)) {
      text = "00000000";
    } else if (lineNo == 45) {
      text = state.Dialog.InchSelected ? "1" : "2";
    } else if (lineNo == 51) {
      text = OneLine(state.Dialog.Comment);
    } else if (auto s = std::get_if<std::string C::*>(&field.ref)) {
      text = OneLine(cfg.*(*s));
    } else if (auto d = std::get_if<double C::*>(&field.ref)) {
      text = FormatFixed(cfg.*(*d), field.decimals, 3);
    } else if (auto u8 = std::get_if<uint8_t C::*>(&field.ref)) {
      text = std::to_string(static_cast<unsigned>(cfg.*(*u8)));
    } else if (auto u16 = std::get_if<uint16_t C::*>(&field.ref)) {
      text = std::to_string(static_cast<unsigned>(cfg.*(*u16)));
    } else if (auto i32 = std::get_if<int32_t C::*>(&field.ref)) {
      text = std::to_string(cfg.*(*i32));
    }
    lines.push_back(std::move(text));
    ++lineNo;
  }
  for (int i = 0; i < kFillerLines; ++i) lines.push_back("1");
  return lines;
}

bool SaveMachineConfig(ConfigState& state, const std::string& fileName, const ConfigIo& io, std::string* why) {
  auto fail = [&](const std::string& text, const std::string& reason) {
    io.Events.ShowMessage(text);
    if (why != nullptr) *why = text + "\n" + fileName + ": " + reason;
    return false;
  };
  if (std::string reason = CannotCreateReason(io.Home, fileName); !reason.empty()) {
    return fail("Error creating config file", reason);
  }
  state.Config.UnitsMode = state.Dialog.InchSelected ? 1 : 2;
  std::string reason;
  if (!io.Home.WriteLinesAtomic(io.Home.Resolve(fileName).string(), MachineConfigLines(state), &reason)) {
    return fail("Error writing config file", reason);
  }
  return true;
}

}  // namespace wendlar
