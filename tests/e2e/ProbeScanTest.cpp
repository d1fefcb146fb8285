// The 3D digitiser against the simulated controller on virtual time: a full scan measures
// the simulated surface, pauses and aborts keep what was measured, a stop or a silent
// controller ends it at once, and the DXF is read back by an independent reader.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "support/SimSystem.h"
#include "tools/ProbeFiles.h"

namespace wendlar::testing {
namespace {

constexpr uint8_t kProbeRecord = 61;

struct Point {
  int64_t x, y, z;
};

std::vector<Point> ReadPoints(const TempDir& dir) {
  std::vector<Point> points;
  std::istringstream in(dir.Read(kProbeFileName));
  Point p{};
  while (in >> p.x >> p.y >> p.z) points.push_back(p);
  return points;
}

struct ProbeScan : ::testing::Test {
  explicit ProbeScan(sim::SimOptions options = ProbeSurfaceOptions()) : rig(std::move(options)) {}
  SimSystem rig;
  System& sys = *rig.sys;
  TProbeBox& probe = sys.probe;
  TProbeBoxView& v = sys.probe.View;

  void SetUp() override {
    ASSERT_TRUE(rig.ConnectAndInitialise());
    probe.Open();
  }
  size_t ProbeRecords(size_t from = 0) {
    size_t n = 0;
    for (const auto& r : rig.Records(from)) n += r[0] == kProbeRecord ? 1 : 0;
    return n;
  }
  // Runs `action` once `when` holds, checked every millisecond of the scan.
  std::unique_ptr<Timer> At(std::function<bool()> when, std::function<void()> action) {
    auto done = std::make_shared<bool>(false);
    return rig.loop.CreateTimer(1, true, [when = std::move(when), action = std::move(action), done] {
      if (*done || !when()) return;
      *done = true;
      action();
    });
  }
};

TEST_F(ProbeScan, AnInchSquareAtPitch005Measures441PointsOnTheSimulatedSurface) {
  const sim::Steps4 origin = rig.sim.MachinePosition();
  const sim::Steps4 reportedOrigin = rig.sim.Position();
  ASSERT_TRUE(probe.StartProbe()) << v.Status.Caption();
  EXPECT_EQ(v.Status.Caption(), "Done Probing");
  EXPECT_EQ(ProbeRecords(), 441u);
  EXPECT_TRUE(v.Dxf_save.Enabled());
  EXPECT_TRUE(v.Q3Dsave.Enabled());
  EXPECT_TRUE(v.Start_probe.Enabled());
  EXPECT_FALSE(v.Pause_probe.Enabled());
  EXPECT_FALSE(sys.status.Run.ProbeRunning);
  EXPECT_TRUE(sys.link.UsbTimer().Enabled());
  EXPECT_EQ(sys.console.State.Operation, LongOperation::None);

  const auto points = ReadPoints(rig.dir);
  ASSERT_EQ(points.size(), 441u + 21u);
  int markers = 0, rowPoints = 0;
  for (const Point& p : points) {
    if (p.z == kRowEndMark) {
      EXPECT_EQ(rowPoints, 21);
      EXPECT_EQ(p.x, markers * 50);
      ++markers;
      rowPoints = 0;
      continue;
    }
    ++rowPoints;
    // Serpentine: even rows go up in Y, odd rows come back.
    const int64_t along = markers % 2 == 0 ? (rowPoints - 1) * 50 : (21 - rowPoints) * 50;
    EXPECT_EQ(p.x, markers * 50);
    EXPECT_EQ(p.y, along);
    // Thousandths of an inch at 8 steps each; Z counts down, the file negates it back.
    const int64_t surface = rig.sim.SurfaceZ(origin[sim::kX] + p.x * 8, origin[sim::kY] + p.y * 8);
    const double expected = static_cast<double>(surface - origin[sim::kZ] + reportedOrigin[sim::kZ]) / 8.0;
    EXPECT_LE(std::abs(static_cast<double>(p.z) - expected), 0.5 + 1e-9) << p.x << " " << p.y;
  }
  EXPECT_EQ(markers, 21);
  EXPECT_EQ(probe.PointsDone, 441);

  // The Q3D and the DXF of the scan; the DXF is read back by an independent reader.
  rig.prompts.Paths.push_back((rig.dir.Path() / "scan.dxf").string());
  probe.Dxf_saveClick();
  probe.Q3DsaveClick();
  EXPECT_EQ(v.Row_count.Caption(), "Points per row: 21");
  ASSERT_EQ(rig.prompts.Dialogs.size(), 1u);
  EXPECT_EQ(rig.prompts.Dialogs[0].Title, "Save DXF file");
  EXPECT_EQ(rig.prompts.Dialogs[0].Filter, "Drawing Exchange Format|*.DXF");
  const std::string q3d = rig.dir.Read(kQ3dDefaultName);
  EXPECT_EQ(static_cast<size_t>(std::count(q3d.begin(), q3d.end(), '\n')), 400u * 4u);

  if (std::system("/usr/bin/python3 -c 'import ezdxf' >/dev/null 2>&1") != 0) {
    GTEST_SKIP() << "python3-ezdxf is not installed; the DXF was not read back";
  }
  const std::string script = R"(
import sys, ezdxf
doc = ezdxf.readfile(sys.argv[1])
faces = [e for e in doc.modelspace() if e.dxftype() == '3DFACE']
layers = {e.dxf.layer for e in faces}
first = faces[0]
last = faces[-1]
def fmt(v): return '%.3f,%.3f,%.3f' % (v[0], v[1], v[2])
print(len(faces), ','.join(sorted(layers)))
print(' '.join(fmt(first.dxf.get(k)) for k in ('vtx0', 'vtx1', 'vtx2', 'vtx3')))
print(' '.join(fmt(last.dxf.get(k)) for k in ('vtx0', 'vtx1', 'vtx2', 'vtx3')))
)";
  rig.dir.Write("check.py", script);
  const std::string out = (rig.dir.Path() / "check.out").string();
  const std::string cmd = "/usr/bin/python3 " + (rig.dir.Path() / "check.py").string() + " " +
                          (rig.dir.Path() / "scan.dxf").string() + " > " + out + " 2>&1";
  ASSERT_EQ(std::system(cmd.c_str()), 0) << rig.dir.Read("check.out");
  std::istringstream lines(rig.dir.Read("check.out"));
  std::string counts, first, last;
  std::getline(lines, counts);
  std::getline(lines, first);
  std::getline(lines, last);
  EXPECT_EQ(counts, "400 PROBEDATA");
  // Corner z values are the stored (negated) file values; x and y the grid in inches.
  auto z = [&](int64_t x, int64_t y) {
    for (const Point& p : points) {
      if (p.x == x && p.y == y && p.z != kRowEndMark) {
        std::ostringstream s;
        s.setf(std::ios::fixed);
        s.precision(3);
        s << static_cast<double>(-p.z) / 1000.0;
        return s.str();
      }
    }
    return std::string("?");
  };
  EXPECT_EQ(first, "0.000,0.000," + z(0, 0) + " 0.000,0.050," + z(0, 50) + " 0.050,0.050," + z(50, 50) +
                       " 0.050,0.000," + z(50, 0));
  EXPECT_EQ(last, "0.950,0.950," + z(950, 950) + " 0.950,1.000," + z(950, 1000) + " 1.000,1.000," +
                      z(1000, 1000) + " 1.000,0.950," + z(1000, 950));
}

TEST_F(ProbeScan, PauseHoldsBetweenTouchesAndResumeFinishesTheScan) {
  v.Xsize.SetCaption("0.5");
  v.Ysize.SetCaption("0.5");
  bool sawPaused = false;
  size_t recordsWhilePaused = 0;
  auto pause = At([&] { return probe.PointsDone == 30; }, [&] { probe.PauseProbe(); });
  int64_t pausedAtUs = 0;
  auto watch = At([&] { return v.Pause_probe.Caption() == "Paused!"; }, [&] {
    sawPaused = true;
    pausedAtUs = rig.loop.NowUs();
    recordsWhilePaused = ProbeRecords();
    // The console polls again while paused.
    EXPECT_TRUE(sys.link.UsbTimer().Enabled());
    EXPECT_EQ(v.Pause_probe.FontColor(), kRed);
  });
  auto resume = At([&] { return sawPaused && rig.loop.NowUs() - pausedAtUs > 5000000; }, [&] {
    EXPECT_EQ(ProbeRecords(), recordsWhilePaused);  // nothing moved for five seconds
    probe.PauseProbe();
  });
  ASSERT_TRUE(probe.StartProbe()) << v.Status.Caption();
  EXPECT_TRUE(sawPaused);
  EXPECT_EQ(recordsWhilePaused, 31u);  // the touch under way when Pause was clicked
  EXPECT_EQ(ProbeRecords(), 121u);
  EXPECT_EQ(ReadPoints(rig.dir).size(), 132u);
  EXPECT_EQ(v.Pause_probe.Caption(), "Pause");
}

TEST_F(ProbeScan, AbortMidRowEndsAfterTheTouchAndKeepsThePoints) {
  auto abort = At([&] { return probe.PointsDone == 30; }, [&] { probe.AbortProbe(); });
  EXPECT_FALSE(probe.StartProbe());
  EXPECT_EQ(ProbeRecords(), 31u);  // the touch under way when Abort was clicked ends
  const auto points = ReadPoints(rig.dir);
  ASSERT_EQ(points.size(), 33u);  // a full row and ten points, each row with its marker
  EXPECT_EQ(points[21].z, kRowEndMark);
  EXPECT_EQ(points.back().z, kRowEndMark);
  EXPECT_EQ(points.back().x, 50);
  EXPECT_FALSE(v.Dxf_save.Enabled());
  EXPECT_FALSE(v.Q3Dsave.Enabled());
  EXPECT_TRUE(v.Start_probe.Enabled());
  EXPECT_TRUE(sys.link.UsbTimer().Enabled());
}

TEST_F(ProbeScan, TheOperatorsStopEndsTheScanAtOnceAndNothingMovesAfterIt) {
  size_t stopAt = 0;
  auto stop = At([&] { return probe.PointsDone == 30 && (rig.sim.StateByte() & 0x08) != 0; }, [&] {
    stopAt = rig.sim.TraceRecords().size();
    sys.run.EmergencyStop();
  });
  EXPECT_FALSE(probe.StartProbe());
  rig.RunMs(2000);
  ASSERT_GT(stopAt, 0u);
  EXPECT_EQ(ProbeRecords(stopAt), 0u);
  EXPECT_EQ(rig.sim.StateByte() & 0x08, 0);  // the controller stands still
  EXPECT_EQ(v.Status.Caption(), "Probing stopped");
  EXPECT_FALSE(v.Dxf_save.Enabled());
  const auto points = ReadPoints(rig.dir);
  EXPECT_GE(points.size(), 31u);  // every point measured before the stop, and the marker
  EXPECT_EQ(points.back().z, kRowEndMark);

  // The next scan is new work: it may move the machine again.
  v.Xsize.SetCaption("0.05");
  v.Ysize.SetCaption("0.05");
  EXPECT_TRUE(probe.StartProbe()) << v.Status.Caption();
  EXPECT_EQ(ReadPoints(rig.dir).size(), 6u);
}

TEST_F(ProbeScan, ASilentControllerEndsTheScanWithinTheSilenceLimit) {
  int64_t deadAtUs = 0;
  auto dead = At([&] { return probe.PointsDone == 5; }, [&] {
    deadAtUs = rig.loop.NowUs();
    rig.sim.SetDeadLine(true);
  });
  EXPECT_FALSE(probe.StartProbe());
  EXPECT_EQ(v.Status.Caption(), "Controller not answering: probing ended");
  EXPECT_LT(rig.loop.NowUs() - deadAtUs, 5000000);
  EXPECT_EQ(ReadPoints(rig.dir).size(), 6u);
}

TEST_F(ProbeScan, ARowTooLongForTheBuffersIsRefusedBeforeAnyTouch) {
  v.Ysize.SetCaption("60");
  v.Grid_size.SetCaption("0.010");
  EXPECT_FALSE(probe.StartProbe());
  EXPECT_EQ(v.Status.Caption(), "Too many points in a row: at most 5990");
  EXPECT_EQ(ProbeRecords(), 0u);
  EXPECT_EQ(sys.console.State.Operation, LongOperation::None);
}

TEST_F(ProbeScan, PitchArrowsKeepToTheirRange) {
  v.Grid_size.SetCaption("0.250");
  probe.Grid_upClick();
  EXPECT_EQ(v.Grid_size.Caption(), "0.250");
  probe.Grid_downClick();
  EXPECT_EQ(v.Grid_size.Caption(), "0.245");
  v.Grid_size.SetCaption("0.010");
  probe.Grid_downClick();
  EXPECT_EQ(v.Grid_size.Caption(), "0.010");
  probe.Grid_upClick();
  EXPECT_EQ(v.Grid_size.Caption(), "0.015");
}

// Off the stock and with nothing below within reach, the probe never trips.
sim::SimOptions NoSurface() {
  sim::SimOptions o = ProbeSurfaceOptions();
  o.world.stockEdgeX = o.world.stockEdgeY = 300000;
  o.world.tableZ = 100000000;
  o.world.travelMax[sim::kZ] = 200000000;
  return o;
}

struct ProbeWithoutSurface : ProbeScan {
  ProbeWithoutSurface() : ProbeScan(NoSurface()) {}
};

TEST_F(ProbeWithoutSurface, AProbeThatNeverTouchesEndsTheScanAndStopsTheMachine) {
  EXPECT_FALSE(probe.StartProbe());
  EXPECT_EQ(v.Status.Caption(), "Probe did not touch");
  rig.RunMs(1000);
  EXPECT_EQ(rig.sim.StateByte() & 0x08, 0);  // the controller stands still
  EXPECT_EQ(ReadPoints(rig.dir).size(), 0u);  // the travel limit is no surface point
}

}  // namespace
}  // namespace wendlar::testing
