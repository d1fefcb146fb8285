// The digitiser window and the touch-off entries of the console, as the operator meets them
// with --simulator: the window opens from the menu, stays on top, scans and offers the saves;
// the Touch Pad button asks first. WENDLAR_SHOTS_DIR, when set, receives pictures of the
// window during and after a scan and a drawing of a scanned surface.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <QPolygonF>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "link/serial/InProcessSerialPort.h"
#include "sim/SimController.h"
#include "support/ScriptedPrompts.h"
#include "support/SimSystem.h"
#include "support/TempDir.h"
#include "system/System.h"
#include "tools/ProbeFiles.h"
#include "ui/Gui.h"
#include "ui/QtEventLoop.h"
#include "ui/Shots.h"
#include "ui_Spool.h"
#include "ui_TProbeBox.h"

namespace wendlar::ui {
namespace {

TEST(ProbeWindow, ScansFromTheWindowWithTheSimulatorAndTheTouchPadButtonAsksFirst) {
  testing::TempDir home;
  QtEventLoop loop;
  sim::SimController controller(loop, testing::ProbeSurfaceOptions());
  InProcessSerialPort ports(loop, controller, kFirstDevicePort);
  testing::ScriptedPrompts prompts;
  std::ostringstream out;
  System sys(loop, ports, prompts, HomeDir(home.Path()), out);
  Gui gui(sys);
  gui.Start();
  gui.AutoConnectTo(kFirstDevicePort);
  ASSERT_TRUE(loop.WaitUntil([&] { return sys.console.View.Progress.Caption() == "Ready"; }, 60000));

  ProbeWindow& w = gui.Probe();
  EXPECT_TRUE(w.Binding().Unbound().empty()) << w.Binding().Unbound().front();
  EXPECT_FALSE(w.isVisible());
  gui.Console().Form().N3DProbeMenu1->trigger();
  ASSERT_TRUE(w.isVisible());
  EXPECT_EQ(w.windowTitle(), "3D Digitizer Probe");
  EXPECT_TRUE(w.windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_FALSE(w.Form().Dxf_save->isEnabled());
  EXPECT_FALSE(w.Form().Pause_probe->isEnabled());

  // A small area, typed into the window: 0.1 x 0.1 at 0.05 is three rows of three.
  for (QLineEdit* e : {w.Form().Xsize, w.Form().Ysize}) {
    e->selectAll();
    QTest::keyClicks(e, "0.1");
  }
  w.Form().XYvel->setValue(60);
  w.Form().Zvel->setValue(60);
  bool shotDuring = false;
  auto during = sys.loop.CreateTimer(20, true, [&] {
    if (shotDuring || sys.probe.PointsDone < 4) return;
    shotDuring = true;
    EXPECT_TRUE(w.Form().Pause_probe->isEnabled());
    EXPECT_FALSE(w.Form().Start_probe->isEnabled());
    SaveShot(&w, "probe-scanning.png");
  });
  QTest::mouseClick(w.Form().Start_probe, Qt::LeftButton);
  ASSERT_TRUE(loop.WaitUntil([&] { return w.Form().Status->text() == "Done Probing"; }, 120000))
      << w.Form().Status->text().toStdString();
  during.reset();
  EXPECT_TRUE(shotDuring);
  EXPECT_EQ(sys.probe.PointsDone, 9);
  EXPECT_TRUE(w.Form().Dxf_save->isEnabled());
  EXPECT_TRUE(w.Form().Q3Dsave->isEnabled());
  QTest::mouseClick(w.Form().Q3Dsave, Qt::LeftButton);
  EXPECT_EQ(w.Form().Row_count->text(), "Points per row: 3");
  EXPECT_TRUE(home.Exists(kQ3dDefaultName));
  SaveShot(&w, "probe-done.png");
  QTest::mouseClick(w.Form().Close_probe, Qt::LeftButton);
  EXPECT_FALSE(w.isVisible());

  // The Touch Pad button, enabled by the touch pad option: Cancel leaves the machine alone.
  sys.console.View.Touch.SetEnabled(true);
  const size_t before = controller.TraceRecords().size();
  prompts.Answers.push_back(false);
  QTest::mouseClick(gui.Console().Form().Touch, Qt::LeftButton);
  (void)loop.WaitUntil([&] { return !prompts.Asked.empty(); }, 2000);
  ASSERT_FALSE(prompts.Asked.empty());
  EXPECT_EQ(prompts.Asked.back(), "yes/cancel: Tool Touch off, Are you sure ?");
  for (size_t i = before; i < controller.TraceRecords().size(); ++i) {
    EXPECT_NE(controller.TraceRecords()[i].bytes[0], 62) << "a touch was sent after Cancel";
  }
}

// Draws the facets of a scan of the simulated surface (tilt and bump) in an oblique view.
TEST(ProbeWindow, DrawsTheScannedSurface) {
  testing::SimSystem rig(testing::ProbeSurfaceOptions());
  ASSERT_TRUE(rig.ConnectAndInitialise());
  ASSERT_TRUE(rig.sys->probe.StartProbe());
  ASSERT_TRUE(SaveFacets(rig.sys->home, "scan.q3d").ok);
  std::istringstream in(rig.dir.Read("scan.q3d"));
  struct Corner { double x, y, z; };
  std::vector<std::array<Corner, 4>> faces;
  std::array<Corner, 4> face{};
  int code = 0, n = 0;
  double x = 0, y = 0, z = 0;
  while (in >> code >> x >> y >> z) {
    face[static_cast<size_t>(n++)] = Corner{x, y, z};
    if (n == 4) {
      faces.push_back(face);
      n = 0;
    }
  }
  ASSERT_EQ(faces.size(), 400u);
  double zMin = 1e9, zMax = -1e9;
  for (const auto& f : faces) {
    for (const auto& c : f) {
      zMin = std::min(zMin, c.z);
      zMax = std::max(zMax, c.z);
    }
  }
  ASSERT_GT(zMax, zMin);
  QImage image(640, 420, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  // Oblique projection, Z exaggerated so the bump and the tilt show.
  auto at = [&](const Corner& c) {
    const double zs = (c.z - zMin) / (zMax - zMin) * 120;
    return QPointF(50 + c.x * 0.32 + c.y * 0.22, 360 - c.y * 0.18 + c.x * 0.05 - zs);
  };
  // Far rows first, so nearer facets cover them.
  std::sort(faces.begin(), faces.end(), [](const auto& a, const auto& b) { return a[0].y > b[0].y; });
  for (const auto& f : faces) {
    const double t = ((f[0].z + f[1].z + f[2].z + f[3].z) / 4 - zMin) / (zMax - zMin);
    p.setBrush(QColor::fromHsvF(0.66 * (1 - t), 0.6, 0.95));
    p.setPen(QPen(QColor(60, 60, 60), 0.6));
    p.drawPolygon(QPolygonF({at(f[0]), at(f[1]), at(f[2]), at(f[3])}));
  }
  p.setPen(Qt::black);
  p.drawText(12, 20, "Simulated stock: 1 x 1 inch at pitch 0.05, 400 facets (Z exaggerated)");
  p.end();
  if (const char* dir = std::getenv("WENDLAR_SHOTS_DIR")) {
    EXPECT_TRUE(image.save(QString::fromStdString((std::filesystem::path(dir) / "probe-surface.png").string())));
  }
}

}  // namespace
}  // namespace wendlar::ui
