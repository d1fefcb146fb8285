// The console and its windows as the operator meets them: every documented control by its
// name and caption, the menus and shortcuts, a layout where nothing overlaps or is cut
// off, keys that reach the console before its controls, and one running copy only.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QPushButton>
#include <QTest>

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <map>
#include <sstream>

#include "core/InstanceLock.h"
#include "link/serial/InProcessSerialPort.h"
#include "support/ScriptedPrompts.h"
#include "support/TempDir.h"
#include "system/System.h"
#include "ui/ConsoleLayout.h"
#include "ui/Gui.h"
#include "ui/PanelButton.h"
#include "ui/QtEventLoop.h"
#include "ui/QtPrompts.h"
#include "ui_Coordinates.h"
#include "ui_Spool.h"
#include "ui_USBmodule.h"

namespace wendlar::ui {
namespace {

// One System on the Qt loop with no serial ports, and its windows; its own program
// folder unless it is given one.
struct Desk {
  Desk() : Desk(std::filesystem::path{}) {}
  explicit Desk(const std::filesystem::path& folder) : dir(folder.empty() ? home.Path() : folder) {}
  testing::TempDir home;
  std::filesystem::path dir;
  QtEventLoop loop;
  InProcessSerialPort ports{loop};
  QtPrompts prompts;
  std::ostringstream out;
  System sys{loop, ports, prompts, HomeDir(dir), out};
  Gui gui{sys};
};

QString TextOf(QObject* o) {
  if (auto* l = qobject_cast<QLabel*>(o)) return l->text();
  if (auto* b = qobject_cast<QAbstractButton*>(o)) return b->text();
  if (auto* a = qobject_cast<QAction*>(o)) return a->text();
  if (auto* m = qobject_cast<QMenu*>(o)) return m->title();
  return {};
}

TEST(ConsoleWindow, EveryControlOfTheModelHasItsWidgetWithTheDocumentedCaption) {
  Desk d;
  ConsoleWindow& w = d.gui.Console();
  EXPECT_TRUE(w.Binding().Unbound().empty()) << "first missing: " << w.Binding().Unbound().front();
  EXPECT_TRUE(d.gui.Usb().Binding().Unbound().empty()) << d.gui.Usb().Binding().Unbound().front();
  EXPECT_TRUE(d.gui.Coordinates().Binding().Unbound().empty()) << d.gui.Coordinates().Binding().Unbound().front();

  const std::map<std::string, QString> captions = {
      {"Running", "Not connected"}, {"Micros", "SXYZWL"}, {"ILOCK", " DOOR"}, {"ServoF_Lab", "Servo Fault"},
      {"Run_button", "Run"}, {"Pausebut", "Pause"}, {"Run_Border", "Run around Border"},
      {"Move_2_XY", "Move to XY Position"}, {"Set_New_XY", "Set  XY Position"}, {"Zero_Z2_Work", "Set New Z Position"},
      {"Z_zero", "Z to Zero"}, {"Z_2top", "Z to Safe"}, {"Preview", "Preview / Preset"}, {"User_mach", "U"},
      {"Continue", "M00 detected, Press to Continue"}, {"JogSpdbut", "F"}, {"Touch", "Touch Pad"},
      {"Work_offset_but", "Fixture 1"}, {"Button1", "ON"}, {"Button3", "OFF"}, {"fv50", "Feed"}, {"fv100", "100%"},
      {"Volt_good", "Cutting"}, {"Material", "Material"}, {"fakexn", "X-"}, {"fakexp", "X+"}, {"fakeyn", "Y-"},
      {"fakeyp", "Y+"}, {"fakezp", "Z+"}, {"fakezn", "Z-"}};
  for (const auto& [name, caption] : captions) {
    QObject* target = w.Binding().Target(name);
    ASSERT_NE(target, nullptr) << name;
    EXPECT_EQ(TextOf(target), caption) << name;
  }
  const std::map<std::string, QString> hints = {
      {"Running", "Click to Reset"}, {"Micros", "Inputs"}, {"Progcnt_lab", "Ran / Sent"}, {"Gauge1", "Buffer ram"},
      {"Use_feed", "Use Feed on screen"}, {"Pierce_delay", "In Seconds"}, {"Set_current", "Manually set on Plasma"}};
  for (const auto& [name, hint] : hints) {
    EXPECT_EQ(qobject_cast<QWidget*>(w.Binding().Target(name))->toolTip(), hint) << name;
  }
  auto edit = [&](const char* name) { return qobject_cast<QLineEdit*>(w.Binding().Target(name))->text(); };
  EXPECT_EQ(edit("pierce_height"), "0.100");
  EXPECT_EQ(edit("Pierce_delay"), "0.25");
  EXPECT_EQ(edit("Plasma_feed"), "50");
  EXPECT_EQ(edit("Set_current"), "40");
  EXPECT_EQ(edit("THC_voltage"), "160");
  EXPECT_EQ(w.Form().pwm_on->value(), 10);
  EXPECT_EQ(w.Form().pwm_on->maximum(), 255);
  EXPECT_EQ(w.Form().pwm_on->singleStep(), 5);
  EXPECT_EQ(w.Form().Gauge1->orientation(), Qt::Vertical);
  EXPECT_TRUE(qobject_cast<PanelButton*>(w.Binding().Target("Run_button")) != nullptr);

  // Hidden and disabled at creation as documented.
  for (const char* hidden : {"Continue", "ServoF_Lab", "Plasma_Top_panel", "Laser_Box", "W_pan1", "W_pan2", "W_Pos",
                             "W_Neg", "Com_list", "fakexn", "ILOCK"}) {
    EXPECT_TRUE(qobject_cast<QWidget*>(w.Binding().Target(hidden))->isHidden()) << hidden;
  }
  EXPECT_FALSE(w.Form().Preview->isEnabled());
  EXPECT_FALSE(w.Form().Touch->isEnabled());
  EXPECT_FALSE(w.Form().Run_button->isEnabled());
  EXPECT_TRUE(w.Form().fv100->isChecked());
}

TEST(ConsoleWindow, MenusCarryTheirCaptionsShortcutsChecksAndHints) {
  Desk d;
  ConsoleWindow& w = d.gui.Console();
  QMenuBar* bar = w.menuBar();
  QStringList titles;
  for (QAction* a : bar->actions()) {
    if (a->isVisible()) titles << a->text();
  }
  EXPECT_EQ(titles, (QStringList{"File", "Functions", "Setup", "Help"})) << "Diag is hidden";
  EXPECT_EQ(w.Form().Diag1->title(), "Diag");

  const std::map<std::string, std::pair<QString, QString>> entries = {
      {"OpenSpoolerfile1", {"Open Spooler file", ""}}, {"OpenGcodefile1", {"Open Gcode file", ""}},
      {"QuorlexMode1", {"Quorlex Mode", ""}}, {"GcodeMode1", {"Gcode Mode", ""}}, {"Exit1", {"Exit", ""}},
      {"Limitswitchdisable1", {"Limit switch disable", ""}}, {"MovetoXYposition1", {"Move to XY position", ""}},
      {"MovetoZposition1", {"Move to Z position", ""}}, {"MoveXYorZ1", {"Move  X,Y or Z", ""}},
      {"HomeXnonzero1", {"Home X (non zero)", ""}}, {"HomeWaxis1", {"Home W axis", ""}},
      {"WorkOffsets1", {"Work Offsets", ""}}, {"N3DProbeMenu1", {"3D Probe Menu", ""}},
      {"Run1", {"Run ", "Ctrl+R"}}, {"ToolTouchpad1", {"Tool Touch pad", "Ctrl+T"}},
      {"CornerFinder1", {"Corner Finder", "Ctrl+F"}}, {"EnvironmentSetup1", {"Environment Setup", ""}},
      {"ConfigureMachine1", {"Configure Machine", ""}}, {"Toolchangemode1", {"Tool change mode", ""}},
      {"RunScriptfile1", {"Run Script file", ""}}, {"StayonTop1", {"Stay on Top", ""}},
      {"USBmenu1", {"USB menu", ""}}, {"Diagnostics1", {"Diagnostics", ""}}, {"FaultHistory1", {"Fault History", ""}},
      {"JumpTable1", {"Load Table", ""}}, {"About1", {"About", ""}}};
  for (const auto& [name, want] : entries) {
    auto* a = qobject_cast<QAction*>(w.Binding().Target(name));
    ASSERT_NE(a, nullptr) << name;
    EXPECT_EQ(a->text(), want.first) << name;
    EXPECT_EQ(a->shortcut().toString(), want.second) << name;
  }
  EXPECT_EQ(w.Form().HomeSwitchDetect1->title(), "Home Switch Detect");

  // Checks and enables follow the logic.
  EXPECT_TRUE(w.Form().QuorlexMode1->isChecked());
  EXPECT_FALSE(w.Form().GcodeMode1->isChecked());
  EXPECT_FALSE(w.Form().OpenGcodefile1->isEnabled());
  EXPECT_FALSE(w.Form().CornerFinder1->isEnabled());
  w.Form().GcodeMode1->trigger();
  EXPECT_TRUE(w.Form().GcodeMode1->isChecked());
  EXPECT_FALSE(w.Form().QuorlexMode1->isChecked());
  EXPECT_EQ(d.sys.console.State.JobMode, 2);

  // "Stay on Top" switches the window's stacking through the model.
  EXPECT_TRUE(w.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
  w.Form().StayonTop1->trigger();
  EXPECT_FALSE(w.Form().StayonTop1->isChecked());
  EXPECT_FALSE(w.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
  w.Form().StayonTop1->trigger();
  EXPECT_TRUE(w.windowFlags().testFlag(Qt::WindowStaysOnTopHint));

  EXPECT_TRUE(w.Form().MovetoXYposition1->isEnabled());
  EXPECT_TRUE(w.Form().About1->isEnabled());
  EXPECT_TRUE(w.Form().N3DProbeMenu1->isEnabled());

  // Greyed entries say why in their hint; an entry whose window exists says nothing of the kind.
  EXPECT_EQ(w.Form().CornerFinder1->toolTip(), "Needs firmware 65 or later");
  EXPECT_EQ(w.Form().Touch->toolTip(), "Needs \"Touch pad Enable\" in Configure Machine");
  for (QMenu* menu : w.menuBar()->findChildren<QMenu*>()) {
    if (!menu->title().isEmpty()) {
      EXPECT_TRUE(menu->toolTipsVisible()) << menu->title().toStdString();
    }
  }
  EXPECT_EQ(w.Form().ConfigureMachine1->toolTip().toStdString().find("not in this version"), std::string::npos);
}

// Visible children of `parent` must lie inside it and not overlap one another.
void ExpectTidy(QWidget* parent, std::vector<std::string>& problems) {
  std::vector<QWidget*> shown;
  for (QObject* o : parent->children()) {
    auto* w = qobject_cast<QWidget*>(o);
    if (w == nullptr || w->isWindow() || w->isHidden() || w->objectName().isEmpty()) continue;
    if (qobject_cast<SpinButton*>(parent) != nullptr) continue;
    shown.push_back(w);
  }
  for (size_t i = 0; i < shown.size(); ++i) {
    const QRect g = shown[i]->geometry();
    if (!parent->rect().contains(g)) {
      problems.push_back(shown[i]->objectName().toStdString() + " is cut off by " + parent->objectName().toStdString());
    }
    for (size_t j = i + 1; j < shown.size(); ++j) {
      if (g.intersects(shown[j]->geometry())) {
        problems.push_back(shown[i]->objectName().toStdString() + " overlaps " + shown[j]->objectName().toStdString());
      }
    }
    ExpectTidy(shown[i], problems);
  }
}

// Every caption fits its widget in the font the window really uses.
void ExpectCaptionsFit(QWidget* root, std::vector<std::string>& problems) {
  for (QWidget* w : root->findChildren<QWidget*>()) {
    QString text;
    int room = 0;
    if (auto* l = qobject_cast<QLabel*>(w)) {
      text = l->text();
      room = l->contentsRect().width();
    } else if (auto* b = qobject_cast<QPushButton*>(w)) {
      text = b->text();
      room = b->width() - 8;
    }
    if (text.isEmpty() || !w->isVisibleTo(root)) continue;
    if (w->fontMetrics().horizontalAdvance(text) > room) {
      problems.push_back(w->objectName().toStdString() + " clips \"" + text.toStdString() + "\"");
    }
  }
}

// Tidy and readable at the size the window has now.
void ExpectLaidOut(ConsoleWindow& w, const std::string& when) {
  QApplication::processEvents();
  std::vector<std::string> problems;
  ExpectTidy(w.centralWidget(), problems);
  ExpectCaptionsFit(w.centralWidget(), problems);
  EXPECT_TRUE(problems.empty()) << when << ": " << problems.front();
  QPushButton* stop = w.Form().Estopbut;
  EXPECT_TRUE(stop->isVisible()) << when;
  EXPECT_GE(stop->height(), kStopMinimumHeight) << when;
  EXPECT_GE(stop->width(), w.centralWidget()->width() - 16) << when;
  EXPECT_TRUE(w.centralWidget()->rect().contains(stop->geometry())) << when;
}

int DigitHeight(const QFont& font) { return QFontMetrics(font).tightBoundingRect("0").height(); }

TEST(ConsoleWindow, TheLayoutScalesFromTheDocumentedSizeUpWithNothingOverlappingOrClipped) {
  Desk d;
  ConsoleWindow& w = d.gui.Console();
  w.show();
  QApplication::processEvents();
  EXPECT_EQ(w.windowTitle(), "Tovrel Wendlar Controller");
  EXPECT_NE(w.minimumSize(), w.maximumSize()) << "the operator can size the window";
  EXPECT_EQ(w.ClientSize(), kConsoleDefaultClient) << w.ClientSize().width() << "x" << w.ClientSize().height();
  EXPECT_EQ(QApplication::focusWidget() == nullptr || QApplication::focusWidget() == w.Form().Estopbut, true)
      << QApplication::focusWidget()->objectName().toStdString();
  EXPECT_TRUE(w.font().family() == "Arial");
  EXPECT_TRUE(QFontInfo(w.font()).family() == "Liberation Sans" || QFontInfo(w.font()).family() == "Arial");
  ExpectLaidOut(w, "default size");

  // The read-out digits at twice the height of the fixed form's 16-point ones, and growing
  // with the window.
  QFont fixedForm("Arial", 16);
  fixedForm.setBold(true);
  const int atDefault = DigitHeight(w.Form().XPOS->font());
  EXPECT_GE(atDefault, 2 * DigitHeight(fixedForm));
  for (QLabel* l : {w.Form().ypos, w.Form().ZPOS}) EXPECT_EQ(l->font(), w.Form().XPOS->font());
  w.SetClientSize({1400, 980});
  QApplication::processEvents();
  EXPECT_GT(DigitHeight(w.Form().XPOS->font()), atDefault);
  ExpectLaidOut(w, "large");
  w.Form().XPOS->setText("-123.456\"");
  EXPECT_LE(w.Form().XPOS->fontMetrics().horizontalAdvance(w.Form().XPOS->text()),
            w.Form().XPOS->contentsRect().width());

  // Never smaller than the documented size, and everything still there.
  w.SetClientSize({300, 300});
  QApplication::processEvents();
  EXPECT_EQ(w.ClientSize(), kConsoleMinimumClient);
  ExpectLaidOut(w, "smallest");

  // The alternative looks fit as well: a job running, the W axis shown, the plasma panel,
  // the laser box, and the M00 prompt, which the window makes room for.
  ConsoleView& v = d.sys.console.View;
  d.sys.console.SetConsoleIdle(false);
  d.sys.console.ShowWAxis(true);
  v.Route_Top_panel.SetVisible(false);
  v.Plasma_Top_panel.SetVisible(true);
  v.Form.SetHeight(d.sys.console.State.ConsoleHeight + 40);
  v.Continue.SetTop(v.Estopbut.Top() + 50);
  v.Continue.SetVisible(true);
  ExpectLaidOut(w, "smallest, job, W axis, plasma, M00");
  EXPECT_GT(w.Form().Continue->y(), w.Form().Estopbut->y()) << "the M00 button sits below STOP";

  v.Route_Top_panel.SetVisible(true);
  v.Plasma_Top_panel.SetVisible(false);
  v.Laser_Box.SetVisible(true);
  ExpectLaidOut(w, "smallest, laser");

  UsbWindow& usb = d.gui.Usb();
  d.sys.connection.Show();
  EXPECT_TRUE(usb.isVisible());
  EXPECT_EQ(usb.windowTitle(), "Connect USB");
  // Beside the console, not under it, where the screen has room for both (the offscreen
  // test screen may not).
  const QRect screen = w.screen()->availableGeometry();
  if (screen.width() >= w.frameGeometry().width() + usb.frameGeometry().width()) {
    EXPECT_FALSE(usb.frameGeometry().intersects(w.frameGeometry()));
  }
  // Collapsed, the bottom row (the auto-scan boxes) is shown whole.
  EXPECT_GE(usb.height(), usb.Form().Use_last_port->geometry().bottom() + 1);
  EXPECT_LE(usb.height(), usb.Form().Loop_test->y());
  usb.Form().Maxi->click();
  EXPECT_EQ(usb.height() + kWindowChromeHeight, 454);
  EXPECT_EQ(usb.Form().Maxi->text(), "^");
  std::vector<std::string> problems;
  ExpectTidy(&usb, problems);
  ExpectCaptionsFit(&usb, problems);
  EXPECT_TRUE(problems.empty()) << problems.front();
  usb.Form().Show_data_on->setChecked(true);
  usb.Form().Maxi->click();
  EXPECT_GE(usb.height(), usb.Form().Use_last_port->geometry().bottom() + 1);
  EXPECT_FALSE(usb.Form().Show_data_on->isChecked()) << "collapsing stops the traffic monitor";

  CoordinatesWindow& dlg = d.gui.Coordinates();
  d.sys.manual.Coordinates.SetNewXY();
  EXPECT_TRUE(dlg.isVisible());
  EXPECT_EQ(dlg.windowTitle(), "Set New XY Position");
  EXPECT_EQ(dlg.Form().Go_move->text(), "Ok");
  problems.clear();
  ExpectTidy(&dlg, problems);
  EXPECT_TRUE(problems.empty()) << problems.front();
  dlg.close();  // the title bar's close goes through the logic
  EXPECT_FALSE(dlg.isVisible());
  EXPECT_FALSE(d.sys.manual.Coordinates.View.Form.Visible());
}

TEST(ConsoleWindow, RemembersTheSizeTheOperatorLeftIt) {
  testing::TempDir home;
  {
    Desk first(home.Path());
    first.gui.Start();
    first.gui.Console().SetClientSize({1000, 900});
    first.gui.Console().close();
  }
  Desk again(home.Path());
  again.gui.Start();
  EXPECT_EQ(again.gui.Console().ClientSize(), QSize(1000, 900));
  again.gui.Console().hide();
  again.gui.Usb().hide();
}

TEST(ConsoleWindow, ClicksOnPositionsAndPanelsOpenTheMoveDialog) {
  Desk d;
  ConsoleWindow& w = d.gui.Console();
  w.show();
  CoordinatesWindow& dlg = d.gui.Coordinates();
  QTest::mouseClick(w.Form().ZPOS, Qt::LeftButton);
  EXPECT_TRUE(dlg.isVisible());
  EXPECT_EQ(dlg.windowTitle(), "Set New Z Position");
  QTest::mouseClick(dlg.Form().Cancel_move, Qt::LeftButton);
  EXPECT_FALSE(dlg.isVisible());
  EXPECT_EQ(d.sys.console.View.Form.Checked(), true) << "closing the dialog restores always-on-top";

  // The axis panels are openers too, though the model has no name for them.
  QTest::mouseClick(w.Form().X_pan, Qt::LeftButton);
  EXPECT_TRUE(dlg.isVisible());
  EXPECT_EQ(dlg.windowTitle(), "Set New XY Position");
  QTest::mouseClick(dlg.Form().Cancel_move, Qt::LeftButton);

  QTest::mouseClick(w.Form().Move_2_XY, Qt::LeftButton);
  EXPECT_EQ(dlg.windowTitle(), "Move to Coordinates");
  EXPECT_EQ(dlg.Form().Go_move->text(), "Go");
  EXPECT_FALSE(w.windowFlags().testFlag(Qt::WindowStaysOnTopHint)) << "a dialog opens over a normal console";

  // U/M shows its state with the bevel.
  QTest::mouseClick(w.Form().User_mach, Qt::LeftButton);
  EXPECT_EQ(w.Form().User_mach->text(), "M");
  EXPECT_EQ(w.Form().User_mach->frameShadow(), QFrame::Sunken);
}

TEST(ConsoleWindow, KeysReachTheConsoleBeforeTheFocusedControl) {
  Desk d;
  ConsoleWindow& w = d.gui.Console();
  w.show();
  QApplication::setActiveWindow(&w);
  QLineEdit* edit = w.Form().THC_voltage;
  w.Form().Plasma_Top_panel->show();
  edit->setFocus();
  ASSERT_EQ(QApplication::focusWidget(), edit);
  const QString before = edit->text();

  // Alt+End steps the jog mode towards single step, whatever control has the focus.
  QTest::keyClick(edit, Qt::Key_End, Qt::AltModifier);
  EXPECT_EQ(w.Form().JogSpdbut->text(), "S");
  QTest::keyClick(edit, Qt::Key_End, Qt::AltModifier);
  QTest::keyClick(edit, Qt::Key_End, Qt::AltModifier);
  EXPECT_EQ(w.Form().JogSpdbut->text(), "1");
  QTest::keyClick(edit, Qt::Key_Home, Qt::AltModifier);
  EXPECT_EQ(w.Form().JogSpdbut->text(), "S");
  // Without Alt the key is the edit's own.
  QTest::keyClick(edit, Qt::Key_End);
  EXPECT_EQ(w.Form().JogSpdbut->text(), "S");
  EXPECT_EQ(edit->text(), before);
  QTest::keyClicks(edit, "5");
  EXPECT_EQ(edit->text(), before + "5");
}

TEST(WendlarProgram, ASecondStartEndsSilentlyWhileTheFirstRuns) {
  const char* binaryDir = std::getenv("WENDLAR_BINARY_DIR");
  const std::filesystem::path program = binaryDir ? std::filesystem::path(binaryDir) / "src/app/wendlar" : "";
  if (program.empty() || !std::filesystem::exists(program)) GTEST_SKIP() << "wendlar is not built";

  testing::TempDir home;
  testing::TempDir runtime;
  std::filesystem::permissions(runtime.Path(), std::filesystem::perms::owner_all);
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_QPA_PLATFORM", "offscreen");
  env.insert("XDG_RUNTIME_DIR", QString::fromStdString(runtime.Path().string()));
  const QStringList args{"--home", QString::fromStdString(home.Path().string())};

  QProcess first;
  first.setProcessEnvironment(env);
  first.start(QString::fromStdString(program.string()), args);
  ASSERT_TRUE(first.waitForStarted(5000));
  // The first copy is up once it holds the lock.
  InstanceLock probe(InstanceLock::NameFor(program.string()), runtime.Path());
  QtEventLoop loop;
  ASSERT_TRUE(loop.WaitUntil([&] {
    if (probe.TryAcquire() == InstanceLock::State::kHeldElsewhere) return true;
    probe.Release();
    return false;
  }, 10000));

  QProcess second;
  second.setProcessEnvironment(env);
  second.start(QString::fromStdString(program.string()), args);
  ASSERT_TRUE(second.waitForFinished(5000)) << "the second copy must end on its own";
  EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(second.exitCode(), 0);
  EXPECT_TRUE(second.readAllStandardOutput().isEmpty());
  EXPECT_TRUE(second.readAllStandardError().isEmpty());
  EXPECT_EQ(first.state(), QProcess::Running) << "the first copy is untouched";

  first.kill();
  first.waitForFinished(5000);
}

}  // namespace
}  // namespace wendlar::ui
