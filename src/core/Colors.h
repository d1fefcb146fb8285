// Colours as the program documents them: 0x00BBGGRR values (navy is 0x800000).
#pragma once

#include <cstdint>

namespace wendlar {

using Color = uint32_t;

inline constexpr Color kColorDefault = 0xFF000000;  // the widget's own colour
inline constexpr Color kBlack = 0x000000;
inline constexpr Color kMaroon = 0x000080;  // dark red
inline constexpr Color kGreen = 0x008000;
inline constexpr Color kOlive = 0x008080;
inline constexpr Color kNavy = 0x800000;
inline constexpr Color kGray = 0x808080;
inline constexpr Color kSilver = 0xC0C0C0;
inline constexpr Color kRed = 0x0000FF;
inline constexpr Color kLime = 0x00FF00;
inline constexpr Color kBlue = 0xFF0000;
inline constexpr Color kWhite = 0xFFFFFF;
inline constexpr Color kLightGrey = 0xC8C8C8;

}  // namespace wendlar
