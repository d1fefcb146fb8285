#include "job/GcodeValues.h"

#include <charconv>
#include <cstdio>

namespace wendlar {

std::string GcodeText(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "G%.3f", v);
  std::string g(text);
  while (g.back() == '0') g.pop_back();
  if (g.back() == '.') g.pop_back();
  return g;
}

bool ConvertLongValue(std::string_view digits, bool nonZeroInt, double& v) {
  auto r = std::from_chars(digits.data(), digits.data() + digits.size(), v, std::chars_format::fixed);
  if (r.ec == std::errc::result_out_of_range) {
    v = nonZeroInt ? std::numeric_limits<double>::infinity() : 0.0;
  } else if (r.ec != std::errc() || r.ptr != digits.data() + digits.size()) {
    v = 0;
    return false;
  }
  return true;
}

}  // namespace wendlar
