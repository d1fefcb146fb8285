// The desktop console against the simulated controller in real time, as a person would
// run it with --simulator: it connects by itself, initialises, jogs on Alt-arrows, runs a
// program to the end, and stops a run from the STOP button while it moves.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "link/serial/InProcessSerialPort.h"
#include "sim/SimController.h"
#include "support/ScriptedPrompts.h"
#include "support/TempDir.h"
#include "system/System.h"
#include "ui/Gui.h"
#include "ui/QtEventLoop.h"
#include "Shots.h"
#include "ui_Spool.h"

namespace wendlar::ui {
namespace {

TEST(ConsoleWithSimulator, ConnectsJogsRunsAJobAndStopsOne) {
  testing::TempDir home;
  QtEventLoop loop;
  sim::SimController controller(loop);
  InProcessSerialPort ports(loop, controller, kFirstDevicePort);
  testing::ScriptedPrompts prompts;
  std::ostringstream out;
  System sys(loop, ports, prompts, HomeDir(home.Path()), out);
  Gui gui(sys);
  gui.Start();
  gui.AutoConnectTo(kFirstDevicePort);

  ConsoleWindow& w = gui.Console();
  EXPECT_TRUE(gui.Usb().isVisible()) << "the first show opens the connection window";
  ASSERT_TRUE(loop.WaitUntil([&] { return sys.console.View.Progress.Caption() == "Ready"; }, 60000))
      << "Progress reads \"" << sys.console.View.Progress.Caption() << "\", messages: "
      << sys.link.View().Msg_list.Items().size();
  EXPECT_TRUE(sys.link.Connected);
  EXPECT_EQ(w.Form().Progress->text(), "Ready");
  EXPECT_FALSE(gui.Usb().isVisible()) << "a successful connection closes the connection window";
  EXPECT_TRUE(prompts.Asked.empty()) << prompts.Asked.front();

  QApplication::setActiveWindow(&w);
  QWidget* target = QApplication::focusWidget() != nullptr ? QApplication::focusWidget() : &w;
  const int64_t startX = controller.MachinePosition()[0];
  QTest::keyPress(target, Qt::Key_Right, Qt::AltModifier);
  (void)loop.WaitUntil([] { return false; }, 400);
  QTest::keyRelease(target, Qt::Key_Right, Qt::AltModifier);
  (void)loop.WaitUntil([] { return false; }, 300);
  const int64_t stoppedX = controller.MachinePosition()[0];
  EXPECT_GT(stoppedX, startX) << "Alt+Right jogs X the positive way";
  (void)loop.WaitUntil([] { return false; }, 300);
  EXPECT_EQ(controller.MachinePosition()[0], stoppedX) << "releasing the key stopped the jog";
  // The read-out follows the machine while the window stays live.
  EXPECT_NE(w.Form().XPOS->text(), "0.000\"");

  // A jog button held down, then hidden before its release: the jog still stops.
  const int64_t startY = controller.MachinePosition()[1];
  QTest::mousePress(w.Form().Y_Pos, Qt::LeftButton);
  (void)loop.WaitUntil([] { return false; }, 400);
  sys.console.ShowJogButtons(false);
  (void)loop.WaitUntil([] { return false; }, 300);
  const int64_t lostY = controller.MachinePosition()[1];
  EXPECT_GT(lostY, startY) << "Y+ jogged";
  (void)loop.WaitUntil([] { return false; }, 300);
  EXPECT_EQ(controller.MachinePosition()[1], lostY) << "hiding the held button stopped the jog";
  QTest::mouseRelease(w.Form().Y_Pos, Qt::LeftButton);
  sys.console.ShowJogButtons(true);

  // A short program (the demo cuts for a minute), chosen through the file dialog and run
  // from the Run panel.
  home.Write("short.nc", "G20 G90\r\nG1 X0.2 F60\r\nG1 Y0.1\r\nM30\r\n");
  home.Write("long.nc", "G20 G90\r\nG1 X6 F20\r\nM30\r\n");
  w.Form().GcodeMode1->trigger();
  ASSERT_TRUE(w.Form().OpenGcodefile1->isEnabled());
  prompts.Paths.push_back((home.Path() / "short.nc").string());
  w.Form().OpenGcodefile1->trigger();
  ASSERT_TRUE(w.Form().Run_button->isEnabled()) << sys.console.View.Progress.Caption();
  // A file is ready: Preview opens the toolpath viewer.
  EXPECT_TRUE(sys.console.View.Preview.Enabled());
  EXPECT_TRUE(w.Form().Preview->isEnabled());

  const std::vector<std::string>& history = sys.jumpbox.View.Fault_list.Items();
  auto completed = [&] {
    return std::count_if(history.begin(), history.end(),
                         [](const std::string& line) { return line.find("Completed") != std::string::npos; });
  };
  QTest::mouseClick(w.Form().Run_button, Qt::LeftButton);
  ASSERT_TRUE(loop.WaitUntil([&] { return completed() == 1; }, 120000)) << "history lines: " << history.size();
  EXPECT_TRUE(loop.WaitUntil([&] { return w.Form().Running->text() == "Local"; }, 10000))
      << w.Form().Running->text().toStdString();
  EXPECT_EQ(controller.Overruns(), 0u);
  // The job's time shows again once it is over.
  EXPECT_TRUE(loop.WaitUntil([&] { return w.Form().Job_time->text().startsWith("about"); }, 10000))
      << w.Form().Job_time->text().toStdString();

  SaveShot(&w, "console-completed.png");

  // A long move, paused and then stopped: the buttons answer while the job runs.
  prompts.Paths.push_back((home.Path() / "long.nc").string());
  w.Form().OpenGcodefile1->trigger();
  ASSERT_TRUE(loop.WaitUntil([&] { return w.Form().Run_button->isEnabled(); }, 10000));
  const int64_t beforeLongX = controller.MachinePosition()[0];
  bool stopPressed = false;
  QTimer::singleShot(700, [&] {
    SaveShot(&w, "console-running.png");
    QTest::mousePress(w.Form().Pausebut, Qt::LeftButton);
    QTest::mouseRelease(w.Form().Pausebut, Qt::LeftButton);
  });
  QTimer::singleShot(1300, [&] { SaveShot(&w, "console-paused.png"); });
  QTimer::singleShot(1500, [&] {
    stopPressed = true;
    QTest::mousePress(w.Form().Estopbut, Qt::LeftButton);
    QTest::mouseRelease(w.Form().Estopbut, Qt::LeftButton);
  });
  QTest::mouseClick(w.Form().Run_button, Qt::LeftButton);
  ASSERT_TRUE(loop.WaitUntil([&] { return stopPressed && !controller.JobRunning(); }, 30000));
  EXPECT_EQ(sys.flags.AbortRun, 1);
  const int64_t stoppedAt = controller.MachinePosition()[0];
  (void)loop.WaitUntil([] { return false; }, 300);
  EXPECT_EQ(controller.MachinePosition()[0], stoppedAt) << "the machine stands after the stop";
  EXPECT_GT(stoppedAt, beforeLongX) << "it had started to move";
  const double fullMoveSteps = 6.0 * 1000 * sys.config.Config.Xscale;
  EXPECT_LT(static_cast<double>(stoppedAt - beforeLongX), fullMoveSteps / 2) << "it stopped well before the end";
  EXPECT_TRUE(loop.WaitUntil([&] { return w.Form().Run_button->isEnabled(); }, 5000))
      << "after a stop the file is ready to run again";
  SaveShot(&w, "console-stopped.png");
}

}  // namespace
}  // namespace wendlar::ui
