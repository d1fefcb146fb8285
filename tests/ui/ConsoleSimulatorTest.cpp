// The desktop console against the simulated controller in real time, as a person would
// run it with --simulator: it connects by itself, initialises, and jogs on Alt-arrows.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>

#include <sstream>

#include "link/serial/InProcessSerialPort.h"
#include "sim/SimController.h"
#include "support/ScriptedPrompts.h"
#include "support/TempDir.h"
#include "system/System.h"
#include "ui/Gui.h"
#include "ui/QtEventLoop.h"
#include "ui_Spool.h"

namespace wendlar::ui {
namespace {

TEST(ConsoleWithSimulator, ConnectsInitialisesAndJogsOnAltArrows) {
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
}

}  // namespace
}  // namespace wendlar::ui
