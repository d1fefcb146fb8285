// Number helpers shared by every layer: rounding, fixed-point text, strict parsing.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

namespace wendlar {

// The integer nearest to v, an exact half going to the even neighbour. NaN gives 0 and
// values beyond the int64 range saturate, so no caller can be handed an undefined value.
// Inline: every step value of a job passes through it.
inline int64_t Nearest(double v) {
  // Below 2^52 in size, adding 2^52 leaves no bits for a fraction: the sum is rounded in the
  // current rounding mode (ties to even by default) exactly as nearbyint rounds, and taking
  // 2^52 away again is exact.
  constexpr double kNoFraction = 4503599627370496.0;
  if (v >= 0 && v < kNoFraction) return static_cast<int64_t>((v + kNoFraction) - kNoFraction);
  if (v < 0 && v > -kNoFraction) return static_cast<int64_t>((v - kNoFraction) + kNoFraction);
  if (std::isnan(v)) return 0;
  if (v >= 9.2e18) return std::numeric_limits<int64_t>::max();
  if (v <= -9.2e18) return std::numeric_limits<int64_t>::min();
  return static_cast<int64_t>(v);  // 2^52 or more: a whole number already
}

// Text of at most kCapacity characters built in place: read-outs that change with every
// report are formatted without allocating. Appending past the capacity cuts the text.
class ShortText {
 public:
  static constexpr size_t kCapacity = 80;
  void Clear() { size_ = 0; }
  void Append(std::string_view more);
  void AppendInt(int64_t value);
  std::string_view View() const { return {data_, size_}; }

 private:
  char data_[kCapacity];
  size_t size_ = 0;
};

// Fixed-point text with `decimals` decimals, right-aligned to at least `minWidth` characters.
std::string FormatFixed(double v, int decimals, int minWidth = 0);
// The same text into `out`, replacing what it held.
void FormatFixedTo(ShortText& out, double v, int decimals, int minWidth = 0);

// Parses the whole text (surrounding blanks allowed) as a decimal number; nothing else.
std::optional<double> ParseDouble(std::string_view text);
std::optional<int64_t> ParseInt(std::string_view text);

// Reads a number at the start of the text after leading blanks and ignores the rest of it,
// as the file readers do with one value per line. Returns nothing when no number starts there.
std::optional<double> ReadLeadingDouble(std::string_view text);
std::optional<int64_t> ReadLeadingInt(std::string_view text);

std::string_view TrimBlanks(std::string_view text);

}  // namespace wendlar
