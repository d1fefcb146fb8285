// The machine's travel per axis (Travel.cfg): how far each axis may go from home, in steps.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/HomeDir.h"

namespace wendlar {

inline constexpr const char* kTravelFile = "Travel.cfg";

// One axis's travel in the controller's own steps from home (Z and W count down as positive,
// as the controller counts them). An axis that is not set is not checked.
struct AxisTravel {
  bool Set = false;
  int32_t MinSteps = 0, MaxSteps = 0;
};

struct TravelState {
  AxisTravel X, Y, Z, W;
  // Taken from the simulated controller because Travel.cfg set none; never written back.
  bool FromController = false;

  bool Any() const { return X.Set || Y.Set || Z.Set || W.Set; }
};

enum class TravelLoad { Loaded, NotFound, Refused };

// Reads Travel.cfg into `travel`. A line that is not "AXIS MIN MAX" with MIN below MAX, or a
// repeated axis, refuses the whole file: `travel` is left unchanged and `why` says which line.
// NotFound leaves `travel` unchanged too.
[[nodiscard]] TravelLoad LoadTravel(const HomeDir& home, TravelState& travel, std::string* why = nullptr);
// Writes the axes that are set, one "X -400 400000" line each, atomically.
[[nodiscard]] bool SaveTravel(const HomeDir& home, const TravelState& travel, std::string* why = nullptr);

// Unless Travel.cfg set it: the controller's own travel (the simulated controller knows it),
// each axis as its minimum and maximum in the steps the position report counts (X, Y, Z, W).
// Called again before every pre-flight, since homing moves the report's zero.
void UseControllerTravel(TravelState& travel, const std::array<int64_t, 4>& minSteps,
                         const std::array<int64_t, 4>& maxSteps);

// "MIN:MAX" in whole steps, MIN below MAX; nothing for anything else.
[[nodiscard]] std::optional<AxisTravel> ParseTravelRange(std::string_view text);
// "-400:400000", or "not set".
[[nodiscard]] std::string TravelRangeText(const AxisTravel& axis);

}  // namespace wendlar
