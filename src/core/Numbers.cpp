#include "core/Numbers.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace wendlar {

namespace {

// FormatFixed without printf, rounding the exact value of v x 10^decimals as printf does
// (half to even). Below 1e15 the product's spacing is at most 1/8, so a half lies on it: a
// product off the half is on the exact value's side of it, and at the half the product's
// error (exact with fma) tells the side. False for what only printf formats.
bool FormatFixedQuickly(double v, int decimals, int minWidth, ShortText& text) {
  static constexpr double kPow10[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9};
  if (decimals < 0 || decimals > 9 || minWidth < 0 || minWidth > 32) return false;
  const double scaled = std::fabs(v) * kPow10[decimals];
  if (!(scaled < 1e15)) return false;
  // Truncation is the floor here: the value is not negative and below 2^53.
  const double whole = static_cast<double>(static_cast<uint64_t>(scaled));
  const double fraction = scaled - whole;
  bool up = fraction > 0.5;
  if (fraction == 0.5) {
    const double error = std::fma(std::fabs(v), kPow10[decimals], -scaled);
    up = error > 0 || (error == 0 && std::fmod(whole, 2.0) != 0);
  }
  auto n = static_cast<uint64_t>(whole) + (up ? 1 : 0);
  char digits[32];
  int at = sizeof digits;
  for (int d = 0; d < decimals; ++d, n /= 10) digits[--at] = static_cast<char>('0' + n % 10);
  if (decimals > 0) digits[--at] = '.';
  do {
    digits[--at] = static_cast<char>('0' + n % 10);
    n /= 10;
  } while (n > 0);
  // A value that rounds to zero reads "0.000", never "-0.000".
  const bool minus = v < 0 && std::string_view(digits + at, sizeof digits - at).find_first_of("123456789") !=
                                  std::string_view::npos;
  if (minus) digits[--at] = '-';
  const int length = static_cast<int>(sizeof digits) - at;
  text.Clear();
  for (int pad = minWidth - length; pad > 0; --pad) text.Append(" ");
  text.Append(std::string_view(digits + at, static_cast<size_t>(length)));
  return true;
}

}  // namespace

void ShortText::Append(std::string_view more) {
  const size_t n = std::min(more.size(), kCapacity - size_);
  std::memcpy(data_ + size_, more.data(), n);
  size_ += n;
}

void ShortText::AppendInt(int64_t value) {
  char digits[24];
  const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  Append(std::string_view(digits, static_cast<size_t>(end - digits)));
}

void FormatFixedTo(ShortText& out, double v, int decimals, int minWidth) {
  if (!std::isfinite(v)) v = 0.0;
  if (std::fabs(v) >= 1e18) v = v > 0 ? 1e18 : -1e18;
  if (FormatFixedQuickly(v, decimals, minWidth, out)) return;
  char buf[ShortText::kCapacity + 1];
  std::snprintf(buf, sizeof buf, "%*.*f", minWidth, decimals, v);
  // A value that rounds to zero reads "0.000", never "-0.000".
  std::string_view text(buf);
  const size_t minus = text.find('-');
  out.Clear();
  if (minus != std::string_view::npos && text.find_first_of("123456789") == std::string_view::npos) {
    if (static_cast<int>(text.size()) - 1 < minWidth) out.Append(" ");
    out.Append(text.substr(0, minus));
    out.Append(text.substr(minus + 1));
  } else {
    out.Append(text);
  }
}

std::string FormatFixed(double v, int decimals, int minWidth) {
  ShortText text;
  FormatFixedTo(text, v, decimals, minWidth);
  return std::string(text.View());
}

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
    text.remove_suffix(1);
  }
  return text;
}

namespace {

// Length of the decimal number at the start of `s` (sign, digits, optional point and
// digits, optional exponent), or 0 when none starts there.
size_t NumberLength(std::string_view s, bool allowFraction) {
  size_t i = 0;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  size_t digits = 0;
  while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i, ++digits;
  if (allowFraction && i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i, ++digits;
  }
  if (digits == 0) return 0;
  if (allowFraction && i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    size_t j = i + 1;
    if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
    size_t expDigits = 0;
    while (j < s.size() && s[j] >= '0' && s[j] <= '9') ++j, ++expDigits;
    if (expDigits > 0) i = j;
  }
  return i;
}

std::optional<double> ToDouble(std::string_view s) {
  std::string copy(s);
  errno = 0;
  char* end = nullptr;
  double v = std::strtod(copy.c_str(), &end);
  if (end != copy.c_str() + copy.size() || !std::isfinite(v)) return std::nullopt;
  return v;
}

std::optional<int64_t> ToInt(std::string_view s) {
  std::string copy(s);
  errno = 0;
  char* end = nullptr;
  long long v = std::strtoll(copy.c_str(), &end, 10);
  if (end != copy.c_str() + copy.size() || errno == ERANGE) return std::nullopt;
  return static_cast<int64_t>(v);
}

}  // namespace

std::optional<double> ParseDouble(std::string_view text) {
  text = TrimBlanks(text);
  const size_t n = NumberLength(text, true);
  if (n == 0 || n != text.size()) return std::nullopt;
  return ToDouble(text);
}

std::optional<int64_t> ParseInt(std::string_view text) {
  text = TrimBlanks(text);
  const size_t n = NumberLength(text, false);
  if (n == 0 || n != text.size()) return std::nullopt;
  return ToInt(text);
}

std::optional<double> ReadLeadingDouble(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  const size_t n = NumberLength(text, true);
  if (n == 0) return std::nullopt;
  return ToDouble(text.substr(0, n));
}

std::optional<int64_t> ReadLeadingInt(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  const size_t n = NumberLength(text, false);
  if (n == 0) return std::nullopt;
  return ToInt(text.substr(0, n));
}

}  // namespace wendlar
