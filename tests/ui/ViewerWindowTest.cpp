// The toolpath viewer as the operator meets it: opened by Preview on a loaded job, stepped,
// scrubbed with the slider, rewound, rotated, panned and zoomed with the mouse.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QWheelEvent>

#include "Desk.h"
#include "support/ChildProcess.h"
#include "ui/Shots.h"
#include "ui_Spool.h"

namespace wendlar::ui {
namespace {

namespace fs = std::filesystem;

// The desk with the viewer's read-outs and buttons at hand.
struct ViewerDesk : Desk {
  QString Text(const char* name) { return gui.Viewer().findChild<QLabel*>(name)->text(); }
  QPushButton* Button(const char* name) { return gui.Viewer().findChild<QPushButton*>(name); }
  // Opens the job as the console does and presses Preview.
  void Preview(const fs::path& job, bool spool) {
    sys.consoleSettings.ChooseJobMode(spool ? 1 : 2);
    ASSERT_TRUE(spool ? sys.run.ChooseSpoolFile(job.string()) : sys.run.PrepareGcodeFile(job.string()));
    Settle();
    QWidget* preview = gui.Console().Form().Preview;
    ASSERT_TRUE(preview->isEnabled());
    QTest::mouseClick(preview, Qt::LeftButton);
    Settle();
  }
};

TEST(ViewerWindow, PreviewOpensTheJobStepsScrubsAndRewinds) {
  ViewerDesk d;
  ViewerWindow& w = d.gui.Viewer();
  EXPECT_TRUE(w.Binding().Unbound().empty()) << w.Binding().Unbound().front();
  d.home.Write("job.nc", "G20 G90\nG0 Z0.5\nG0 X1 Y2\nG1 Z-0.1 F30\nG1 X2 F60\nG1 Y3\nG0 Z0.5\nM30\n");
  d.Preview(d.home.Path() / "job.nc", false);
  ASSERT_TRUE(w.isVisible());
  EXPECT_EQ(d.Text("Xsize_lab"), "X size  2.000");
  EXPECT_EQ(d.Text("Zsize_lab"), "Z size  0.600");
  EXPECT_EQ(d.Text("Tot_lines"), "Total Lines 8");
  EXPECT_EQ(d.Text("Cur_line_lab"), "Current Line 8");
  EXPECT_EQ(d.Text("L5"), "M30");
  EXPECT_GT(w.Canvas().LastDrawn(), 0u);

  d.Button("Rewind")->click();
  d.Button("Step_it")->click();
  d.Button("Step_it")->click();
  Desk::Settle();
  EXPECT_EQ(d.Text("Cur_line_lab"), "Current Line 3");
  EXPECT_EQ(d.Text("Xpos_lab"), "X pos  1.000");
  EXPECT_EQ(w.findChild<QSlider*>("Horiz_bar")->value(), 0);

  w.findChild<QSlider*>("Horiz_bar")->setValue(625);  // line 5
  Desk::Settle();
  EXPECT_EQ(d.Text("Cur_line_lab"), "Current Line 5");
  EXPECT_EQ(d.Text("Xpos_lab"), "X pos  2.000");
  EXPECT_EQ(d.Text("Zpos_lab"), "Z pos -0.100");

  d.Button("Run_it")->click();
  Desk::Settle();
  EXPECT_TRUE(w.findChild<QWidget*>("Restart_pan")->isVisible());
  EXPECT_EQ(d.Text("XY_go"), "X 2.000     Y 2.000");
  d.Button("Cancel_go")->click();
  Desk::Settle();
  EXPECT_FALSE(w.findChild<QWidget*>("Restart_pan")->isVisible());

  d.Button("Cancel_jump")->click();
  Desk::Settle();
  EXPECT_FALSE(w.isVisible());
  EXPECT_FALSE(d.sys.engines.ResumePending);
}

TEST(ViewerWindow, MouseRotatesPansAndZooms) {
  ViewerDesk d;
  ViewerWindow& w = d.gui.Viewer();
  d.Preview(testing::ExamplesDir() / "demo.nc", false);
  ASSERT_TRUE(w.isVisible());
  ViewerCanvas& canvas = w.Canvas();
  const ViewerCamera& cam = d.sys.viewer.Camera;

  QTest::mousePress(&canvas, Qt::LeftButton, {}, QPoint(200, 200));
  for (int x = 195; x >= 175; x -= 5) {
    QMouseEvent move(QEvent::MouseMove, QPointF(x, 190), canvas.mapToGlobal(QPointF(x, 190)), Qt::NoButton,
                     Qt::LeftButton, {});
    QCoreApplication::sendEvent(&canvas, &move);
  }
  // The coarser picture while the mouse moves, the full one once it rests.
  EXPECT_TRUE(canvas.Dragging());
  QTRY_VERIFY_WITH_TIMEOUT(!canvas.Dragging(), 2000);
  QTest::mouseRelease(&canvas, Qt::LeftButton, {}, QPoint(175, 190));
  EXPECT_EQ(cam.XYViewAngle, 205);  // five moves to the left
  EXPECT_EQ(cam.ZViewAngle, 21);    // one move up
  EXPECT_EQ(d.Text("Angle_lab"), "XY view angle 205 Z view angle 21");

  QTest::mousePress(&canvas, Qt::RightButton, {}, QPoint(100, 100));
  QMouseEvent pan(QEvent::MouseMove, QPointF(130, 90), canvas.mapToGlobal(QPointF(130, 90)), Qt::NoButton,
                  Qt::RightButton, {});
  QCoreApplication::sendEvent(&canvas, &pan);
  QTest::mouseRelease(&canvas, Qt::RightButton, {}, QPoint(130, 90));
  EXPECT_EQ(cam.PanOffsetX, 30);
  EXPECT_EQ(cam.PanOffsetY, -10);

  const double before = cam.ScreenScale;
  for (int i = 0; i < 5; ++i) {
    QWheelEvent wheel(QPointF(50, 50), canvas.mapToGlobal(QPointF(50, 50)), QPoint(), QPoint(0, 120), Qt::NoButton,
                      {}, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(&canvas, &wheel);
  }
  EXPECT_DOUBLE_EQ(cam.ScreenScale, before * 1.1);

  d.Button("Button1")->click();
  Desk::Settle();
  EXPECT_EQ(cam.PanOffsetX, 0);
  SaveShot(&w, "viewer-demo.png");
}

TEST(ViewerWindow, SpoolerJobPlaysBackToTheEnd) {
  ViewerDesk d;
  ViewerWindow& w = d.gui.Viewer();
  d.Preview(testing::ExamplesDir() / "demo.vrj", true);
  ASSERT_TRUE(w.isVisible());
  d.Button("Start_timer")->click();
  Desk::Settle();
  EXPECT_EQ(d.Button("Start_timer")->text(), "Running");
  EXPECT_TRUE(w.Timer1().isActive());
  const int total = d.sys.viewer.Path.TotalLines();
  QTRY_VERIFY_WITH_TIMEOUT(!w.Timer1().isActive(), 40 * total + 5000);
  EXPECT_EQ(d.Button("Start_timer")->text(), "Start");
  EXPECT_EQ(d.Text("Cur_line_lab"), QString("Current Line %1").arg(total));
  SaveShot(&w, "viewer-spool.png");
}

TEST(ViewerWindow, ARealProgramOpensWhole) {
  const fs::path job = testing::CorpusDir() / "cam_flower_mold_inch.nc";
  if (!fs::exists(job)) GTEST_SKIP() << "no corpus at " << job;
  ViewerDesk d;
  ViewerWindow& w = d.gui.Viewer();
  d.Preview(job, false);
  ASSERT_TRUE(w.isVisible());
  EXPECT_GT(d.sys.viewer.Path.Points().size(), 1000u);
  EXPECT_EQ(d.sys.viewer.ViewLine, d.sys.viewer.Path.TotalLines());
  EXPECT_FALSE(w.findChild<QWidget*>("Load_bar")->isVisible());
  SaveShot(&w, "viewer-corpus.png");
}

TEST(ViewerWindow, AProgramWithThreeToolsShowsTheirColours) {
  const fs::path job = testing::CorpusDir() / "cam_botomata_g10.nc";
  if (!fs::exists(job)) GTEST_SKIP() << "no corpus at " << job;
  ViewerDesk d;
  ViewerWindow& w = d.gui.Viewer();
  d.Preview(job, false);
  ASSERT_TRUE(w.isVisible());
  const QImage picture = w.Canvas().grab().toImage();
  auto pixels = [&picture](Color pen) {
    const QRgb want = ToQColor(pen).rgb();
    int n = 0;
    for (int y = 0; y < picture.height(); ++y) {
      for (int x = 0; x < picture.width(); ++x) n += picture.pixel(x, y) == want ? 1 : 0;
    }
    return n;
  };
  EXPECT_GT(pixels(kBlue), 100);  // tool 1
  EXPECT_GT(pixels(kLime), 100);  // tool 2
  EXPECT_GT(pixels(kRed), 100);   // tool 3
  EXPECT_EQ(d.Text("Cur_tool_lab"), "Tool # 3");
  SaveShot(&w, "viewer-tools.png");
}

}  // namespace
}  // namespace wendlar::ui
