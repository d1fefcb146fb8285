#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "GcodeRig.h"
#include "core/Numbers.h"
#include "job/ArcPath.h"

namespace wendlar::testing {
namespace {

using Calls = std::vector<std::string>;

struct Point {
  long x, y, z;
};

// The feed targets the reader queued, in order.
std::vector<Point> Moves(const RecordingMachine& m) {
  std::vector<Point> out;
  for (const auto& c : m.Calls) {
    Point p{};
    double speed;
    if (std::sscanf(c.c_str(), "Move %ld %ld %ld %lf", &p.x, &p.y, &p.z, &speed) == 4) out.push_back(p);
  }
  return out;
}

std::string Num(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.4f", v);
  return buf;
}

// Every point on the circle, each turn in the given sense (clockwise seen from above), and
// the last point on the programmed end.
void ExpectArc(const std::vector<Point>& pts, long cx, long cy, double rSteps, bool clockwise, long ex, long ey) {
  ASSERT_GE(pts.size(), 2u);
  for (size_t i = 0; i < pts.size(); ++i) {
    EXPECT_NEAR(std::hypot(pts[i].x - cx, pts[i].y - cy), rSteps, 1.0) << "point " << i;
    if (i > 0) {
      double cross = double(pts[i - 1].x - cx) * (pts[i].y - cy) - double(pts[i - 1].y - cy) * (pts[i].x - cx);
      EXPECT_EQ(cross < 0, clockwise) << "point " << i;
    }
  }
  EXPECT_EQ(pts.back().x, ex);
  EXPECT_EQ(pts.back().y, ey);
}

class ArcQuadrants : public ::testing::TestWithParam<int> {};

TEST_P(ArcQuadrants, QuarterArcsBothWays) {
  // Quarter arcs of radius 1 starting in each quadrant, at 45° off the axes.
  const double a = M_PI / 4 + GetParam() * M_PI / 2;
  const double sx = std::sin(a), sy = std::cos(a);
  for (bool cw : {true, false}) {
    const double b = cw ? a + M_PI / 2 : a - M_PI / 2;
    const double ex = std::sin(b), ey = std::cos(b);
    GcodeRig rig;
    rig.Run("G0 X" + Num(sx) + " Y" + Num(sy) + "\n" + (cw ? "G2" : "G3") + " X" + Num(ex) + " Y" + Num(ey) + " I" +
            Num(-sx) + " J" + Num(-sy) + " F20\n");
    auto pts = Moves(rig.m);
    ExpectArc(pts, 0, 0, 8000, cw, std::lround(ex * 8000), std::lround(ey * 8000));
    // 90° in chords of 0.0125 rad: 125 points after the start, then the end.
    EXPECT_NEAR(static_cast<double>(pts.size()), 126, 1) << (cw ? "G2" : "G3");
  }
}

INSTANTIATE_TEST_SUITE_P(Gcode, ArcQuadrants, ::testing::Values(0, 1, 2, 3));

TEST(GcodeArcs, FullCirclesBothWays) {
  for (bool cw : {true, false}) {
    GcodeRig rig;
    rig.Run(std::string("G0 X1 Y0\n") + (cw ? "G2" : "G3") + " X1 Y0 I-1 J0 F20\n");
    auto pts = Moves(rig.m);
    ExpectArc(pts, 0, 0, 8000, cw, 8000, 0);
    long minX = 0, maxY = 0, minY = 0;
    for (auto p : pts) minX = std::min(minX, p.x), maxY = std::max(maxY, p.y), minY = std::min(minY, p.y);
    EXPECT_LE(minX, -7999);
    EXPECT_GE(maxY, 7999);
    EXPECT_LE(minY, -7999);
  }
}

TEST(GcodeArcs, ChordCountAtArcRez005AndXscale8) {
  // Full circles: one stored move per chord point after the start, plus the end.
  const std::vector<std::pair<double, size_t>> cases = {
      {0.5, 252}, {1, 503}, {10, 5027}, {40, 10054}, {70, 4399}, {150, 1179}};
  for (auto [r, moves] : cases) {
    GcodeRig rig;
    rig.Run("G0 X" + Num(r) + "\nG2 X" + Num(r) + " Y0 I" + Num(-r) + " J0\n");
    EXPECT_EQ(Moves(rig.m).size(), moves) << "radius " << r;
  }
}

// The walk's rotation gives every point the rounding the exact sine and cosine give, in
// machine steps and in a rounding so fine that the rotation's own error shows.
TEST(GcodeArcs, WalkingAnArcRoundsEveryPointAsTheExactPoint) {
  auto steps = [](double v) { return Nearest(v * 1000.0 * 8); };
  auto fine = [](double v) { return Nearest(v * 1e13); };
  ArcResolution res;
  res.Res = 0.05;
  res.Scale = 8;
  res.MinRes = 0.0005;
  uint64_t bits = 0x9e3779b97f4a7c15ull;
  auto next = [&bits] {
    bits ^= bits << 13, bits ^= bits >> 7, bits ^= bits << 17;
    return static_cast<double>(bits >> 11) / 9007199254740992.0;
  };
  int64_t points = 0;
  for (int arc = 0; arc < 300; ++arc) {
    const double r = 0.01 + 120 * next() * next(), cx = 400 * next() - 200, cy = 400 * next() - 200;
    const double a0 = 7 * next(), a1 = 7 * next();
    const ArcPlan plan = PlanArc(cx + r * std::sin(a0), cy + r * std::cos(a0), cx, cy, cx + r * std::sin(a1),
                                 cy + r * std::cos(a1), arc % 2 == 0, res);
    ArcWalk walk(plan);
    int64_t k = 0;
    do {
      ASSERT_EQ(walk.Index(), k);
      const double a = plan.AngleAt(k);
      ASSERT_EQ(walk.RoundedX(steps), steps(plan.XAt(a))) << arc << " " << k;
      ASSERT_EQ(walk.RoundedY(steps), steps(plan.YAt(a))) << arc << " " << k;
      ASSERT_EQ(walk.RoundedX(fine), fine(plan.XAt(a))) << arc << " " << k;
      ASSERT_EQ(walk.RoundedY(fine), fine(plan.YAt(a))) << arc << " " << k;
      ++k;
    } while (walk.Next());
    ASSERT_EQ(k, plan.Chords + 2);
    points += k;
  }
  EXPECT_GT(points, 100000);
}

TEST(GcodeArcs, HelixEndsExactlyAtTheTargetZ) {
  GcodeRig rig;
  rig.Run("G0 X1 Y0 Z0\nG2 X1 Y0 Z-0.5 I-1 J0\n");
  auto pts = Moves(rig.m);
  ASSERT_EQ(pts.size(), 503u);
  EXPECT_EQ(pts.front().z, 8);  // 4000 steps over 502 chords
  for (size_t i = 1; i < pts.size(); ++i) EXPECT_GE(pts[i].z, pts[i - 1].z);
  EXPECT_EQ(pts[pts.size() - 2].z, 4000);
  EXPECT_EQ(pts.back().z, 4000);
  EXPECT_EQ(rig.state.PrevZ, -0.5);
}

TEST(GcodeArcs, CentreIsIncrementalAndEndAbsoluteUnderG91) {
  GcodeRig rig;
  rig.Run("G0 X1 Y0\nG91\nG2 X0 Y-1 I-1 J0\nG1 X1\n");
  auto pts = Moves(rig.m);
  ASSERT_GE(pts.size(), 3u);
  pts.pop_back();
  ExpectArc(pts, 0, 0, 8000, true, 0, -8000);
  // The arc left the target at its absolute end; the incremental feed adds to it.
  EXPECT_EQ(rig.m.Calls.back(), "Move 8000 -8000 0 1");
}

TEST(GcodeArcs, OnlyALineWithItsOwnEndOrCentreCutsAnArc) {
  GcodeRig rig;
  rig.Run("G0 X1 Y0\nG2 X0 Y-1 I-1 J0\n");
  const size_t first = rig.m.Moves().size();
  // A feed word alone, or a Z alone, under G2: no circle; the Z is a straight plunge.
  rig.Run("F20\nZ-0.2\n");
  auto moves = rig.m.Moves();
  ASSERT_EQ(moves.size(), first + 1);
  EXPECT_EQ(moves.back(), "Move 0 -8000 1600 20");
  EXPECT_EQ(rig.flags.AbortRun, 0);

  // The full circle needs I or J on the line and its end on its start.
  GcodeRig full;
  full.Run("G0 X1 Y0\nG2 X1 Y0 I-1\n");
  auto pts = Moves(full.m);
  ExpectArc(pts, 0, 0, 8000, true, 8000, 0);
  EXPECT_GT(pts.size(), 500u);
}

TEST(GcodeArcs, CentreOffsetsAreNotModal) {
  // The second arc omits I: it is 0, so the centre is (10, 20) and the arc ends on its circle.
  GcodeRig rig(true);
  rig.Run("G0 X0 Y0\nG3 X0 Y10 I-10 J5\nG0 X10 Y10\nG3 X20 Y20 J10\n");
  EXPECT_TRUE(rig.m.Messages.empty());
  auto pts = Moves(rig.m);
  ASSERT_FALSE(pts.empty());
  // Metric default machine: 100 file units per mm, scale from the rig's configuration.
  const double scale = rig.config.Config.Xscale * 100;
  EXPECT_NEAR(pts.back().x, 20 * scale, 1);
  EXPECT_NEAR(pts.back().y, 20 * scale, 1);
  for (const Point& p : pts) EXPECT_LE(p.x, 20 * scale + 1);  // never swings out to a stale centre
}

TEST(GcodeArcs, ArcsWithoutACentreOrWithAnEndOffTheCircleAreRefused) {
  GcodeRig none;
  none.Run("G0 X1\nG2 X2 Y0\n");
  EXPECT_EQ(none.m.Messages, Calls({"line 2: Error arc without I or J"}));
  EXPECT_EQ(none.flags.AbortRun, 1);

  GcodeRig off;  // centre (2, 0), radius 1; the end (2, 1.5) is half a radius off
  off.Run("G0 X1\nG2 X2 Y1.5 I1 J0\n");
  EXPECT_EQ(off.m.Messages, Calls({"line 2: Error arc end not on its circle"}));
  EXPECT_EQ(Moves(off.m).size(), 0u);

  GcodeRig close;  // four decimals of rounding are not an error
  close.Run("G0 X1\nG2 X2 Y1.0004 I1 J0\n");
  EXPECT_TRUE(close.m.Messages.empty());
}

TEST(GcodeArcs, DegenerateArcsNeitherHangNorMove) {
  GcodeRig zero;  // a zero radius: the end must be the start
  zero.Run("G0 X1\nG2 X1 Y0 I0 J0\nG1 Y1\n");
  EXPECT_EQ(zero.m.Moves(), Calls({"Rapid 8000 0", "Move 8000 8000 0 1"}));

  GcodeRig noRez;  // chords floor at one step
  noRez.config.Config.Arc_rez = 0;
  noRez.Run("G0 X0.1\nG2 X0.1 Y0 I-0.1 J0\n");
  auto pts = Moves(noRez.m);
  EXPECT_GT(pts.size(), 700u);
  EXPECT_LT(pts.size(), 10100u);
  EXPECT_EQ(pts.back().x, 800);

  GcodeRig noScale;
  noScale.config.Config.Xscale = 0;
  noScale.config.Config.Yscale = 0;
  noScale.Run("G0 X1\nG2 X1 Y0 I-1 J0\nG3 X0 Y1 I-1 J0\n");
  EXPECT_TRUE(Moves(noScale.m).empty());
  EXPECT_EQ(noScale.flags.AbortRun, 0);
}

TEST(GcodeArcs, RadiusFormAndHugeCirclesAreRefused) {
  GcodeRig r;
  r.Run("G0 X1\nG2 X2 Y0 R0.5\nG1 X3\n");
  EXPECT_EQ(r.m.Messages, Calls({"line 2: Error R arcs not supported"}));
  EXPECT_EQ(r.m.Moves(), Calls({"Rapid 8000 0"}));
  EXPECT_EQ(r.flags.AbortRun, 1);

  GcodeRig huge;  // the end lies on the start's ray: a whole circle far outside the range
  huge.Run("G0 X1\nG2 X1.1 Y0 I-1000 J0\n");
  EXPECT_EQ(huge.m.Messages, Calls({"line 2: Long3 overflow"}));
  EXPECT_TRUE(Moves(huge.m).empty());

  GcodeRig crossing;  // ends in range, but the arc swings past X -1048.6
  crossing.Run("G0 X-1000 Y1\nG3 X-1000 Y-1 I0 J-1\nG3 X-1000 Y-201 I0 J-100\n");
  EXPECT_EQ(crossing.m.Messages, Calls({"line 3: Long3 overflow"}));
  EXPECT_EQ(crossing.m.Moves().size(), 1u + 252u);  // only the first, small arc

  GcodeRig gentle;  // a huge radius, a short arc: every point is in range
  gentle.Run("G0 X1 Y0\nG2 X1.1 Y-0.1 I-1000 J0\n");
  EXPECT_TRUE(gentle.m.Messages.empty());
  auto pts = Moves(gentle.m);
  ASSERT_FALSE(pts.empty());
  EXPECT_EQ(pts.back().x, 8000);
  EXPECT_EQ(pts.back().y, -800);
}

TEST(GcodeDrilling, G81ReturnsToRWithG99AndToTheTopWithG98) {
  GcodeRig rig;
  rig.Run("G0 Z1\nG99 G81 X1 Y1 Z-0.5 R0.1 F10\nX2\nG98 X3\nG80\n");
  EXPECT_EQ(rig.m.Calls, Calls({"Z -8000 60 0",
                                "Rapid 8000 8000", "Z -800 60 0", "Dwell 0.2", "Z 4000 10 0", "Z -800 80 0",
                                // Z unchanged: no move to R before the dwell
                                "Rapid 16000 8000", "Dwell 0.2", "Z 4000 10 0", "Z -800 80 0",
                                "Rapid 24000 8000", "Dwell 0.2", "Z 4000 10 0", "Z -8000 80 0"}));
  // A feed after the cycle counts from where the cycle left the tool.
  EXPECT_EQ(rig.m.Z, -8000);
}

TEST(GcodeDrilling, G82DwellsAtTheBottom) {
  GcodeRig rig;
  rig.Run("G82 X1 Z-0.25 R0.1 F10\n");
  // Below R at the start: up to R first, so the tool never travels to the hole below it.
  EXPECT_EQ(rig.m.Calls, Calls({"Z -800 60 0", "Rapid 8000 0", "Dwell 0.2", "Z 2000 10 0", "Dwell 0.4", "Z -800 80 0"}));
}

TEST(GcodeDrilling, G83PecksBackToR) {
  GcodeRig rig;
  rig.Run("G0 Z1\nG83 Z-0.3 R0.1 Q0.1 F5\n");
  // Down to the programmed Z (-0.3), not 0.3 below R.
  EXPECT_EQ(rig.m.Calls, Calls({"Z -8000 60 0", "Z -800 60 0", "Z 0 5 0", "Z -800 80 0", "Z 800 5 0", "Z -800 80 0",
                                "Z 1600 5 0", "Z -800 80 0", "Z 2400 5 0", "Z -800 80 0", "Z -8000 60 0"}));
}

TEST(GcodeDrilling, G73LiftsTenThousandthsAfterEachPeck) {
  GcodeRig rig;
  rig.Run("G0 Z1\nG73 Z-0.3 R0.1 Q0.1 F5\n");
  EXPECT_EQ(rig.m.Calls, Calls({"Z -8000 60 0", "Z -800 60 0", "Z 0 5 0", "Z -80 80 0", "Z 800 5 0", "Z 720 80 0",
                                "Z 1600 5 0", "Z 1520 80 0", "Z 2400 5 0", "Z -8000 60 0"}));
}

TEST(GcodeDrilling, PeckWithoutAPositiveQIsRefused) {
  for (const char* q : {"Q0", "Q-0.1"}) {
    GcodeRig rig;
    rig.Run(std::string("G0 Z1\nG83 X1 Z-0.3 R0.1 ") + q + "\n");
    EXPECT_EQ(rig.m.Messages, Calls({"line 2: Error peck depth Q must be above 0"}));
    EXPECT_EQ(rig.m.Moves(), Calls({"Z -8000 60 0"}));
    EXPECT_EQ(rig.flags.AbortRun, 1);
  }
}

TEST(GcodeDrilling, AfterACycleTheToolIsAtItsRetractHeightAndRepeatsNeedAHole) {
  GcodeRig rig;
  // M5 and a lone F under a modal G81 drill nothing; the feed after G80 starts at R, not the bottom.
  rig.Run("G0 Z1\nG99 G81 X1 Y1 Z-0.5 R0.1 F10\nM5\nF20\nX2\nG80\nG1 X3\n");
  EXPECT_EQ(rig.m.Calls, Calls({"Z -8000 60 0",
                                "Rapid 8000 8000", "Z -800 60 0", "Dwell 0.2", "Z 4000 10 0", "Z -800 80 0",
                                "SpindleOff",
                                "Rapid 16000 8000", "Dwell 0.2", "Z 4000 20 0", "Z -800 80 0",
                                "Move 24000 8000 -800 20"}));
}

TEST(GcodeDrilling, PeckCyclesLeaveTheToolAtTheTop) {
  GcodeRig rig;
  rig.Run("G0 Z1\nG83 X1 Z-0.2 R0.1 Q0.2 F5\nG80\nG1 X2\n");
  EXPECT_EQ(rig.m.Calls.back(), "Move 16000 0 -8000 5");
}

TEST(GcodeCodes, ArcCentresIncrementalIsAcceptedAndChangesNothing) {
  GcodeRig rig;
  rig.Run("G91.1\nG0 X1\nG0 X2\n");
  EXPECT_TRUE(rig.m.Messages.empty());
  EXPECT_FALSE(rig.state.Incremental);
  EXPECT_EQ(rig.m.Moves(), Calls({"Rapid 8000 0", "Rapid 16000 0"}));
}

}  // namespace
}  // namespace wendlar::testing
