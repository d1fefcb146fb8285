// Characters and values of a G-code line: what each character starts, and word values read
// in place.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

#include "core/Numbers.h"

namespace wendlar {

// The letters that take a value in this dialect (upper case).
inline bool IsWordLetter(char c) {
  switch (c) {
    case 'F': case 'G': case 'H': case 'I': case 'J': case 'L': case 'M': case 'N':
    case 'P': case 'Q': case 'R': case 'S': case 'T': case 'X': case 'Y': case 'Z':
      return true;
    default:
      return false;
  }
}

inline bool IsDigit(char c) { return c >= '0' && c <= '9'; }
inline bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
inline char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

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
inline constexpr std::array<Lead, 256> kLeads = MakeLeads();

// The characters a word's value may hold: blanks, signs, the point and digits.
constexpr std::array<bool, 256> MakeValueChars() {
  std::array<bool, 256> value{};
  for (const char* p = " +-.0123456789"; *p != 0; ++p) value[static_cast<unsigned char>(*p)] = true;
  return value;
}
inline constexpr std::array<bool, 256> kValueChars = MakeValueChars();

// A value to the nearest int, clamped to int's range.
inline int ClampInt(double v) {
  int64_t n = Nearest(v);
  return static_cast<int>(std::clamp<int64_t>(n, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

// A G code as the operator writes it: "G91.1", "G2", three decimals at most.
std::string GcodeText(double v);

// The digits after the sign of a value too long for the one-division path, through
// from_chars. Out of range is infinite with a non-zero integer part, 0 without; a malformed
// text gives false and 0.
[[nodiscard]] bool ConvertLongValue(std::string_view digits, bool nonZeroInt, double& v);

// Optional sign, then digits with at most one point. A malformed text gives false and 0.
// Rounds exactly as from_chars does. Inline: it runs for every word of every line.
[[nodiscard]] inline bool ConvertValue(std::string_view t, double& v) {
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
  } else if (!ConvertLongValue(t.substr(first), nonZeroInt, v)) {
    return false;
  }
  if (negative) v = -v;
  return true;
}

}  // namespace wendlar
