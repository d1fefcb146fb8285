// The probe point file and its conversion to facets and DXF, byte for byte.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/TempDir.h"
#include "tools/ProbeFiles.h"

namespace wendlar::testing {
namespace {

// Two rows of three points at X 0 and X 12.345, the second scanned backward.
const std::string kTwoRows =
    "0 0 100\r\n0 50 110\r\n0 50 999\r\n0 100 120\r\n0 0 100000\r\n"
    "12345 100 130\r\n12345 50 140\r\n12345 0 150\r\n12345 0 100000\r\n";

const std::string kTwoRowsFacets =
    "21 0 0 -100\r\n22 0 50 -110\r\n23 12345 50 -140\r\n24 12345 0 -150\r\n"
    "21 0 50 -110\r\n22 0 100 -120\r\n23 12345 100 -130\r\n24 12345 50 -140\r\n";

struct ProbeFiles : ::testing::Test {
  TempDir dir;
  HomeDir home{dir.Path()};
};

TEST_F(ProbeFiles, PointLinesRoundAndNegateZ) {
  EXPECT_EQ(ProbePointLine(0.05, 1.0, -2.5004, 1000), "50 1000 2500");
  EXPECT_EQ(ProbePointLine(0.0015, 0.0025, 0.5, 1000), "2 2 -500");  // halves go to even
  EXPECT_EQ(RowEndLine(0.95, 1000), "950 0 100000");
}

TEST_F(ProbeFiles, FacetsPairRowsByIndexAcrossDirectionsAndSkipARepeatedPoint) {
  dir.Write(kProbeFileName, kTwoRows);
  const ConversionResult r = SaveFacets(home, kQ3dDefaultName);
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.rowCount, 3);
  EXPECT_EQ(r.facets, 2);
  EXPECT_EQ(dir.Read(kQ3dDefaultName), kTwoRowsFacets);
}

TEST_F(ProbeFiles, DxfOfTwoRowsIsWrittenExactly) {
  dir.Write(kProbeFileName, kTwoRows);
  const ConversionResult r = SaveDxf(home, "out.dxf");
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(dir.Read(kDxfTempName), kTwoRowsFacets);
  const std::string head =
      "0\r\nSECTION\r\n2\r\nHEADER\r\n0\r\nENDSEC\r\n999\r\nCreated by Tovrel VRAX using 3D Digitizer data\r\n"
      "0\r\nSECTION\r\n2\r\nENTITIES\r\n";
  const std::string face1 =
      "0\r\n3DFACE\r\n8\r\nPROBEDATA\r\n62\r\n1\r\n"
      "10\r\n0.000\r\n20\r\n0.000\r\n30\r\n-0.100\r\n11\r\n0.000\r\n21\r\n0.050\r\n31\r\n-0.110\r\n"
      "12\r\n12.345\r\n22\r\n0.050\r\n32\r\n-0.140\r\n13\r\n12.345\r\n23\r\n0.000\r\n33\r\n-0.150\r\n";
  const std::string face2 =
      "0\r\n3DFACE\r\n8\r\nPROBEDATA\r\n62\r\n1\r\n"
      "10\r\n0.000\r\n20\r\n0.050\r\n30\r\n-0.110\r\n11\r\n0.000\r\n21\r\n0.100\r\n31\r\n-0.120\r\n"
      "12\r\n12.345\r\n22\r\n0.100\r\n32\r\n-0.130\r\n13\r\n12.345\r\n23\r\n0.050\r\n33\r\n-0.140\r\n";
  EXPECT_EQ(dir.Read("out.dxf"), head + face1 + face2 + "0\r\nENDSEC\r\n0\r\nEOF\r\n");
}

TEST_F(ProbeFiles, OneRowGivesNoFaceAndAFacetGroupWithWrongCodesIsSkipped) {
  dir.Write(kProbeFileName, "0 0 5\r\n0 50 6\r\n0 0 100000\r\n");
  ASSERT_TRUE(SaveDxf(home, "one.dxf").ok);
  EXPECT_EQ(dir.Read("one.dxf").find("3DFACE"), std::string::npos);

  int faces = -1;
  const auto dxf = DxfFromFacets({"21 1 2 3", "22 1 2 3", "24 1 2 3", "23 1 2 3", "21 1 2 3", "22 1 2 3",
                                  "23 1 2 3", "24 -12345 2 3"},
                                 &faces);
  EXPECT_EQ(faces, 1);
  EXPECT_EQ(dxf[dxf.size() - 9], "-12.345");  // corner 4's x of the one face
}

TEST_F(ProbeFiles, AStoppedScansShortLastRowGivesFacetsOnlyWherePointsExist) {
  dir.Write(kProbeFileName, "0 0 1\r\n0 50 2\r\n0 100 3\r\n0 0 100000\r\n50 100 4\r\n50 50 5\r\n50 0 100000\r\n");
  const ConversionResult r = SaveFacets(home, "short.q3d");
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(dir.Read("short.q3d"), "21 0 50 -2\r\n22 0 100 -3\r\n23 50 100 -4\r\n24 50 50 -5\r\n");
}

TEST_F(ProbeFiles, RefusesWhatItCannotConvertWithTheReason) {
  ConversionResult r = SaveFacets(home, "x.q3d");
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.error.find("PROBE.TMP: no such file"), std::string::npos) << r.error;
  EXPECT_FALSE(dir.Exists("x.q3d"));

  dir.Write(kProbeFileName, kTwoRows);
  r = SaveDxf(home, (dir.Path() / "missing" / "x.dxf").string());
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.error.find("Cannot create"), std::string::npos) << r.error;

  dir.Write(kProbeFileName, "0 0 1\r\n0 oops 2\r\n");
  r = SaveFacets(home, "x.q3d");
  EXPECT_EQ(r.error, "Not a probe point on line 2: 0 oops 2");

  // A row that would not fit the row buffer is refused, and nothing is written.
  std::string longRow;
  for (int i = 0; i <= kMaxRowPoints; ++i) longRow += "0 " + std::to_string(i) + " 7\r\n";
  dir.Write(kProbeFileName, longRow + "0 0 100000\r\n");
  r = SaveFacets(home, "x.q3d");
  EXPECT_EQ(r.error, kTooManyPoints);
  EXPECT_FALSE(dir.Exists("x.q3d"));
}

}  // namespace
}  // namespace wendlar::testing
