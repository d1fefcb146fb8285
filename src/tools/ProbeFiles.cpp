#include "tools/ProbeFiles.h"

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>

#include "core/Numbers.h"

namespace wendlar {

namespace {

struct RowPoint {
  int64_t y = 0, z = 0;
  bool filled = false;
};

struct Row {
  int64_t x = 0;
  std::vector<RowPoint> points = std::vector<RowPoint>(kMaxRowPoints + 1);  // indexed from 1
};

// Three integers separated by blanks, nothing else.
std::optional<std::array<int64_t, 3>> ParseTriple(std::string_view line) {
  std::array<int64_t, 3> v{};
  size_t pos = 0;
  for (int i = 0; i < 3; ++i) {
    while (pos < line.size() && line[pos] == ' ') ++pos;
    size_t end = pos;
    if (end < line.size() && (line[end] == '-' || line[end] == '+')) ++end;
    while (end < line.size() && line[end] >= '0' && line[end] <= '9') ++end;
    const auto n = ParseInt(line.substr(pos, end - pos));
    if (!n) return std::nullopt;
    v[static_cast<size_t>(i)] = *n;
    pos = end;
  }
  if (!TrimBlanks(line.substr(pos)).empty()) return std::nullopt;
  return v;
}

std::string Triple(int64_t a, int64_t b, int64_t c) {
  return std::to_string(a) + " " + std::to_string(b) + " " + std::to_string(c);
}

// A facet file integer in thousandths, with three decimals and no rounding on the way.
std::string Thousandths(int64_t v) {
  const uint64_t mag = v < 0 ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
  std::string frac = std::to_string(mag % 1000);
  frac.insert(0, 3 - frac.size(), '0');
  return (v < 0 ? "-" : "") + std::to_string(mag / 1000) + "." + frac;
}

std::string Reason() { return errno != 0 ? std::strerror(errno) : "unknown error"; }

ConversionResult Failed(std::string error) {
  ConversionResult r;
  r.error = std::move(error);
  return r;
}

std::optional<std::vector<std::string>> ReadPointFile(const HomeDir& home, std::string& error) {
  const auto path = home.Resolve(kProbeFileName);
  errno = 0;
  auto lines = home.ReadLines(kProbeFileName);
  if (!lines) {
    std::error_code ec;
    error = "Cannot read " + path.string() + ": " +
            (std::filesystem::exists(path, ec) ? Reason() : std::string("no such file"));
  } else if (!lines->empty() && lines->back().empty()) {
    lines->pop_back();
  }
  return lines;
}

ConversionResult Write(const HomeDir& home, std::string_view fileName, const std::vector<std::string>& lines,
                       ConversionResult result) {
  std::string why;
  if (!home.WriteLinesAtomic(fileName, lines, &why)) return Failed("Cannot create " + home.Resolve(fileName).string() + ": " + why);
  result.ok = true;
  return result;
}

}  // namespace

std::string ProbePointLine(double x, double y, double z, double unitsFactor) {
  return Triple(Nearest(x * unitsFactor), Nearest(y * unitsFactor), -Nearest(z * unitsFactor));
}

std::string RowEndLine(double x, double unitsFactor) { return Triple(Nearest(x * unitsFactor), 0, kRowEndMark); }

ConversionResult FacetsFromPoints(const std::vector<std::string>& points, std::vector<std::string>& facets) {
  facets.clear();
  ConversionResult result;
  Row prev, cur;
  bool forward = true;
  bool firstRow = true;
  int n = 0;  // points in the first row; every row is aligned on its indexes
  std::optional<std::array<int64_t, 2>> lastXY;
  size_t i = 0;
  while (i < points.size()) {
    // A backward row starts where the first row ended, so both directions line up by Y.
    int fill = forward || firstRow ? 1 : n;
    int stored = 0;
    bool marker = false;
    for (auto& p : cur.points) p.filled = false;
    for (; i < points.size() && !marker; ++i) {
      if (TrimBlanks(points[i]).empty()) continue;
      const auto v = ParseTriple(points[i]);
      if (!v) return Failed("Not a probe point on line " + std::to_string(i + 1) + ": " + points[i]);
      const std::array<int64_t, 2> xy{(*v)[0], (*v)[1]};
      const bool repeat = lastXY && *lastXY == xy;
      lastXY = xy;
      if ((*v)[1] == 0 && (*v)[2] == kRowEndMark) {
        marker = true;
        continue;
      }
      if (repeat) continue;
      if (stored == kMaxRowPoints) return Failed(kTooManyPoints);
      if (!forward && stored >= n) continue;  // going backward past index 1
      cur.x = (*v)[0];
      cur.points[static_cast<size_t>(fill)] = RowPoint{(*v)[1], -(*v)[2], true};
      ++stored;
      fill = forward ? fill + 1 : fill - 1;
    }
    if (firstRow) {
      n = stored;
      result.rowCount = n;
    } else if (marker) {
      // A row cut short (a stopped scan) gives facets only where both rows have points.
      for (int k = 1; k < n; ++k) {
        const auto& a = prev.points[static_cast<size_t>(k)];
        const auto& b = prev.points[static_cast<size_t>(k + 1)];
        const auto& c = cur.points[static_cast<size_t>(k + 1)];
        const auto& d = cur.points[static_cast<size_t>(k)];
        if (!a.filled || !b.filled || !c.filled || !d.filled) continue;
        facets.push_back("21 " + Triple(prev.x, a.y, a.z));
        facets.push_back("22 " + Triple(prev.x, b.y, b.z));
        facets.push_back("23 " + Triple(cur.x, c.y, c.z));
        facets.push_back("24 " + Triple(cur.x, d.y, d.z));
        ++result.facets;
      }
    }
    if (!marker && !firstRow) break;  // the file ended inside a row
    std::swap(prev, cur);
    forward = !forward;
    firstRow = false;
  }
  result.ok = true;
  return result;
}

std::vector<std::string> DxfFromFacets(const std::vector<std::string>& facets, int* faceCount) {
  std::vector<std::string> out = {"0", "SECTION", "2", "HEADER", "0", "ENDSEC",
                                  "999", "Created by Tovrel VRAX using 3D Digitizer data",
                                  "0", "SECTION", "2", "ENTITIES"};
  int faces = 0;
  for (size_t i = 0; i + 4 <= facets.size(); i += 4) {
    std::array<std::array<int64_t, 3>, 4> corner{};
    bool good = true;
    for (size_t c = 0; c < 4 && good; ++c) {
      const std::string_view line = facets[i + c];
      const size_t space = line.find(' ');
      const auto code = space == std::string_view::npos ? std::nullopt : ParseInt(line.substr(0, space));
      const auto xyz = space == std::string_view::npos ? std::nullopt : ParseTriple(line.substr(space + 1));
      good = code && xyz && *code == static_cast<int64_t>(21 + c);
      if (good) corner[c] = *xyz;
    }
    if (!good) continue;
    out.insert(out.end(), {"0", "3DFACE", "8", "PROBEDATA", "62", "1"});
    for (size_t c = 0; c < 4; ++c) {
      for (size_t axis = 0; axis < 3; ++axis) {
        out.push_back(std::to_string((axis + 1) * 10 + c));
        out.push_back(Thousandths(corner[c][axis]));
      }
    }
    ++faces;
  }
  out.insert(out.end(), {"0", "ENDSEC", "0", "EOF"});
  if (faceCount != nullptr) *faceCount = faces;
  return out;
}

ConversionResult SaveFacets(const HomeDir& home, std::string_view fileName) {
  std::string error;
  const auto points = ReadPointFile(home, error);
  if (!points) return Failed(error);
  std::vector<std::string> facets;
  ConversionResult r = FacetsFromPoints(*points, facets);
  if (!r.ok) return r;
  return Write(home, fileName, facets, r);
}

ConversionResult SaveDxf(const HomeDir& home, std::string_view fileName) {
  ConversionResult r = SaveFacets(home, kDxfTempName);
  if (!r.ok) return r;
  const auto facets = home.ReadLines(kDxfTempName);
  if (!facets) return Failed("Cannot read " + home.Resolve(kDxfTempName).string());
  int faces = 0;
  const auto dxf = DxfFromFacets(*facets, &faces);
  r.facets = faces;
  return Write(home, fileName, dxf, r);
}

}  // namespace wendlar
