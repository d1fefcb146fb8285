#include "job/GcodeReader.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

#include "config/WorkOffsets.h"
#include "core/Numbers.h"

namespace wendlar {

namespace {

constexpr int64_t kLong3Min = -8388608;
constexpr int64_t kLong3Max = 8388607;

bool IsWordLetter(char c) {
  switch (c) {
    case 'F': case 'G': case 'H': case 'I': case 'J': case 'L': case 'M': case 'N':
    case 'P': case 'Q': case 'R': case 'S': case 'T': case 'X': case 'Y': case 'Z':
      return true;
    default:
      return false;
  }
}

// What a character of a line starts for the scanner; a lower-case letter counts as its upper case.
enum class Lead : uint8_t {
  Nothing,     // blanks, digits and letters that mean nothing here
  Word,        // a word letter: its value follows
  Stop,        // the rest of the line is a comment
  Comment,     // "(": a comment up to ")"
  System,      // "$": a controller command
  Expression,  // "[": an expression
  Foreign,     // a letter outside the dialect that may change the path
};

constexpr std::array<Lead, 256> MakeLeads() {
  std::array<Lead, 256> leads{};
  auto set = [&](const char* chars, Lead lead, bool lower) {
    for (const char* p = chars; *p != 0; ++p) {
      leads[static_cast<unsigned char>(*p)] = lead;
      if (lower) leads[static_cast<unsigned char>(*p - 'A' + 'a')] = lead;
    }
  };
  set("FGHIJLMNPQRSTXYZ", Lead::Word, true);
  set("!*/;\\{", Lead::Stop, false);
  set("(", Lead::Comment, false);
  set("$", Lead::System, false);
  set("[", Lead::Expression, false);
  set("#", Lead::Foreign, false);
  set("OABCEUVW", Lead::Foreign, true);
  return leads;
}
constexpr std::array<Lead, 256> kLeads = MakeLeads();

constexpr std::array<bool, 256> MakeValueChars() {
  std::array<bool, 256> value{};
  for (const char* p = " +-.0123456789"; *p != 0; ++p) value[static_cast<unsigned char>(*p)] = true;
  return value;
}
constexpr std::array<bool, 256> kValueChars = MakeValueChars();

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// Optional sign, then digits with at most one point. A malformed text gives false and 0.
bool ConvertValue(std::string_view t, double& v) {
  // Up to 2^53 the digits make an exact double, and so is every power of ten to 1e22: one
  // division then rounds exactly as from_chars does. Longer values are left to from_chars.
  static constexpr double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                      1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  constexpr uint64_t kExact = uint64_t{1} << 53;
  v = 0;
  size_t i = 0;
  bool negative = false;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) negative = t[i++] == '-';
  const size_t first = i;
  bool point = false, nonZeroInt = false, exact = true;
  int digits = 0, decimals = 0;
  uint64_t m = 0;
  for (; i < t.size(); ++i) {
    const char c = t[i];
    if (c >= '0' && c <= '9') {
      ++digits;
      if (point) {
        ++decimals;
      } else if (c != '0') {
        nonZeroInt = true;
      }
      if (m > kExact / 10) {
        exact = false;
      } else {
        m = m * 10 + static_cast<uint64_t>(c - '0');
      }
    } else if (c == '.' && !point) {
      point = true;
    } else {
      return false;
    }
  }
  if (digits == 0) return false;
  if (exact && m <= kExact && decimals <= 22) {
    v = static_cast<double>(m) / kPow10[decimals];
    if (negative) v = -v;
    return true;
  }
  auto r = std::from_chars(t.data() + first, t.data() + t.size(), v, std::chars_format::fixed);
  if (r.ec == std::errc::result_out_of_range) {
    v = nonZeroInt ? std::numeric_limits<double>::infinity() : 0.0;
  } else if (r.ec != std::errc() || r.ptr != t.data() + t.size()) {
    v = 0;
    return false;
  }
  if (negative) v = -v;
  return true;
}

int ClampInt(double v) {
  int64_t n = Nearest(v);
  return static_cast<int>(std::clamp<int64_t>(n, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

bool IsDrillMode(int mode) { return mode == 73 || (mode >= 81 && mode <= 84); }

}  // namespace

void SetGcodeFixture(GcodeState& state, double x, double y) {
  state.FixtureX = x;
  state.FixtureY = y;
  state.TargetX = state.PrevX + state.HeadOffsetX - x;
  state.TargetY = state.PrevY + state.HeadOffsetY - y;
}

void StartGcodeState(GcodeState& state, double machineX, double machineY, double machineZ) {
  state.TargetX = state.PrevX = machineX;
  state.TargetY = state.PrevY = machineY;
  state.TargetZ = state.PrevZ = machineZ;
  state.Incremental = false;
  state.CurrentFeed = 1.0;
  state.MotionMode = 0;
  state.TopZ = 0;
  state.WordN = 0;
  state.ParserLineNo = 1;
  state.McodeWord = 255;
  state.DwellPending = false;
  state.ReturnToR = true;
  state.HeadOffsetX = state.HeadOffsetY = 0;
  state.FixtureX = state.FixtureY = 0;
  state.ProgramEnded = false;
  state.LaserMode = false;
  state.WordR = 0;
}

GcodeReader::GcodeReader(GcodeState& state, JobRunState& run, JobMachine& machine, const ConfigState& config,
                         RunFlags& flags)
    : s_(state), run_(run), m_(machine), config_(config), flags_(flags) {}

bool GcodeReader::SkipsLine(std::string_view line) {
  if (line.size() <= 1) return true;
  if (line[0] == '(') {
    // A leading comment hides the line only when nothing follows its closing parenthesis.
    size_t close = line.find(')');
    return close == std::string_view::npos || line.find_first_not_of(' ', close + 1) == std::string_view::npos;
  }
  switch (line[0]) {
    case '!': case '%': case '*': case '/': case ':': case ';': case '[': case '\\': case '{':
      return true;
    default:
      return false;
  }
}

void GcodeReader::Message(const char* text) { m_.ShowMessage(text); }

void GcodeReader::Refuse(const std::string& text) {
  if (refusals_ != nullptr) {
    refusals_->push_back({s_.FileLineNo, text});
    return;
  }
  Message((s_.FileLineNo > 0 ? "line " + std::to_string(s_.FileLineNo) + ": " + text : text).c_str());
  flags_.AbortRun = 1;
}

void GcodeReader::NoteRefusal(std::string text) {
  if (lineRefusal_.empty()) lineRefusal_ = std::move(text);
}

void GcodeReader::KeepPosition() {
  s_.TargetX = s_.PrevX + OffX();
  s_.TargetY = s_.PrevY + OffY();
  s_.TargetZ = s_.PrevZ;
}

namespace {

std::string GcodeText(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "G%.3f", v);
  std::string g(text);
  while (g.back() == '0') g.pop_back();
  if (g.back() == '.') g.pop_back();
  return g;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

}  // namespace

void GcodeReader::CheckForeignLetter(char c, const std::string& t, size_t i) {
  const size_t n = t.size();
  switch (c) {
    case '#': NoteRefusal(kMsgParameters); break;
    case '$': {
      // A controller system command ($H homes, $X unlocks): not part of a program here.
      size_t end = t.find(' ', i);
      NoteRefusal("Error " + t.substr(i, std::min(end, n) - i) + " not supported");
      break;
    }
    case 'O': {
      // A program number is harmless; O-word control flow (sub, call, if, while) is not.
      size_t j = i + 1;
      while (j < n && (IsDigit(t[j]) || t[j] == ' ')) ++j;
      if (j < n && (t[j] == '<' || IsLetter(t[j]))) NoteRefusal(kMsgOWords);
      break;
    }
    case 'A': case 'B': case 'C': case 'E': case 'U': case 'V': case 'W': {
      size_t j = i + 1;
      while (j < n && t[j] == ' ') ++j;
      if (j < n && (IsDigit(t[j]) || t[j] == '-' || t[j] == '+' || t[j] == '.' || t[j] == '#' || t[j] == '[')) {
        NoteRefusal(std::string("Error ") + c + " axis not supported");
      }
      break;
    }
    default: break;
  }
}

void GcodeReader::ParseGcodeLine() {
  s_.MotionWords = 0;
  s_.McodeWord = 255;
  s_.DwellPending = false;
  s_.WordH = -100.0;
  s_.ValueError = false;
  s_.LineHasR = s_.LineHasIJ = s_.LineHasXY = s_.LineHasZ = s_.LineSetsCycle = false;
  // Arc centre offsets belong to their own line: an omitted I or J is 0.
  s_.WordI = s_.WordJ = 0;
  lineRefusal_.clear();
  unknownG_ = -1;
  run_.LineCounter += 1;
  m_.ShowLineCounter(run_.LineCounter);

  const std::string& t = s_.GcodeLineText;
  const size_t n = t.size();
  bool errorListed = false;
  for (size_t i = 0; i < n && flags_.AbortRun == 0; ++i) {
    const Lead lead = kLeads[static_cast<unsigned char>(t[i])];
    if (lead == Lead::Nothing) continue;
    const char c = Upper(t[i]);
    if (lead == Lead::Comment) {
      // A comment ends at its closing parenthesis; the line goes on after it.
      size_t close = t.find(')', i + 1);
      if (close == std::string::npos) break;
      i = close;
      continue;
    }
    if (lead == Lead::Foreign) {
      CheckForeignLetter(c, t, i);
      continue;
    }
    if (lead == Lead::System) CheckForeignLetter(c, t, i);
    if (lead == Lead::Expression) NoteRefusal(kMsgExpressions);
    if (lead != Lead::Word) break;
    // The value: blanks around it are dropped, and so are blanks inside it (X1 .5 is X1.5).
    size_t j = i + 1, first = 0, last = 0;  // last: one past the last non-blank, 0 for none
    bool inner = false, gap = false;
    for (; j < n && kValueChars[static_cast<unsigned char>(t[j])]; ++j) {
      if (t[j] == ' ') {
        gap = last > 0;
        continue;
      }
      if (last == 0) first = j;
      inner = inner || gap;
      gap = false;
      last = j + 1;
    }
    std::string_view valueText(t.data() + first, last - first);
    if (inner) {
      valueText_.clear();
      for (char v : valueText) {
        if (v != ' ') valueText_.push_back(v);
      }
      valueText = valueText_;
    }
    double value = 0;
    bool ok = ConvertValue(valueText, value);
    // An exponent (X1e300) is not a number of this dialect, not X1 followed by an E word.
    if (ok && j < n && (t[j] == 'e' || t[j] == 'E') && t[j - 1] != ' ') ok = false;
    s_.ValueError = !ok;
    if (!ok && j < n && (t[j] == '#' || t[j] == '[')) {
      NoteRefusal(t[j] == '#' ? kMsgParameters : kMsgExpressions);
    } else if (!ok) {
      size_t end = j;
      while (end < n && end - i < 24 && t[end] != ' ' && !IsWordLetter(t[end])) ++end;
      std::string word = t.substr(i, end - i);
      word[0] = c;
      NoteRefusal("Error malformed value " + word);
    }
    s_.ArcEndX = s_.WordX;
    s_.ArcEndY = s_.WordY;
    ApplyWord(c, value);
    // One message per line: a line of junk letters would otherwise flood the list.
    if (s_.ValueError && !errorListed) {
      m_.AddComList(kMsgValueError + std::to_string(s_.FileLineNo > 0 ? s_.FileLineNo : s_.ParserLineNo));
      errorListed = true;
    }
    i = j - 1;  // the value's characters start nothing
  }
  if (unknownG_ >= 0 && (s_.LineHasXY || s_.LineHasZ || s_.LineHasIJ)) {
    NoteRefusal("Error G" + std::to_string(unknownG_) + " not supported");
  }
  s_.ParserLineNo += 1;
}

void GcodeReader::ApplyWord(char letter, double v) {
  const int mode = s_.MotionMode;
  const bool arcMode = mode == 2 || mode == 3;
  const bool straightMode = mode == 0 || mode == 1 || IsDrillMode(mode);
  switch (letter) {
    case 'X':
      s_.WordX = v;
      ++s_.MotionWords;
      s_.LineHasXY = true;
      if (arcMode) s_.ArcEndX = v;
      else if (straightMode) s_.TargetX = s_.Incremental ? s_.TargetX + v : v;
      break;
    case 'Y':
      s_.WordY = v;
      ++s_.MotionWords;
      s_.LineHasXY = true;
      if (arcMode) s_.ArcEndY = v;
      else if (straightMode) s_.TargetY = s_.Incremental ? s_.TargetY + v : v;
      break;
    case 'Z':
      s_.WordZ = v;
      ++s_.MotionWords;
      s_.LineHasZ = true;
      if (arcMode || straightMode) {
        if (s_.Incremental) {
          s_.TargetZ += v;
        } else {
          s_.TargetZ = v;
          if (v > s_.TopZ) s_.TopZ = v;
        }
        if (IsDrillMode(mode)) s_.CycleZ = s_.TargetZ;
      }
      break;
    case 'I': s_.WordI = v; ++s_.MotionWords; s_.LineHasIJ = true; break;
    case 'J': s_.WordJ = v; ++s_.MotionWords; s_.LineHasIJ = true; break;
    case 'F':
      s_.WordF = v;
      // Segments already buffered keep the feed they were queued with.
      if (v != s_.CurrentFeed) m_.FlushSegments();
      s_.CurrentFeed = v;
      ++s_.MotionWords;
      if (!m_.UseFeed()) {
        // Programs repeat the F word on every line: the text is built when the value changes.
        const int64_t shown = Nearest(v);
        if (feedLabel_.empty() || shown != feedLabelValue_ || feedLabelUnits_ != config_.Units.SpeedUnits) {
          feedLabel_ = std::to_string(shown) + config_.Units.SpeedUnits;
          feedLabelValue_ = shown;
          feedLabelUnits_ = config_.Units.SpeedUnits;
        }
        m_.ShowFeedLabel(feedLabel_);
      }
      break;
    case 'P': s_.WordP = v; ++s_.MotionWords; break;
    case 'N': s_.WordN = v; break;
    case 'L': s_.WordL = v; break;
    case 'R': s_.WordR = v; s_.LineHasR = true; break;
    case 'Q': s_.WordQ = v; break;
    case 'H': s_.WordH = v; break;
    case 'M':
      s_.McodeWord = ClampInt(v);
      if (s_.McodeWord == 98 || s_.McodeWord == 99) {
        NoteRefusal("Error M" + std::to_string(s_.McodeWord) + " subroutine calls not supported");
      }
      break;
    case 'S':
      if (mode == 0) {
        // The speed command goes straight out; buffered feeds must not be overtaken.
        if (m_.SegmentsPending()) m_.FlushSegments();
        m_.SetJobSpindleSpeed(ClampInt(v));
      }
      break;
    case 'T':
      s_.ToolWord = v == 0 ? 30 : v;
      ++s_.MotionWords;
      s_.McodeWord = 6;
      break;
    case 'G': ApplyGcode(v); break;
    default: break;
  }
}

void GcodeReader::ApplyGcode(double value) {
  const bool metric = config_.Units.UnitsFactor != 1000.0;
  const int code = ClampInt(value);
  if (static_cast<double>(code) != value) {
    // A decimal code is never rounded into another one. G91.1 (arc centres relative to the
    // start) is how this reader always takes them.
    if (std::fabs(value - 91.1) < 1e-6) return;
    NoteRefusal("Error " + GcodeText(value) + " not supported");
    return;
  }
  switch (code) {
    case 73: case 81: case 82: case 83: case 84:
      if (!IsDrillMode(s_.MotionMode)) s_.CycleZ = s_.TargetZ;
      s_.MotionMode = code;
      s_.LineSetsCycle = true;
      break;
    case 0: case 1: case 2: case 3:
      s_.MotionMode = code;
      break;
    case 80: s_.MotionMode = 0; break;
    case 4: s_.DwellPending = true; break;
    case 90: s_.Incremental = false; break;
    case 91: s_.Incremental = true; Message(kMsgG91); break;
    case 98: s_.ReturnToR = false; break;
    case 99: s_.ReturnToR = true; break;
    case 18: NoteRefusal(kMsgG18); break;
    case 19: NoteRefusal(kMsgG19); break;
    case 20:
      if (metric) {
        Message(kMsgImperialFile);
        NoteRefusal(kMsgToImperial);
      }
      break;
    case 21:
      if (!metric) {
        Message(kMsgMetricFile);
        NoteRefusal(kMsgToMetric);
      }
      break;
    // Known to change nothing of the path here.
    case 15: case 17: case 40: case 43: case 49: case 50: case 61: case 64: case 69: case 94: case 97:
      break;
    case 54: case 55: case 56: case 57: case 58: case 59:
      // Fixtures 1 to 6 for the rest of the job. The machine stays where it is, so the
      // position is taken anew in the fixture's coordinates.
      if (fixtures_ != nullptr) {
        const OffsetXY& f = fixtures_->WorkOffsets[static_cast<size_t>(code - 54)];
        s_.FixtureX = f.X;
        s_.FixtureY = f.Y;
        m_.ShowFixture(code - 53, f.X, f.Y);
        s_.TargetX = s_.PrevX + OffX();
        s_.TargetY = s_.PrevY + OffY();
      }
      break;
    case 41: case 42: NoteRefusal("Error G" + std::to_string(code) + " cutter compensation not supported"); break;
    case 53: NoteRefusal(kMsgG53); break;
    // Coordinate-system changes, machine-zero moves, probing, threading and motion modes this
    // dialect lacks: refused with or without axis words.
    case 5: case 7: case 10: case 12: case 13: case 16: case 28: case 30: case 32: case 33: case 34:
    case 38: case 51: case 52: case 68: case 74: case 76: case 85: case 86: case 87: case 88: case 89: case 92:
      NoteRefusal("Error G" + std::to_string(code) + " not supported");
      break;
    default: unknownG_ = code; break;
  }
}

std::optional<int32_t> GcodeReader::Steps(double v, double scale) const {
  if (!std::isfinite(v)) return std::nullopt;
  double fileUnits = static_cast<double>(Nearest(v * config_.Units.UnitsFactor));
  int64_t steps = Nearest(fileUnits * scale);
  if (steps < kLong3Min || steps > kLong3Max) return std::nullopt;
  return static_cast<int32_t>(steps);
}

std::optional<int32_t> GcodeReader::StepsDirect(double v, double scale) const {
  if (!std::isfinite(v)) return std::nullopt;
  int64_t steps = Nearest(v * config_.Units.UnitsFactor * scale);
  if (steps < kLong3Min || steps > kLong3Max) return std::nullopt;
  return static_cast<int32_t>(steps);
}

int GcodeReader::FeedValue() const {
  int64_t v = m_.UseFeed() ? m_.FeedIdx() : Nearest(s_.CurrentFeed);
  // Below 1 would mean no cap for a segment and a standstill for a Z move.
  return static_cast<int>(std::clamp<int64_t>(v, 1, 100));
}

void GcodeReader::RunGcodeLine() {
  m_.ShowCodeLine(s_.GcodeLineText);
  if (SkipsLine(s_.GcodeLineText)) return;
  ParseGcodeLine();
  ExecuteGcodeLine();
}

bool GcodeReader::Step(GcodeLineSource& source) {
  if (s_.ProgramEnded || !source.ReadLine(lineText_)) return false;
  s_.GcodeLineText.swap(lineText_);
  s_.FileLineNo = source.LineNumber();
  RunGcodeLine();
  return true;
}

void GcodeReader::ExecuteGcodeLine() {
  if (!lineRefusal_.empty()) {
    Refuse(lineRefusal_);
    KeepPosition();
    return;
  }
  bool done = true;
  if (s_.DwellPending) {
    m_.FlushSegments();
    m_.Dwell(std::max(s_.WordP, 0.0));  // a negative time would wrap in the dwell record
  } else {
    const bool moved = s_.MotionWords > 0;
    switch (s_.MotionMode) {
      case 0: done = Rapid(); break;
      case 1: if (moved) done = Feed(); break;
      case 2: case 3:
        // An arc needs an end or a centre on its own line; a lone Z under G2 is a plain feed,
        // a lone F moves nothing.
        if (s_.LineHasXY || s_.LineHasIJ) {
          done = Arc();
        } else if (s_.TargetZ != s_.PrevZ) {
          done = Feed();
        }
        break;
      case 73: case 81: case 82: case 83: case 84:
        // A modal cycle repeats only where the program names a new hole position.
        if (s_.LineHasXY || s_.LineSetsCycle) {
          done = s_.MotionMode == 73 || s_.MotionMode == 83 ? Peck() : Drill();
        } else {
          KeepPosition();
        }
        break;
      default: break;
    }
    if (done) done = Mcode();
  }
  if (!done) {
    // Refused: the run ends (or the pre-flight goes on) with the position where the machine is.
    KeepPosition();
    return;
  }
  s_.PrevX = s_.TargetX - OffX();
  s_.PrevY = s_.TargetY - OffY();
  s_.PrevZ = s_.TargetZ;
}

bool GcodeReader::Rapid() {
  const MachineConfig& c = config_.Config;
  if (m_.SegmentsPending()) m_.FlushSegments();
  double x = s_.TargetX - OffX(), y = s_.TargetY - OffY();
  auto xs = Steps(x, c.Xscale), ys = Steps(y, c.Yscale), zs = Steps(s_.TargetZ, c.Zscale);
  if (!xs || !ys || !zs) {
    Refuse(kMsgLong3);
    return false;
  }
  bool any = false;
  // Where the tool really is: a drilling cycle or a tool change may have left it off PrevZ.
  int32_t zNow = m_.LastStepZ();
  // Z first, up or down, so a rapid never drags the tool through the work.
  if (s_.TargetZ != s_.PrevZ) {
    m_.MoveZ(-*zs, m_.SpeedIndexOf(c.Z_1st_drop), false);
    zNow = -*zs;
    any = true;
  }
  if (x != s_.PrevX || y != s_.PrevY) {
    m_.RapidXY(*xs, *ys);
    any = true;
  }
  if (any) ++stats_.Rapids;
  m_.SetLastStep(*xs, *ys, zNow);
  return true;
}

bool GcodeReader::Feed() {
  const MachineConfig& c = config_.Config;
  auto xs = Steps(s_.TargetX - OffX(), c.Xscale), ys = Steps(s_.TargetY - OffY(), c.Yscale);
  auto zs = Steps(s_.TargetZ, c.Zscale);
  if (!xs || !ys || !zs) {
    Refuse(kMsgLong3);
    return false;
  }
  int speed = FeedValue();
  if (s_.LaserMode) {
    m_.QueueMoveW(*xs, *ys, static_cast<int32_t>(std::clamp<int64_t>(Nearest(s_.WordL * 50 / 17) + 20, 0, kLong3Max)),
                  speed);
  } else {
    m_.QueueMove(*xs, *ys, -*zs, speed);
  }
  ++stats_.Feeds;
  return true;
}

bool GcodeReader::Arc() {
  if (s_.LineHasR && !s_.LineHasIJ) {
    Refuse(kMsgRArc);
    return false;
  }
  const MachineConfig& c = config_.Config;
  const double uf = config_.Units.UnitsFactor;
  const double endX = s_.ArcEndX - OffX(), endY = s_.ArcEndY - OffY();
  if (!s_.LineHasIJ) {
    // Without a centre there is no arc: a line that stays put is harmless, any other is refused.
    if (endX != s_.PrevX || endY != s_.PrevY) {
      Refuse(kMsgArcNoCentre);
      return false;
    }
    s_.TargetX = s_.PrevX + OffX();
    s_.TargetY = s_.PrevY + OffY();
    return s_.TargetZ == s_.PrevZ || Feed();
  }
  {
    // An end off the circle would be cut as a jump from the circle to the end.
    const double r0 = std::hypot(s_.WordI, s_.WordJ);
    const double r1 = std::hypot(endX - (s_.PrevX + s_.WordI), endY - (s_.PrevY + s_.WordJ));
    const double tolerance = std::max(uf == 1000.0 ? 0.002 : 0.05, 0.001 * r0);
    if (std::isfinite(r0) && std::isfinite(r1) && std::fabs(r1 - r0) > tolerance) {
      Refuse(kMsgArcEnd);
      return false;
    }
  }
  ArcResolution res;
  res.Res = c.Arc_rez;
  res.Scale = c.Xscale;
  res.CoarseRadius = 30;
  res.MinRes = 0.5 / uf;  // a chord of at least one step
  res.MinRadius = c.Xscale > 0 ? 0.5 / (uf * c.Xscale) : 0;
  ArcPlan plan = PlanArc(s_.PrevX, s_.PrevY, s_.PrevX + s_.WordI, s_.PrevY + s_.WordJ, endX, endY,
                         s_.MotionMode == 2, res);
  // Every point of the arc must fit the step range. Its extremes are its ends and the axis
  // crossings it passes; with the chord floor this also bounds the number of chords.
  bool inRange = StepsDirect(s_.PrevZ, c.Zscale) && StepsDirect(s_.TargetZ, c.Zscale) && std::isfinite(endX) &&
                 std::isfinite(endY) && std::isfinite(plan.Radius);
  // Well inside the range the extremes need no sines: the centre plus the radius bounds them.
  const double units = uf * std::max(std::fabs(c.Xscale), std::fabs(c.Yscale));
  const bool wellInside = (std::max(std::fabs(plan.CentreX), std::fabs(plan.CentreY)) + plan.Radius) * units <
                          static_cast<double>(kLong3Max - 1);
  if (inRange && !plan.Empty && !wellInside) {
    const double quarter = M_PI / 2;
    for (double a : {plan.StartAngle, plan.EndAngle, 0.0, quarter, 2 * quarter, 3 * quarter}) {
      if (a == plan.StartAngle || a == plan.EndAngle || plan.Sweeps(a)) {
        inRange = inRange && StepsDirect(plan.XAt(a), c.Xscale) && StepsDirect(plan.YAt(a), c.Yscale);
      }
    }
  }
  if (!inRange) {
    Refuse(kMsgLong3);
    return false;
  }
  if (plan.Empty) {
    // Nothing to cut: the machine stays at the start, and so does the position.
    s_.TargetX = s_.PrevX + OffX();
    s_.TargetY = s_.PrevY + OffY();
    return true;
  }
  const int speed = FeedValue();
  const int32_t power = static_cast<int32_t>(std::clamp<int64_t>(Nearest(s_.WordL * 50 / 17) + 20, 0, kLong3Max));
  const int64_t n = std::max<int64_t>(plan.Chords, 1);
  const double zStep = (s_.TargetZ - s_.PrevZ) / static_cast<double>(n);
  const bool helix = s_.TargetZ != s_.PrevZ;
  const int32_t flatZ = -*StepsDirect(s_.TargetZ, c.Zscale);
  // Every point is in range (checked above): the rounding alone is StepsDirect's.
  auto xSteps = [&](double v) { return static_cast<int32_t>(Nearest(v * uf * c.Xscale)); };
  auto ySteps = [&](double v) { return static_cast<int32_t>(Nearest(v * uf * c.Yscale)); };
  ArcWalk walk(plan);
  do {
    const int64_t k = walk.Index();
    const int32_t xs = walk.RoundedX(xSteps), ys = walk.RoundedY(ySteps);
    if (s_.LaserMode) {
      m_.QueueMoveW(xs, ys, power, speed);
    } else if (!helix || k >= n) {
      m_.QueueMove(xs, ys, flatZ, speed);
    } else {
      m_.QueueMove(xs, ys, -*StepsDirect(s_.PrevZ + zStep * static_cast<double>(k), c.Zscale), speed);
    }
    ++stats_.ArcPoints;
  } while (flags_.AbortRun == 0 && walk.Next());
  ++stats_.Arcs;
  s_.TargetX = s_.ArcEndX;
  s_.TargetY = s_.ArcEndY;
  return true;
}

bool GcodeReader::DrillPosition(int32_t& xs, int32_t& ys) {
  const MachineConfig& c = config_.Config;
  double x = s_.TargetX - OffX(), y = s_.TargetY - OffY();
  auto sx = Steps(x, c.Xscale), sy = Steps(y, c.Yscale);
  if (!sx || !sy) return false;
  xs = *sx;
  ys = *sy;
  return true;
}

bool GcodeReader::CycleStart(int32_t xs, int32_t ys) {
  const MachineConfig& c = config_.Config;
  const int drop = m_.SpeedIndexOf(c.Z_1st_drop);
  m_.FlushSegments();
  // The tool never travels to the hole below the R level.
  bool atR = s_.PrevZ == s_.WordR;
  if (s_.PrevZ < s_.WordR) {
    m_.MoveZ(-*Steps(s_.WordR, c.Zscale), drop, false);
    atR = true;
  }
  if (s_.TargetX - OffX() != s_.PrevX || s_.TargetY - OffY() != s_.PrevY) m_.RapidXY(xs, ys);
  return atR;
}

bool GcodeReader::Peck() {
  const MachineConfig& c = config_.Config;
  const double uf = config_.Units.UnitsFactor;
  if (s_.Incremental) {
    Refuse(kMsgDrillG91);
    return false;
  }
  if (!(s_.WordQ > 0)) {
    Refuse(kMsgPeckQ);
    return false;
  }
  if (c.Zscale > 0 && s_.WordQ < 1.0 / (uf * c.Zscale)) {
    Refuse(kMsgPeckStep);
    return false;
  }
  // The bottom is the programmed Z, as for G81, not a depth below R.
  const double bottom = s_.CycleZ;
  int32_t xs = 0, ys = 0;
  if (!DrillPosition(xs, ys) || !Steps(s_.WordR, c.Zscale) || !Steps(bottom, c.Zscale) ||
      !Steps(s_.TopZ, c.Zscale)) {
    Refuse(kMsgLong3);
    return false;
  }
  // A peck below one file unit would only repeat the same step position.
  const double peck = std::max(s_.WordQ, 1.0 / uf);
  if (!((s_.WordR - bottom) / peck <= static_cast<double>(kMaxPecks))) {
    Refuse(kMsgPeckCount);
    return false;
  }
  const bool atR = CycleStart(xs, ys);
  const int feed = FeedValue();
  const int drop = m_.SpeedIndexOf(c.Z_1st_drop), raise = m_.SpeedIndexOf(c.Z_raise_vel);
  const double retract = uf == 1000.0 ? kG73RetractInch : kG73RetractMm;
  auto zSteps = [&](double z) { return -*Steps(z, c.Zscale); };
  double level = s_.WordR;
  if (!atR) m_.MoveZ(zSteps(level), drop, false);
  do {
    level = std::max(level - peck, bottom);
    m_.MoveZ(zSteps(level), feed, false);
    if (s_.MotionMode == 83) {
      m_.MoveZ(zSteps(s_.WordR), raise, false);
    } else if (level > bottom) {
      m_.MoveZ(zSteps(std::min(level + retract, s_.WordR)), raise, false);
    }
  } while (level > bottom && flags_.AbortRun == 0);
  m_.MoveZ(zSteps(s_.TopZ), drop, false);
  // Later moves start from where the cycle left the tool, not from the hole's bottom.
  m_.SetLastStep(xs, ys, zSteps(s_.TopZ));
  s_.TargetZ = s_.TopZ;
  ++stats_.DrillCycles;
  return true;
}

bool GcodeReader::Drill() {
  const MachineConfig& c = config_.Config;
  if (s_.Incremental) {
    Refuse(kMsgDrillG91);
    return false;
  }
  const double bottom = s_.CycleZ;
  int32_t xs = 0, ys = 0;
  if (!DrillPosition(xs, ys) || !Steps(s_.WordR, c.Zscale) || !Steps(bottom, c.Zscale) ||
      !Steps(s_.TopZ, c.Zscale)) {
    Refuse(kMsgLong3);
    return false;
  }
  const bool atR = CycleStart(xs, ys);
  auto zSteps = [&](double z) { return -*Steps(z, c.Zscale); };
  if (!atR) m_.MoveZ(zSteps(s_.WordR), m_.SpeedIndexOf(c.Z_1st_drop), false);
  m_.Dwell(0.2);
  m_.MoveZ(zSteps(bottom), FeedValue(), false);
  if (s_.MotionMode == 82) m_.Dwell(0.4);
  double up = s_.ReturnToR ? s_.WordR : s_.TopZ;
  m_.MoveZ(zSteps(up), m_.SpeedIndexOf(c.Z_raise_vel), false);
  // Later moves start from where the cycle left the tool, not from the hole's bottom.
  m_.SetLastStep(xs, ys, zSteps(up));
  s_.TargetZ = up;
  ++stats_.DrillCycles;
  return true;
}

bool GcodeReader::Mcode() {
  const MachineConfig& c = config_.Config;
  switch (s_.McodeWord) {
    case 0:
      if (m_.PauseonM0()) {
        m_.FlushSegments();
        m_.WaitForContinue();
      }
      break;
    case 3:
      if (!m_.SpindleRunning()) {
        m_.FlushSegments();
        m_.SpindleOn(0);
        if (m_.UseRpm()) m_.SetJobSpindleSpeed(m_.SpindleRpm());
      }
      break;
    case 5: m_.FlushSegments(); m_.SpindleOff(); break;
    case 6: {
      m_.FlushSegments();
      s_.HeadOffsetX = s_.HeadOffsetY = 0;
      if (s_.ToolWord > 0 && s_.ToolWord < 30 && c.Man_toolch == 1) {
        auto xs = StepsDirect(c.Toolch_xpos, c.Xscale), ys = StepsDirect(c.Toolch_ypos, c.Yscale);
        auto zs = StepsDirect(c.Toolch_Zpos, c.Zscale);
        if (!xs || !ys || !zs) {
          Refuse(kMsgLong3);
          return false;
        }
        m_.MoveZ(-*zs, m_.SpeedIndexOf(c.Z_raise_vel), true);
        m_.RapidXY(*xs, *ys);
        m_.SetLastStep(*xs, *ys, -*zs);
        run_.ToolNumber = ClampInt(s_.ToolWord);
        run_.ToolChangeStop = true;
      }
      if (s_.ToolWord > 0) m_.ToolChanged(ClampInt(s_.ToolWord));
      if (s_.WordH == 1) {
        s_.HeadOffsetX = c.Aux1R_xoff;
        s_.HeadOffsetY = c.Aux1R_yoff;
      } else if (s_.WordH == 2) {
        s_.HeadOffsetX = c.Aux2R_xoff;
        s_.HeadOffsetY = c.Aux2R_yoff;
      }
      break;
    }
    case 8: m_.FlushSegments(); m_.SetAux1(true); break;
    case 9: m_.FlushSegments(); m_.SetAux1(false); break;
    case 10: m_.FlushSegments(); m_.SetAux2(true); break;
    case 11: m_.FlushSegments(); m_.SetAux2(false); break;
    case 24:
      m_.FlushSegments();
      s_.LaserMode = true;
      m_.SetLaserSegments(true);
      m_.SetLaser(true);
      break;
    case 26: m_.FlushSegments(); m_.SetLaser(false); break;
    // The program ends here: what follows (subprograms after M30, leftovers) is not run.
    case 2: case 30: s_.ProgramEnded = true; break;
    default: break;
  }
  return true;
}

}  // namespace wendlar
