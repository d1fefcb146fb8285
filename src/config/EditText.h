// Text of the settings windows' number edits: how reals are shown and typed numbers read.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace wendlar {

// A real as a real-number edit shows it: up to 8 decimals, trailing zeros dropped.
std::string RealEditText(double value);

// A typed real; nothing when the text is not wholly a finite number.
std::optional<double> ReadRealEdit(const std::string& text);
// A typed integer (a real is rounded to the nearest); nothing when not a number.
std::optional<int64_t> ReadIntEdit(const std::string& text);

// Text stored on one line of a settings file: line breaks would shift every later line.
std::string OneLine(std::string text);

}  // namespace wendlar
