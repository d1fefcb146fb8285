// What the console shows before Run when a job would outrun the link: the warning in the
// message list, on the window the operator looks at.
#include <gtest/gtest.h>

#include <QListWidget>

#include <fstream>
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

TEST(ConsoleWithSimulator, AJobFasterThanTheLinkIsWarnedOfInTheMessageList) {
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
  ASSERT_TRUE(loop.WaitUntil([&] { return sys.console.View.Progress.Caption() == "Ready"; }, 60000));

  {
    std::ofstream p(home.Path() / "tiny.nc");
    p << "G20 G90\nG0 X1 Y1 Z0.1\nG1 Z-0.01 F20\nG1 F300\n";
    for (int i = 1; i <= 3000; ++i) p << "X" << 1 + i * 0.001 << "\n";
    p << "G0 Z0.1\nM30\n";
  }
  w.Form().GcodeMode1->trigger();
  prompts.Paths.push_back((home.Path() / "tiny.nc").string());
  w.Form().OpenGcodefile1->trigger();
  ASSERT_TRUE(sys.engines.PreflightJob());
  (void)loop.WaitUntil([] { return false; }, 300);

  QListWidget* list = w.Form().Com_list;
  QStringList shown;
  for (int i = 0; i < list->count(); ++i) shown << list->item(i)->text();
  EXPECT_TRUE(shown.filter("The job may outrun the link (the motion would stutter): lines ").size() == 1)
      << shown.join("\n").toStdString();
  EXPECT_TRUE(shown.filter("Feed the link sustains at lines ").size() == 1) << shown.join("\n").toStdString();
  SaveShot(&w, "console-link-rate.png");
}

}  // namespace
}  // namespace wendlar::ui
