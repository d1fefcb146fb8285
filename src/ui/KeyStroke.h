// A key press or release as the console's key handling sees it, without Qt types.
#pragma once

#include <functional>

namespace wendlar::ui {

// Key codes are the conventional virtual-key numbers the console's key table is written
// in: letters and digits are their upper-case characters.
namespace keys {
inline constexpr int kBackspace = 0x08, kTab = 0x09, kReturn = 0x0D, kShift = 0x10, kControl = 0x11, kAlt = 0x12;
inline constexpr int kEscape = 0x1B, kSpace = 0x20, kPageUp = 0x21, kPageDown = 0x22, kEnd = 0x23, kHome = 0x24;
inline constexpr int kLeft = 0x25, kUp = 0x26, kRight = 0x27, kDown = 0x28, kInsert = 0x2D, kDelete = 0x2E;
inline constexpr int kF1 = 0x70;  // F1..F12 follow in order: F9 is 0x78, F10 0x79
}  // namespace keys

struct KeyStroke {
  int key = 0;  // 0 for keys the table has no number for
  bool press = true;
  bool shift = false;
  bool ctrl = false;
  bool alt = false;
  bool autoRepeat = false;
};

// Returns true when the key was used, so the focused control never sees it.
using KeyHandler = std::function<bool(const KeyStroke&)>;

}  // namespace wendlar::ui
