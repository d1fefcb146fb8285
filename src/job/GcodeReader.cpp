#include "job/GcodeReader.h"

#include <algorithm>
#include <cmath>

#include "config/WorkOffsets.h"
#include "core/Numbers.h"
#include "job/GcodeValues.h"

namespace wendlar {

namespace {

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
  // X and Y: an arc takes the value as its end, a straight move as its target.
  auto planar = [&](double& word, double& arcEnd, double& target) {
    word = v;
    ++s_.MotionWords;
    s_.LineHasXY = true;
    if (arcMode) arcEnd = v;
    else if (straightMode) target = s_.Incremental ? target + v : v;
  };
  switch (letter) {
    case 'X': planar(s_.WordX, s_.ArcEndX, s_.TargetX); break;
    case 'Y': planar(s_.WordY, s_.ArcEndY, s_.TargetY); break;
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

}  // namespace wendlar
