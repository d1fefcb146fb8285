#include "config/EditText.h"

#include <algorithm>
#include <cmath>

#include "core/Numbers.h"

namespace wendlar {

std::string RealEditText(double value) {
  std::string text = FormatFixed(value, 8);
  if (text.find('.') != std::string::npos) {
    while (text.back() == '0') text.pop_back();
    if (text.back() == '.') text.pop_back();
  }
  if (text == "-0") text = "0";
  return text;
}

std::optional<double> ReadRealEdit(const std::string& text) {
  auto v = ParseDouble(text);
  if (!v || !std::isfinite(*v)) return std::nullopt;
  return v;
}

std::optional<int64_t> ReadIntEdit(const std::string& text) {
  if (auto i = ParseInt(text)) return i;
  auto v = ReadRealEdit(text);
  if (!v || std::fabs(*v) > 1e15) return std::nullopt;
  return Nearest(*v);
}

std::string OneLine(std::string text) {
  std::erase_if(text, [](char c) { return c == '\r' || c == '\n'; });
  return text;
}

}  // namespace wendlar
