// Probe point files: the lines of PROBE.TMP and their conversion to facets (Q3D) and DXF.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/HomeDir.h"

namespace wendlar {

inline constexpr const char* kProbeFileName = "PROBE.TMP";
inline constexpr const char* kDxfTempName = "TEMP.DX1";
inline constexpr const char* kQ3dDefaultName = "probe.Q3D";
// Points a row buffer holds; a longer row is refused.
inline constexpr int kMaxRowPoints = 5990;
// Third number of a row-end marker line.
inline constexpr int64_t kRowEndMark = 100000;
inline constexpr const char* kTooManyPoints = "Too many points in a row: at most 5990";

// One PROBE.TMP line for a touch at machine position (x, y, z) in user units.
std::string ProbePointLine(double x, double y, double z, double unitsFactor);
// The row-end marker line for a row at x.
std::string RowEndLine(double x, double unitsFactor);

struct ConversionResult {
  bool ok = false;
  std::string error;  // why it failed, for the operator
  int rowCount = 0;   // points in the first row (the dialog shows it)
  int facets = 0;
};

// Facet lines (four per facet, codes 21..24) from the lines of a point file. Refuses a row
// of more than kMaxRowPoints points and a line that is not three integers.
[[nodiscard]] ConversionResult FacetsFromPoints(const std::vector<std::string>& points,
                                                std::vector<std::string>& facets);
// The DXF lines for facet lines; groups whose codes are not 21, 22, 23, 24 are skipped.
std::vector<std::string> DxfFromFacets(const std::vector<std::string>& facets, int* faceCount = nullptr);

// Converts PROBE.TMP into the facet file `fileName` (bare names are in the program folder).
[[nodiscard]] ConversionResult SaveFacets(const HomeDir& home, std::string_view fileName);
// Converts PROBE.TMP into TEMP.DX1 and that into the DXF drawing `fileName`.
[[nodiscard]] ConversionResult SaveDxf(const HomeDir& home, std::string_view fileName);

}  // namespace wendlar
