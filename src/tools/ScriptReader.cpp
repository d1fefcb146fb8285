#include "tools/ScriptReader.h"

#include <cerrno>
#include <cstring>
#include <optional>
#include <system_error>

#include "core/Numbers.h"
#include "link/Commands.h"

namespace wendlar {

namespace {

// The Z moves of the scripts run at this speed index, whatever the configuration says.
constexpr uint8_t kScriptZSpeed = 50;
// The clearance homing backs off this far from the switch (user units).
constexpr double kClearanceHomeDist = 0.01;
// Link polls the limit-switch commands wait after the option flags.
constexpr int kLimitPolls = 4;

bool NumberChar(char c) { return c == ' ' || c == '+' || c == '-' || c == '.' || (c >= '0' && c <= '9'); }

// One line without its CR LF; false at the end of the file. A last line without LF counts.
bool ReadScriptLine(std::FILE* file, std::string& line) {
  line.clear();
  int c = 0;
  bool any = false;
  while ((c = std::fgetc(file)) != EOF) {
    any = true;
    if (c == '\n') break;
    line.push_back(static_cast<char>(c));
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return any;
}

}  // namespace

TScript_readerView::TScript_readerView() : ViewModel("TScript_reader") {
  Form.SetCaption("Script");
  Form.SetVisible(false);
  Open_Scr.SetCaption("Open Script");
  Run_Line.SetCaption("Run Line");
  real_edit1.SetCaption(FormatFixed(0.0, 3));
}

ScriptFile OpenScriptFile(const std::filesystem::path& path, const std::string& shownName) {
  ScriptFile file;
  std::error_code ec;
  // fopen takes a folder on this platform; reading it would then fail line by line.
  if (std::filesystem::is_directory(path, ec)) {
    file.Problem = "Cannot open script " + shownName + ": " + std::strerror(EISDIR);
    return file;
  }
  errno = 0;
  file.Handle.reset(std::fopen(path.c_str(), "rb"));
  if (!file.Handle) {
    file.Problem = "Cannot open script " + shownName + ": " + std::strerror(errno != 0 ? errno : ENOENT);
  }
  return file;
}

// Holds the console for a script and keeps the window's buttons off meanwhile, so a click
// during a wait cannot start a second run inside the first.
class TScript_reader::Hold {
 public:
  explicit Hold(TScript_reader& r) : r_(r), guard_(r.ctx_.State(), LongOperation::Macro) {
    r_.running_ = true;
    r_.View.Open_Scr.SetEnabled(false);
    r_.View.Run_Line.SetEnabled(false);
  }
  ~Hold() {
    r_.running_ = false;
    r_.View.Open_Scr.SetEnabled(true);
    r_.View.Run_Line.SetEnabled(true);
  }
  Hold(const Hold&) = delete;
  Hold& operator=(const Hold&) = delete;

 private:
  TScript_reader& r_;
  OperationGuard guard_;
};

TScript_reader::TScript_reader(ManualControl& manual, const HomeDir& home)
    : manual_(manual), ctx_(manual.Context), home_(home) {}

void TScript_reader::Show() {
  ctx_.console.LeaveTop();
  View.Form.SetVisible(true);
}

void TScript_reader::Close() {
  View.Form.SetVisible(false);
  ctx_.console.RestoreTop();
}

void TScript_reader::Open_ScrClick() {
  if (const std::string why = Refusal(); !why.empty()) {
    Add(why);
    return;
  }
  FileDialog dialog;
  dialog.Title = "Open Macro Script file";
  dialog.Filter = "Tovrel Macro|*.QMF";
  dialog.DefaultExt = "qmf";
  dialog.InitialDir = home_.Path().string();
  const std::optional<std::string> name = ctx_.prompts.OpenFile(dialog);
  if (!name) return;
  (void)RunScriptFile(*name);
}

void TScript_reader::Run_LineClick() {
  ScriptLine = View.Edit1.Caption();
  (void)ExecuteScriptLine();
}

std::string TScript_reader::Refusal() const {
  if (!ctx_.sender.Connected()) return kScriptNotConnected;
  // Nothing may move beside a job, another long operation or a motion still running; a jog
  // just started may not show as busy yet.
  std::string why = ctx_.ManualRefusal();
  if (why.empty() && ctx_.console.State.JogRunning) why = kScriptJogging;
  return why;
}

ScriptResult TScript_reader::ExecuteScriptLine() {
  // Refused before AbortRun is touched: clearing it beside a job would undo a stop.
  if (const std::string why = Refusal(); !why.empty()) {
    Add(why);
    return ScriptResult::NotRun;
  }
  Hold hold(*this);
  return ExecuteHeld();
}

ScriptResult TScript_reader::RunScriptFile(const std::string& fileName) {
  if (const std::string why = Refusal(); !why.empty()) {
    Add(why);
    return ScriptResult::NotRun;
  }
  ctx_.flags.AbortRun = 0;
  ScriptFile file = OpenScriptFile(home_.Resolve(fileName), fileName);
  if (!file.Handle) {
    Add(file.Problem);
    return ScriptResult::NotRun;
  }
  Hold hold(*this);
  ScriptResult result = ScriptResult::Done;
  std::string line;
  while (result == ScriptResult::Done && ReadScriptLine(file.Handle.get(), line)) {
    ScriptLine = line;
    result = ExecuteHeld();
  }
  return result;
}

ScriptResult TScript_reader::ExecuteHeld() {
  ctx_.flags.AbortRun = 0;
  const StopMark stops(ctx_.flags);
  ScriptCursor = 1;
  numberError_ = false;
  if (ScriptLine.size() < 4) {
    Add(kBadCommand);
    return ScriptResult::Done;
  }
  Add(ScriptLine);

  // A controller that reports busy for ever must not hold the script for ever.
  bool overdue = false;
  auto deadline = ctx_.sender.LinkRef().Loop().CreateTimer(LineDeadlineMs, true, [this, &overdue] {
    if (overdue) return;
    overdue = true;
    Add(kScriptOverdue);
    if (Hooks.StopMachine) Hooks.StopMachine();
    ctx_.flags.AbortRun = 1;
  });

  // Numbers of the four-letter commands start after the keyword; the five-letter ones
  // take none. Only the first four or five characters are compared.
  ScriptCursor = 4;
  const std::string four = ScriptLine.substr(0, 4);
  if (four == "HMXY") {
    manual_.Home.HomeXYChoice();
    WaitMotion(ctx_.sender.Connected());
  } else if (four == "MXYA") {
    MoveXY(false);
  } else if (four == "MXYR") {
    MoveXY(true);
  } else if (four == "MZ_A") {
    MoveZ(false);
  } else if (four == "MZ_R") {
    MoveZ(true);
  } else if (four == "HM_Z") {
    WaitMotion(manual_.Motion.HomeZ());
  }

  ScriptCursor = 5;
  const std::string five = ScriptLine.substr(0, 5);
  if (five == "G28_X") {
    ClearanceHoming(commands::kHomeXYToPosition, 3);
  } else if (five == "G28_Y") {
    ClearanceHoming(commands::kHomeXYToPosition, 4);
  } else if (five == "G28_Z") {
    ClearanceHoming(commands::kHomeZToPosition, 5);
  } else if (five == "ENALM" || five == "DISLM") {
    auto& limits = five == "ENALM" ? Hooks.EnableLimits : Hooks.DisableLimits;
    if (limits) limits();
    (void)ctx_.sender.WaitPolls(kLimitPolls);
  }
  return LineOutcome(stops);
}

ScriptResult TScript_reader::LineOutcome(const StopMark& stops) {
  if (numberError_) return ScriptResult::NumberError;
  if (!ctx_.sender.Connected()) {
    Add(kScriptNotConnected);
    Add(kScriptStopped);
    return ScriptResult::Stopped;
  }
  // A stop counts even where something cleared AbortRun after it.
  if (ctx_.flags.StopWaiting() || stops.Stopped()) {
    Add(kScriptStopped);
    return ScriptResult::Stopped;
  }
  return ScriptResult::Done;
}

bool TScript_reader::ParseScriptNumber() {
  const int length = static_cast<int>(ScriptLine.size());
  std::string text;
  bool error = false;
  for (;;) {
    ++ScriptCursor;
    // Past the end there is no character, which reads as a wrong one.
    const bool inLine = ScriptCursor >= 1 && ScriptCursor <= length;
    const char c = inLine ? ScriptLine[static_cast<size_t>(ScriptCursor - 1)] : '\0';
    bool ends = false;
    if (inLine && NumberChar(c)) {
      text.push_back(c);
    } else if (inLine && c == '(') {
      // skipped
    } else if (inLine && (c == ')' || c == ',')) {
      ends = true;
    } else {
      error = true;
    }
    if (ends || ScriptCursor >= length) break;
  }
  const std::optional<double> value = error ? std::nullopt : ParseDouble(text);
  if (value) {
    ScriptValue = *value;
  } else {
    Add(kNumberError);
    ctx_.flags.AbortRun = 1;
    numberError_ = true;
  }
  View.real_edit1.SetCaption(FormatFixed(ScriptValue, 3));
  return value.has_value();
}

bool TScript_reader::PositionKnown() {
  // The last routine report may predate the end of the previous move.
  const bool fresh = !Hooks.RefreshPositions || Hooks.RefreshPositions();
  if (fresh && ctx_.State().PositionValid) return true;
  Add(kScriptNoPosition);
  ctx_.flags.AbortRun = 1;
  return false;
}

void TScript_reader::MoveXY(bool relative) {
  ParseScriptNumber();
  const double x = ScriptValue;
  ParseScriptNumber();
  const double y = ScriptValue;
  if (ctx_.flags.AbortRun != 0) return;
  double targetX = x, targetY = y;
  if (relative) {
    if (!PositionKnown()) return;
    targetX += ctx_.State().MachineX;
    targetY += ctx_.State().MachineY;
  }
  const MachineConfig& m = ctx_.Config();
  const double uf = ctx_.UnitsFactor();
  WaitMotion(manual_.Motion.RapidXY(Nearest(targetX * uf * m.Xscale), Nearest(targetY * uf * m.Yscale)));
}

void TScript_reader::MoveZ(bool relative) {
  ParseScriptNumber();
  double z = ScriptValue;
  if (ctx_.flags.AbortRun != 0) return;
  if (relative) {
    if (!PositionKnown()) return;
    z += ctx_.State().MachineZ;
  }
  const MachineConfig& m = ctx_.Config();
  WaitMotion(manual_.Motion.MoveZ(-Nearest(z * m.Zscale * ctx_.UnitsFactor()), kScriptZSpeed, true));
}

void TScript_reader::ClearanceHoming(uint8_t code, uint8_t axis) {
  // Changes the configuration in memory only; the machine file keeps its value until the
  // operator saves.
  ctx_.Config().XY_home_dist = kClearanceHomeDist;
  const uint16_t d = manual_.Motion.XYClearance();  // with Xscale for every axis
  if (ctx_.flags.AbortRun != 0) return;
  ctx_.sender.SendCommand5(code, 0, axis, LowByte(ctx_.Config().XYhome_vel), static_cast<uint8_t>(d & 0xFF),
                           static_cast<uint8_t>(d >> 8));
  ++ctx_.State().SentCount;
  WaitMotion(ctx_.sender.Connected());
}

void TScript_reader::WaitMotion(bool sent) {
  if (sent) (void)ctx_.sender.WaitMoveDone();
}

}  // namespace wendlar
