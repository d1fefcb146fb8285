// Number helpers shared by every layer: rounding, fixed-point text, strict parsing.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace wendlar {

// The integer nearest to v, an exact half going to the even neighbour. NaN gives 0 and
// values beyond the int64 range saturate, so no caller can be handed an undefined value.
int64_t Nearest(double v);

// Fixed-point text with `decimals` decimals, right-aligned to at least `minWidth` characters.
std::string FormatFixed(double v, int decimals, int minWidth = 0);

// Parses the whole text (surrounding blanks allowed) as a decimal number; nothing else.
std::optional<double> ParseDouble(std::string_view text);
std::optional<int64_t> ParseInt(std::string_view text);

// Reads a number at the start of the text after leading blanks and ignores the rest of it,
// as the file readers do with one value per line. Returns nothing when no number starts there.
std::optional<double> ReadLeadingDouble(std::string_view text);
std::optional<int64_t> ReadLeadingInt(std::string_view text);

std::string_view TrimBlanks(std::string_view text);

}  // namespace wendlar
