// The tool changer and diagnostics windows as the operator meets them: opened from the
// console's Setup menu, every control bound, and against the simulated controller the
// buttons fill their lists. The console's dead Diag entries are gone and the timer entries
// are live. WENDLAR_SHOTS_DIR, when set, receives a picture of each window.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <sstream>

#include "link/serial/InProcessSerialPort.h"
#include "sim/SimController.h"
#include "support/ScriptedPrompts.h"
#include "support/TempDir.h"
#include "system/System.h"
#include "ui/Gui.h"
#include "ui/QtEventLoop.h"
#include "ui_Spool.h"
#include "ui_TC_menu.h"
#include "ui_Test.h"
#include "Shots.h"

namespace wendlar::ui {
namespace {

QStringList Items(QListWidget* list) {
  QStringList items;
  for (int i = 0; i < list->count(); ++i) items << list->item(i)->text();
  return items;
}

struct ServiceDesk {
  ServiceDesk() : controller(loop), ports(loop, controller, kFirstDevicePort) {
    gui.Start();
    gui.AutoConnectTo(kFirstDevicePort);
  }
  bool Ready() {
    return loop.WaitUntil([&] { return sys.console.View.Progress.Caption() == "Ready"; }, 60000);
  }

  testing::TempDir home;
  QtEventLoop loop;
  sim::SimController controller;
  InProcessSerialPort ports;
  testing::ScriptedPrompts prompts;
  std::ostringstream out;
  System sys{loop, ports, prompts, HomeDir(home.Path()), out};
  Gui gui{sys};
};

TEST(ServiceWindows, OpenFromTheSetupMenuAndTheDiagMenuKeepsOnlyLiveEntries) {
  ServiceDesk d;
  Ui::Spool& console = d.gui.Console().Form();
  for (const char* dead : {"ListSpoolfile1", "Aux2On1", "Aux2Off1", "ListVelcurve1", "Setinterfacemode1"}) {
    EXPECT_EQ(d.gui.Console().findChild<QAction*>(dead), nullptr) << dead;
  }
  for (const char* live : {"EnableTimer1", "StopTimer1", "Toolchangemode1", "Diagnostics1"}) {
    EXPECT_FALSE(d.gui.Console().Binding().IsInert(live)) << live;
  }

  ToolChangerWindow& tc = d.gui.ToolChanger();
  ASSERT_TRUE(tc.Binding().Unbound().empty()) << "missing: " << tc.Binding().Unbound().front();
  EXPECT_FALSE(tc.isVisible());
  console.Toolchangemode1->trigger();
  EXPECT_TRUE(tc.isVisible());
  EXPECT_EQ(tc.windowTitle(), "Tool Changer menu");
  EXPECT_EQ(tc.pos(), QPoint(50, 50));
  EXPECT_EQ(tc.Form().spin1->value(), 6);
  EXPECT_EQ(tc.Form().SpinEdit1->value(), 180);
  EXPECT_EQ(tc.Form().Read_tc->text(), "Let_timer_readtc");

  DiagnosticsWindow& dw = d.gui.Diagnostics();
  ASSERT_TRUE(dw.Binding().Unbound().empty()) << "missing: " << dw.Binding().Unbound().front();
  console.Diagnostics1->trigger();
  EXPECT_TRUE(dw.isVisible());
  EXPECT_EQ(dw.windowTitle(), "Diagnostics");
  EXPECT_FALSE(console.Diag1->menuAction()->isVisible());
  dw.Form().ShowDebugmenu1->trigger();
  EXPECT_TRUE(console.Diag1->menuAction()->isVisible());
  EXPECT_TRUE(dw.Form().ShowDebugmenu1->isChecked());
  dw.Form().Closeit->click();
  EXPECT_FALSE(dw.isVisible());
}

TEST(ServiceWindows, AgainstTheSimulatorTheButtonsFillTheirLists) {
  ServiceDesk d;
  ASSERT_TRUE(d.Ready());

  d.sys.diagnostics.Show();
  DiagnosticsWindow& dw = d.gui.Diagnostics();
  EXPECT_EQ(dw.Form().Pic_version->text(), "Processor Version 110");
  dw.Form().Read_Vars->click();
  ASSERT_TRUE(d.loop.WaitUntil([&] { return dw.Form().vars->count() == 11; }, 5000));
  EXPECT_EQ(dw.Form().vars->item(0)->text(), "Three      3");
  // The test runs inside the window's own pumping; Stoptest is clicked from there.
  bool runWasOff = false;
  QTimer::singleShot(300, [&] {
    runWasOff = !dw.Form().Datatrans->isEnabled();
    dw.Form().Stoptest->click();
  });
  dw.Form().Datatrans->click();
  ASSERT_TRUE(d.loop.WaitUntil([&] { return runWasOff && dw.Form().Datatrans->isEnabled(); }, 5000));
  EXPECT_EQ(dw.Form().Errors_lab->text(), "Errors 0");
  EXPECT_TRUE(dw.Form().Blocks_lab->text().startsWith("Blocks sent "));
  SaveShot(&dw, "diagnostics.png");
  QTest::mouseDClick(dw.Form().vars->viewport(), Qt::LeftButton);
  EXPECT_EQ(dw.Form().vars->count(), 0);

  d.sys.toolChanger.Show();
  ToolChangerWindow& tc = d.gui.ToolChanger();
  tc.Form().Rdbit->click();  // spin1 6: input line 6, which reads 0
  tc.Form().Send_Spi->click();
  tc.Form().Read_tc->click();
  ASSERT_TRUE(d.loop.WaitUntil([&] { return tc.Form().vars1->count() == 5; }, 5000));
  EXPECT_EQ(Items(tc.Form().vars1).front(), "   1");
  tc.Form().Button1->click();
  ASSERT_TRUE(d.loop.WaitUntil([&] { return tc.Form().TC_message->text() == "Spindle is Stopped "; }, 10000));
  SaveShot(&tc, "tool-changer.png");
}

}  // namespace
}  // namespace wendlar::ui
