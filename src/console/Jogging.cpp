#include "console/Jogging.h"

#include <algorithm>

#include "link/Commands.h"

namespace wendlar {

namespace {
bool IsZOrW(JogButton b) {
  return b == JogButton::ZPos || b == JogButton::ZNeg || b == JogButton::WPos || b == JogButton::WNeg;
}
bool IsX(JogButton b) { return b == JogButton::XPos || b == JogButton::XNeg; }

const char* JogCaption(JogButton b) {
  switch (b) {
    case JogButton::XPos: return "Jogging X+";
    case JogButton::XNeg: return "Jogging X-";
    case JogButton::YPos: return "Jogging Y+";
    case JogButton::YNeg: return "Jogging Y-";
    case JogButton::ZPos: return "Jogging Z+";
    case JogButton::ZNeg: return "Jogging Z-";
    case JogButton::WPos: return "Jogging W+";
    case JogButton::WNeg: return "Jogging W-";
  }
  return "Jogging";
}

bool StartsWith(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }
}  // namespace

uint8_t JogDirection(JogButton button) {
  switch (button) {
    case JogButton::XPos: return commands::kJogXPlus;
    case JogButton::XNeg: return commands::kJogXMinus;
    case JogButton::YPos: return commands::kJogYPlus;
    case JogButton::YNeg: return commands::kJogYMinus;
    case JogButton::ZPos: return commands::kJogZPlus;
    case JogButton::ZNeg: return commands::kJogZMinus;
    case JogButton::WPos: return commands::kJogWPlus;
    case JogButton::WNeg: return commands::kJogWMinus;
  }
  return 0;
}

void Jogging::Jog(JogButton button, int speed) {
  if (IsZOrW(button)) {
    const MachineConfig& m = ctx_.Config();
    ctx_.State().VelocityScale = m.Zscale != 0 ? m.Xscale / m.Zscale : 1.0;
  }
  const uint8_t dir = JogDirection(button);
  if (ctx_.State().JogMode == 2) {
    motion_.JogStep(dir, IsX(button) ? 0 : static_cast<uint8_t>(speed));
  } else if (motion_.JogStart(dir, static_cast<uint8_t>(speed))) {
    // The operator sees that the machine moves by his hand until the stop.
    Control& progress = ctx_.View().Progress;
    if (!StartsWith(progress.Caption(), "Jogging")) progressBeforeJog_ = progress.Caption();
    progress.SetCaption(JogCaption(button));
  }
}

bool Jogging::StopAllowed() {
  // The stop is harmless when nothing moves, and a jog started before a long operation
  // took the console must still end.
  return ctx_.State().Operation == LongOperation::None || ctx_.State().JogRunning;
}

void Jogging::Stop() {
  motion_.JogStop();
  Control& progress = ctx_.View().Progress;
  if (StartsWith(progress.Caption(), "Jogging")) progress.SetCaption(progressBeforeJog_);
}

void Jogging::JogButtonDown(JogButton button) {
  if (!ctx_.CheckManual()) return;
  const int jogSpeed = ctx_.State().JogSpeed;
  Jog(button, IsZOrW(button) ? ctx_.tables.SpeedIndexOf(jogSpeed) : ctx_.tables.VelocityIndexOf(jogSpeed));
}

void Jogging::JogButtonUp(JogButton) {
  if (StopAllowed()) Stop();
}

bool Jogging::KeyDown(const KeyEvent& key) {
  // Only Alt alone: Alt+Shift or Ctrl+Alt belong to the windowing system and the menus.
  if ((key.Modifiers & (kModShift | kModCtrl | kModAlt | kModMeta)) != kModAlt) return false;
  JogButton button;
  switch (key.Key) {
    case ConsoleKey::Right: button = JogButton::XPos; break;
    case ConsoleKey::Left: button = JogButton::XNeg; break;
    case ConsoleKey::Up: button = JogButton::YPos; break;
    case ConsoleKey::Down: button = JogButton::YNeg; break;
    case ConsoleKey::PageUp: button = JogButton::ZPos; break;
    case ConsoleKey::PageDown: button = JogButton::ZNeg; break;
    case ConsoleKey::End:
      if (!key.AutoRepeat) SetJogMode(std::min(ctx_.State().JogMode + 1, 2));
      return true;
    case ConsoleKey::Home:
      if (!key.AutoRepeat) SetJogMode(std::max(ctx_.State().JogMode - 1, 0));
      return true;
    case ConsoleKey::F9:
    case ConsoleKey::F10:
      if (!key.AutoRepeat) {
        ctx_.sender.Send(commands::Command136(key.Key == ConsoleKey::F9 ? 0 : 1));
      }
      return true;
    default:
      return false;
  }
  if (pendingRelease_ != ConsoleKey::Other) {
    // The same key again within the grace time: it never came up, its jog runs on.
    if (pendingRelease_ == key.Key && ctx_.State().JogRunning) {
      CancelPendingRelease();
      return true;
    }
    StopPendingRelease();
  }
  // A held key repeats its press; the jog it started is still running.
  if (key.AutoRepeat || !ctx_.CheckManual()) return true;
  ctx_.State().KeyJogUsed = true;
  jogKey_ = key.Key;
  Jog(button, ctx_.tables.VelocityIndexOf(ctx_.State().JogSpeed));
  return true;
}

void Jogging::KeyUp(const KeyEvent& key) {
  // The release half of a repeat pair is not the key coming up.
  if (key.AutoRepeat) return;
  if (!ctx_.State().KeyJogUsed) return;
  if (key.Key == jogKey_ && key.Key != ConsoleKey::Other && ctx_.State().JogRunning) {
    pendingRelease_ = key.Key;
    if (!releaseTimer_) {
      releaseTimer_ = ctx_.console.Loop().CreateTimer(kKeyReleaseGraceMs, false, [this] { StopPendingRelease(); });
    }
    releaseTimer_->SetEnabled(true);  // a full grace period from now
    return;
  }
  CancelPendingRelease();
  if (StopAllowed()) Stop();
}

void Jogging::StopPendingRelease() {
  const bool pending = pendingRelease_ != ConsoleKey::Other;
  CancelPendingRelease();
  if (!pending) return;
  if (StopAllowed()) Stop();
}

void Jogging::CancelPendingRelease() {
  pendingRelease_ = ConsoleKey::Other;
  if (releaseTimer_) releaseTimer_->SetEnabled(false);
}

void Jogging::StopIfRunning() {
  CancelPendingRelease();
  if (ctx_.State().JogRunning) Stop();
}

void Jogging::JogButtonLost() { StopIfRunning(); }
void Jogging::FocusLost() { StopIfRunning(); }

void Jogging::JogSpdbutClick() {
  int mode = ctx_.State().JogMode - 1;
  if (mode < 0) mode = 1;
  SetJogMode(mode);
}

void Jogging::SetJogMode(int mode) {
  mode = std::clamp(mode, 0, 2);
  ConsoleState& s = ctx_.State();
  s.JogMode = mode;
  s.JogSpeed = mode == 0 ? ctx_.Config().Jogfastvel : ctx_.Config().Jogslowvel;
  ctx_.View().JogSpdbut.SetCaption(mode == 0 ? "F" : mode == 1 ? "S" : "1");
}

}  // namespace wendlar
