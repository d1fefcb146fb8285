#include "config/Travel.h"

#include <algorithm>
#include <array>
#include <utility>
#include <vector>

#include "core/Numbers.h"

namespace wendlar {

namespace {

// Positions travel the wire as 24-bit numbers: a travel beyond them cannot be reached.
constexpr int64_t kMaxTravelSteps = 8388607;

std::optional<AxisTravel> Range(std::string_view minText, std::string_view maxText) {
  const auto lo = ParseInt(minText), hi = ParseInt(maxText);
  if (!lo || !hi || *lo >= *hi || *lo < -kMaxTravelSteps || *hi > kMaxTravelSteps) return std::nullopt;
  return AxisTravel{true, static_cast<int32_t>(*lo), static_cast<int32_t>(*hi)};
}

std::array<std::pair<char, AxisTravel TravelState::*>, 4> Axes() {
  return {{{'X', &TravelState::X}, {'Y', &TravelState::Y}, {'Z', &TravelState::Z}, {'W', &TravelState::W}}};
}

std::vector<std::string_view> Words(std::string_view line) {
  std::vector<std::string_view> words;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    const size_t start = i;
    while (i < line.size() && line[i] != ' ' && line[i] != '\t') ++i;
    if (i > start) words.push_back(line.substr(start, i - start));
  }
  return words;
}

}  // namespace

void UseControllerTravel(TravelState& travel, const std::array<int64_t, 4>& minSteps,
                         const std::array<int64_t, 4>& maxSteps) {
  if (travel.Any() && !travel.FromController) return;
  TravelState scratch;
  const auto axes = Axes();
  for (size_t a = 0; a < axes.size(); ++a) {
    const int64_t lo = std::max(minSteps[a], -kMaxTravelSteps), hi = std::min(maxSteps[a], kMaxTravelSteps);
    if (lo < hi) scratch.*(axes[a].second) = AxisTravel{true, static_cast<int32_t>(lo), static_cast<int32_t>(hi)};
  }
  scratch.FromController = true;
  travel = scratch;
}

std::optional<AxisTravel> ParseTravelRange(std::string_view text) {
  // The minimum may be negative, so the separator is the first colon after its sign.
  const size_t colon = text.find(':');
  if (colon == std::string_view::npos) return std::nullopt;
  return Range(text.substr(0, colon), text.substr(colon + 1));
}

std::string TravelRangeText(const AxisTravel& axis) {
  if (!axis.Set) return "not set";
  return std::to_string(axis.MinSteps) + ":" + std::to_string(axis.MaxSteps);
}

TravelLoad LoadTravel(const HomeDir& home, TravelState& travel, std::string* why) {
  const auto lines = home.ReadLines(kTravelFile);
  if (!lines) return TravelLoad::NotFound;
  TravelState scratch;
  int number = 0;
  for (const std::string& line : *lines) {
    ++number;
    const auto words = Words(line);
    if (words.empty()) continue;
    const auto refuse = [&](const std::string& reason) {
      if (why != nullptr) *why = std::string(kTravelFile) + " line " + std::to_string(number) + ": " + reason;
      return TravelLoad::Refused;
    };
    AxisTravel TravelState::*field = nullptr;
    for (const auto& [name, member] : Axes()) {
      if (words[0].size() == 1 && (words[0][0] == name || words[0][0] == name + ('a' - 'A'))) field = member;
    }
    if (field == nullptr || words.size() != 3) return refuse("\"" + line + "\" is not AXIS MIN MAX");
    const auto range = Range(words[1], words[2]);
    if (!range) return refuse("\"" + line + "\" needs whole steps with MIN below MAX");
    if ((scratch.*field).Set) return refuse("axis " + std::string(words[0]) + " is given twice");
    scratch.*field = *range;
  }
  travel = scratch;
  return TravelLoad::Loaded;
}

bool SaveTravel(const HomeDir& home, const TravelState& travel, std::string* why) {
  std::vector<std::string> lines;
  for (const auto& [name, member] : Axes()) {
    const AxisTravel& a = travel.*member;
    if (a.Set) lines.push_back(std::string(1, name) + " " + std::to_string(a.MinSteps) + " " + std::to_string(a.MaxSteps));
  }
  return home.WriteLinesAtomic(kTravelFile, lines, why);
}

}  // namespace wendlar
