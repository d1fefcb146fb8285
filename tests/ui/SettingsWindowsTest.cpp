// The settings windows as the operator meets them: the machine configuration, the
// environment with its folder chooser, the work offsets and fault history, and the
// material picker. Edits made in the widgets must reach the core and its files; the console
// leaves always-on-top while one is open. WENDLAR_SHOTS_DIR, when set, receives a picture
// of each window.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include <cstdlib>
#include <filesystem>

#include "Desk.h"
#include "Shots.h"
#include "ui/DirectoryBrowser.h"
#include "ui_Envir_setup.h"
#include "ui_FileCtrls.h"
#include "ui_Jumpbox.h"
#include "ui_Setupmenu.h"
#include "ui_Spool.h"
#include "ui_pick_mat.h"

namespace wendlar::ui {
namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
    lines.push_back(text.substr(start, end - start));
  }
  return lines;
}

// Replaces an edit's text as typing does, so the binding hears it.
void Type(QLineEdit* edit, const QString& text) {
  edit->selectAll();
  QTest::keyClick(edit, Qt::Key_Delete);
  QTest::keyClicks(edit, text);
}

// Visible children of `parent` lie inside it and do not overlap; captions fit their widgets.
void ExpectTidy(QWidget* parent, std::vector<std::string>& problems) {
  std::vector<QWidget*> shown;
  for (QObject* o : parent->children()) {
    auto* w = qobject_cast<QWidget*>(o);
    if (w == nullptr || w->isWindow() || w->isHidden() || w->objectName().isEmpty()) continue;
    if (w->objectName().startsWith("qt_")) continue;  // a widget's own parts
    shown.push_back(w);
  }
  for (size_t i = 0; i < shown.size(); ++i) {
    const QRect g = shown[i]->geometry();
    const std::string name = shown[i]->objectName().toStdString();
    if (!parent->rect().contains(g)) problems.push_back(name + " is cut off by " + parent->objectName().toStdString());
    for (size_t j = i + 1; j < shown.size(); ++j) {
      if (g.intersects(shown[j]->geometry())) problems.push_back(name + " overlaps " + shown[j]->objectName().toStdString());
    }
    QString text;
    int room = 0;
    if (auto* l = qobject_cast<QLabel*>(shown[i])) {
      text = l->text();
      room = l->contentsRect().width();
    } else if (qobject_cast<QCheckBox*>(shown[i]) || qobject_cast<QRadioButton*>(shown[i])) {
      text = static_cast<QAbstractButton*>(shown[i])->text();
      room = shown[i]->width() - 22;  // the indicator and its gap
    } else if (auto* b = qobject_cast<QPushButton*>(shown[i])) {
      text = b->text();
      room = b->width() - 8;
    } else if (auto* g = qobject_cast<QGroupBox*>(shown[i])) {
      text = g->title();
      room = g->width() - 16;
    }
    if (!text.isEmpty() && shown[i]->fontMetrics().horizontalAdvance(text) > room) {
      problems.push_back(name + " clips \"" + text.toStdString() + "\"");
    }
    if (!qobject_cast<QTabWidget*>(shown[i])) ExpectTidy(shown[i], problems);
  }
}

void ExpectTidyWindow(QWidget* window) {
  std::vector<std::string> problems;
  ExpectTidy(window, problems);
  EXPECT_TRUE(problems.empty()) << window->objectName().toStdString() << ": " << problems.front();
}

// The tab page holding `w`.
QWidget* PageOf(QTabWidget* tabs, QWidget* w) {
  for (QWidget* p = w; p != nullptr; p = p->parentWidget()) {
    if (tabs->indexOf(p) >= 0) return p;
  }
  return nullptr;
}

TEST(SetupWindow, EveryControlSitsOnItsTabWithItsLabelKindAndState) {
  Desk d;
  SetupWindow& w = d.gui.Setup();
  TSetupmenuView& v = d.sys.setup.View;
  ASSERT_TRUE(w.Binding().Unbound().empty()) << "missing: " << w.Binding().Unbound().front();
  EXPECT_EQ(w.windowTitle(), "Tovrel Motion Control setup");
  EXPECT_TRUE(w.windowFlags().testFlag(Qt::WindowStaysOnTopHint));

  QTabWidget* tabs = w.Form().PageControl1;
  QStringList titles;
  for (int i = 0; i < tabs->count(); ++i) titles << tabs->tabText(i);
  EXPECT_EQ(titles, (QStringList{"Rapid and Scale", "Contouring Settings", "Z axis", "Spindle", "Limit Switches",
                                 "4th Axis", "Auxillary 1/2", "Gcode", "Travel"}));
  for (const auto& [name, tab] : v.TabOf) {
    QWidget* page = PageOf(tabs, qobject_cast<QWidget*>(w.Binding().Target(name)));
    ASSERT_NE(page, nullptr) << name << " is on no tab";
    EXPECT_EQ(tabs->tabText(tabs->indexOf(page)).toStdString(), tab) << name;
  }
  // Each box has its label beside it, pointing at it.
  for (const auto& [name, text] : v.EditLabels) {
    auto* box = qobject_cast<QWidget*>(w.Binding().Target(name));
    const auto labels = w.findChildren<QLabel*>();
    auto it = std::find_if(labels.begin(), labels.end(), [box](QLabel* l) { return l->buddy() == box; });
    ASSERT_NE(it, labels.end()) << name << " has no label";
    EXPECT_EQ((*it)->text().toStdString(), text) << name;
    if (name == "Rap_timer" || name == "Cut_timer") {
      auto* spin = qobject_cast<QSpinBox*>(box);
      ASSERT_NE(spin, nullptr) << name;
      EXPECT_EQ(spin->maximum(), 1);
      EXPECT_EQ(spin->minimum(), 0);
    } else {
      EXPECT_NE(qobject_cast<QLineEdit*>(box), nullptr) << name << " is a typed box";
    }
  }
  EXPECT_EQ(w.Form().R_accel->toolTip(), "220=S ..... 250=F");
  EXPECT_EQ(w.Form().Auto_Spindle_Stop->toolTip(), "Reset Pic after changing");
  EXPECT_FALSE(w.Form().Metric_rb->isEnabled());
  EXPECT_FALSE(w.Form().Arc_enable->isEnabled());
  EXPECT_TRUE(w.Form().Inch_rb->isChecked());
  EXPECT_TRUE(w.Form().Dual_Head->isChecked());
  // The boxes show the configuration from the start: the defaults' W_slave 0 is Z head 2.
  EXPECT_TRUE(w.Form().Sec_Z_but->isChecked());
  EXPECT_FALSE(w.Form().Wslave_But->isChecked());
  EXPECT_TRUE(w.Form().Normally_open->isChecked());
  EXPECT_TRUE(w.Form().No_Man_toolch_check->isChecked());

  QStringList entries;
  for (QAction* a : w.Form().File1->actions()) entries << a->text();
  EXPECT_EQ(w.Form().File1->title(), "File ");
  EXPECT_EQ(entries, (QStringList{"Open machine config", "Save machine config as", "Save machine config "}));
  for (QAction* a : w.Form().File1->actions()) EXPECT_TRUE(a->isEnabled()) << a->text().toStdString();
  for (QPushButton* b : w.findChildren<QPushButton*>()) EXPECT_TRUE(b->isEnabled()) << b->objectName().toStdString();
}

TEST(SetupWindow, EachTabIsTidyAndTabsThroughItsColumnsTopToBottom) {
  Desk d;
  SetupWindow& w = d.gui.Setup();
  // The simulated machine's travel, as `wendlar --simulator` shows it without a Travel.cfg.
  UseControllerTravel(d.sys.config.Travel, {-400, -400, -400, -400}, {400000, 300000, 120000, 400000});
  d.gui.Console().Form().ConfigureMachine1->trigger();
  ASSERT_TRUE(w.isVisible());
  QTabWidget* tabs = w.Form().PageControl1;
  const char* shots[] = {"setup-rapid.png",  "setup-contouring.png", "setup-z.png",     "setup-spindle.png",
                         "setup-limits.png", "setup-4th.png",        "setup-aux.png",   "setup-gcode.png",
                         "setup-travel.png"};
  ASSERT_EQ(tabs->count(), static_cast<int>(std::size(shots)));
  for (int i = 0; i < tabs->count(); ++i) {
    tabs->setCurrentIndex(i);
    ExpectTidyWindow(w.centralWidget());
    ExpectTidyWindow(tabs->widget(i));
    SaveShot(&w, shots[i]);

    // Tab walks the left column down, then the right one.
    QWidget* page = tabs->widget(i);
    std::vector<QPoint> order;
    for (QWidget* f = page->nextInFocusChain(); f != page; f = f->nextInFocusChain()) {
      if (!page->isAncestorOf(f) || f->focusPolicy() == Qt::NoFocus || !f->isVisibleTo(page)) continue;
      if (qobject_cast<QLineEdit*>(f) && qobject_cast<QSpinBox*>(f->parentWidget())) continue;
      order.push_back(f->mapTo(page, QPoint(0, 0)));
    }
    for (size_t k = 1; k < order.size(); ++k) {
      const bool sameColumn = (order[k].x() >= 300) == (order[k - 1].x() >= 300);
      EXPECT_TRUE(sameColumn ? order[k].y() >= order[k - 1].y() : order[k].x() > order[k - 1].x())
          << tabs->tabText(i).toStdString() << ": stop " << k << " goes back up";
    }
  }
}

TEST(SetupWindow, ApplyAndSaveReachTheConfigurationAndItsFileWhileCancelDoesNot) {
  Desk d;
  SetupWindow& w = d.gui.Setup();
  Ui::Setupmenu& f = w.Form();
  MachineConfig& c = d.sys.config.Config;
  d.gui.Console().Form().ConfigureMachine1->trigger();
  ASSERT_TRUE(w.isVisible());
  EXPECT_FALSE(d.ConsoleOnTop()) << "the console drops behind the dialog";
  EXPECT_EQ(f.R_vel_max->text().toStdString(), std::to_string(c.R_vel_max)) << "showing copies the fields in";

  // Cancel: the typed value never reaches the configuration, and the next show forgets it.
  const int rapid = c.R_vel_max;
  Type(f.R_vel_max, "7");
  QTest::mouseClick(f.CancelBtn, Qt::LeftButton);
  EXPECT_FALSE(w.isVisible());
  EXPECT_TRUE(d.ConsoleOnTop()) << "closing restores the console's stacking";
  EXPECT_EQ(c.R_vel_max, rapid);
  d.gui.Console().Form().ConfigureMachine1->trigger();
  EXPECT_EQ(f.R_vel_max->text().toStdString(), std::to_string(rapid));

  // Apply takes the boxes: a real acceleration is rounded.
  Type(f.R_accel, "239.6");
  QTest::mouseClick(f.Apply, Qt::LeftButton);
  EXPECT_EQ(c.R_accel, 240);
  EXPECT_TRUE(w.isVisible());

  // Leaving the arc box raises a too-short vector; Enter counts as leaving.
  Type(f.Arc_rez, "0.001");
  QTest::keyClick(f.Arc_rez, Qt::Key_Return);
  EXPECT_EQ(f.Arc_rez->text(), "0.005");
  // Check boxes act at once.
  f.En_Servo->click();
  EXPECT_EQ(c.Io_flags[2], 'X');
  EXPECT_EQ(d.sys.setup.Flags.ServoEnabled, 1);

  // Save as: the documented dialog, then the whole configuration in the chosen file.
  const std::filesystem::path file = d.home.Path() / "Router.MAC";
  d.prompts.Paths.push_back(file.string());
  f.Saveasmachineconfig1->trigger();
  ASSERT_EQ(d.prompts.Dialogs.size(), 1u);
  EXPECT_EQ(d.prompts.Dialogs[0].Title, "Save machine (*.mac)");
  EXPECT_EQ(d.prompts.Dialogs[0].Filter, "Machine config file|*.mac");
  EXPECT_TRUE(d.prompts.Dialogs[0].ConfirmOverwrite);
  EXPECT_EQ(f.mac_label->text().toStdString(), file.string());

  // Save Config applies first, then writes the file the label names.
  Type(f.Xscale_edit, "8.5");
  QTest::mouseClick(f.Savecfg, Qt::LeftButton);
  EXPECT_DOUBLE_EQ(c.Xscale, 8.5);
  const std::string saved = d.home.Read("Router.MAC");
  EXPECT_EQ(Lines(saved), MachineConfigLines(d.sys.config));
  std::string expected;
  for (const std::string& line : MachineConfigLines(d.sys.config)) expected += line + "\r\n";
  EXPECT_EQ(saved, expected);

  // Open reads a file back into the configuration and the boxes.
  c.Xscale = 3;
  d.prompts.Paths.push_back(file.string());
  f.Openmac1->trigger();
  ASSERT_EQ(d.prompts.Dialogs.size(), 2u);
  EXPECT_EQ(d.prompts.Dialogs[1].Title, "Load Machine configuration");
  EXPECT_EQ(d.prompts.Dialogs[1].Filter, "Machine Config file|*.mac");
  EXPECT_DOUBLE_EQ(c.Xscale, 8.5);
  EXPECT_EQ(f.Xscale_edit->text(), "8.5");
  // Set as Default names the file in Spooler.cfg for the next start.
  QTest::mouseClick(f.Makedefault, Qt::LeftButton);
  const auto environment = Lines(d.home.Read("Spooler.cfg"));
  ASSERT_EQ(environment.size(), 32u);
  EXPECT_TRUE(environment[9].ends_with("Router.MAC")) << environment[9];

  // Closing from the title bar is a Cancel.
  Type(f.R_vel_start, "3");
  const int start = c.R_vel_start;
  w.close();
  EXPECT_FALSE(d.sys.setup.View.Form.Visible());
  EXPECT_EQ(c.R_vel_start, start);
}

TEST(EnvironmentWindow, SettingsChosenInTheWindowAreSavedToSpoolerCfg) {
  Desk d;
  EnvironmentWindow& w = d.gui.Environment();
  Ui::Envir_setup& f = w.Form();
  ASSERT_TRUE(w.Binding().Unbound().empty()) << w.Binding().Unbound().front();
  d.gui.Console().Form().EnvironmentSetup1->trigger();
  Desk::Settle();
  ASSERT_TRUE(w.isVisible());
  EXPECT_EQ(w.windowTitle(), "Environment Setup");
  EXPECT_FALSE(d.ConsoleOnTop());
  EXPECT_EQ(f.Port1->text(), "Port1 (888)");
  EXPECT_EQ(f.Port2->text(), "Port2 (956)");
  EXPECT_EQ(f.Port3->text(), "Port3 (632)");
  for (QRadioButton* legacy : {f.Port1, f.Port2, f.Port3}) EXPECT_FALSE(legacy->isEnabled());
  EXPECT_TRUE(f.USB_port->isChecked());
  EXPECT_FALSE(f.Plasma->isEnabled());
  QStringList items;
  for (int i = 0; i < f.CPU_Combo->count(); ++i) items << f.CPU_Combo->itemText(i);
  EXPECT_EQ(items, (QStringList{"Controller Rev 1", "Controller with interface V11",
                                "Controller with interface V5-10", "Controller Rev 2"}));
  EXPECT_EQ(f.CPU_Combo->currentIndex(), d.sys.environment.Env.CpuType - 1);
  ExpectTidyWindow(&w);
  SaveShot(&w, "environment.png");

  // The operator's choices: a controller type by the keys, G-code mode, a folder typed.
  f.CPU_Combo->setFocus();
  QTest::keyClick(f.CPU_Combo, Qt::Key_Down);
  QTest::keyClick(f.CPU_Combo, Qt::Key_Down);
  EXPECT_EQ(d.sys.environment.Env.CpuType, 3);
  f.Gcode_scr->click();
  EXPECT_EQ(d.sys.console.State.JobMode, 2);
  EXPECT_TRUE(d.sys.console.View.GcodeMode1.Checked());
  Type(f.Gcodefiles, "/srv/jobs");
  // Browse puts the chosen folder into its box.
  d.prompts.Paths.push_back("/srv/spool");
  QTest::mouseClick(f.SpoolBrowse, Qt::LeftButton);
  EXPECT_EQ(f.Spoolerfiles->text(), "/srv/spool");

  QTest::mouseClick(f.SaveSetup, Qt::LeftButton);
  const auto lines = Lines(d.home.Read("Spooler.cfg"));
  ASSERT_EQ(lines.size(), 32u);
  EXPECT_EQ(lines[1], "4") << "USB";
  EXPECT_EQ(lines[3], "/srv/spool");
  EXPECT_EQ(lines[5], "/srv/jobs");
  EXPECT_EQ(lines[7], "2") << "G-code mode";
  EXPECT_EQ(lines[15], "3") << "the controller type";

  QTest::mouseClick(f.CloseBtn, Qt::LeftButton);
  EXPECT_FALSE(w.isVisible());
  EXPECT_TRUE(d.ConsoleOnTop());
  // Showing again selects the stored type.
  d.sys.environment.Env.CpuType = 4;
  d.gui.Console().Form().EnvironmentSetup1->trigger();
  Desk::Settle();
  EXPECT_EQ(f.CPU_Combo->currentIndex(), 3);
}

// Runs `act` on the modal window once it is up, from the loop that exec() runs.
void WhenModal(std::function<void(DirectoryBrowser&)> act) {
  QTimer::singleShot(0, [act = std::move(act)] {
    auto* browser = qobject_cast<DirectoryBrowser*>(QApplication::activeModalWidget());
    ASSERT_NE(browser, nullptr);
    act(*browser);
  });
}

TEST(DirectoryBrowser, TheFolderFormReturnsTheFolderOnOkAndNothingOtherwise) {
  testing::TempDir home;
  std::filesystem::create_directory(home.Path() / "jobs");
  const QString start = QString::fromStdString(home.Path().string());

  WhenModal([](DirectoryBrowser& b) {
    Ui::FileCtrls& f = b.Form();
    EXPECT_EQ(b.windowTitle(), "  Browse for Directory");
    EXPECT_EQ(b.width(), 320);
    EXPECT_EQ(f.Ok->x(), 220);
    EXPECT_EQ(f.Cancel->x(), 220);
    EXPECT_EQ(f.DirectoryListBox1->x(), 10);
    EXPECT_EQ(f.DriveComboBox1->x(), 10);
    for (QWidget* hidden : {static_cast<QWidget*>(f.FileListBox1), static_cast<QWidget*>(f.FileEdit),
                            static_cast<QWidget*>(f.FilterComboBox1)}) {
      EXPECT_TRUE(hidden->isHidden()) << hidden->objectName().toStdString();
    }
    ExpectTidyWindow(&b);
    SaveShot(&b, "browse-directory.png");
    // Into "jobs" with the keys, then Ok.
    const auto found = f.DirectoryListBox1->findItems("jobs", Qt::MatchExactly);
    ASSERT_EQ(found.size(), 1);
    f.DirectoryListBox1->setCurrentItem(found.front());
    QTest::keyClick(f.DirectoryListBox1, Qt::Key_Return);
    EXPECT_TRUE(f.PathLabel->text().endsWith("jobs"));
    f.Ok->click();
  });
  EXPECT_EQ(DirectoryBrowser::BrowseDirectory(nullptr, start).toStdString(), (home.Path() / "jobs").string());

  WhenModal([](DirectoryBrowser& b) { b.Form().Cancel->click(); });
  EXPECT_TRUE(DirectoryBrowser::BrowseDirectory(nullptr, start).isEmpty());
  WhenModal([](DirectoryBrowser& b) { b.close(); });
  EXPECT_TRUE(DirectoryBrowser::BrowseDirectory(nullptr, start).isEmpty());
}

TEST(JumpboxWindow, AnOffsetTypedAndClosedBecomesActiveInTheConsoleAndSaveWritesIt) {
  Desk d;
  JumpboxWindow& w = d.gui.Jumpbox();
  Ui::Jumpbox& f = w.Form();
  ASSERT_TRUE(w.Binding().Unbound().empty()) << w.Binding().Unbound().front();
  Ui::Spool& console = d.gui.Console().Form();
  console.WorkOffsets1->trigger();
  ASSERT_TRUE(w.isVisible());
  EXPECT_FALSE(d.ConsoleOnTop());
  EXPECT_EQ(w.windowTitle(), "Work Offsets");
  EXPECT_EQ(w.size(), QSize(290, 400 - kWindowChromeHeight));
  EXPECT_EQ(f.Fixtures_pan->pos(), QPoint(10, 10));
  EXPECT_TRUE(f.Fault_box->isHidden());
  EXPECT_EQ(f.G56R->text(), "Offset #3  (G56)");
  EXPECT_TRUE(f.G54R->isChecked());
  ExpectTidyWindow(&w);
  SaveShot(&w, "work-offsets.png");

  f.G56R->click();
  Type(f.G56X, "1.25");
  Type(f.G56Y, "-0.5");
  QTest::mouseClick(f.Button2, Qt::LeftButton);
  const auto lines = Lines(d.home.Read("Offsets.cfg"));
  ASSERT_EQ(lines.size(), 30u);
  EXPECT_EQ(std::vector<std::string>(lines.begin() + 8, lines.begin() + 12),
            (std::vector<std::string>{"[Offset3]", "1.250", "-0.500", "0.0"}));

  QTest::mouseClick(f.Close_fixt, Qt::LeftButton);
  EXPECT_FALSE(w.isVisible());
  EXPECT_TRUE(d.ConsoleOnTop());
  EXPECT_EQ(d.sys.offsets.ActiveFixture, 3);
  EXPECT_EQ(console.Work_offset_but->text(), "Fixture 3");
  EXPECT_EQ(console.Fixture_lab->text(), "1.250 , -0.500");

  // The Fixtures button opens the same panel.
  console.Work_offset_but->click();
  EXPECT_TRUE(w.isVisible());
  EXPECT_EQ(f.G56X->text().toDouble(), 1.25);
}

TEST(JumpboxWindow, FaultsReportedAreListedInTheFaultHistory) {
  Desk d;
  JumpboxWindow& w = d.gui.Jumpbox();
  Ui::Jumpbox& f = w.Form();
  d.sys.jumpbox.AddFaultHistory("Servo Fault");
  d.sys.jumpbox.AddFaultHistory("Stop Button pressed on controller!");

  d.gui.Console().Form().FaultHistory1->trigger();
  ASSERT_TRUE(w.isVisible());
  EXPECT_EQ(w.windowTitle(), "Fault History");
  EXPECT_EQ(w.size(), QSize(410, 400 - kWindowChromeHeight));
  EXPECT_TRUE(f.Fixtures_pan->isHidden());
  EXPECT_FALSE(f.Fault_box->isHidden());
  EXPECT_EQ(f.Fault_box->x(), 16);
  ASSERT_EQ(f.Fault_list->count(), 2);
  EXPECT_TRUE(f.Fault_list->item(0)->text().endsWith(" * Servo Fault"));
  EXPECT_TRUE(f.Fault_list->item(1)->text().endsWith(" * Stop Button pressed on controller!"));
  d.sys.jumpbox.AddFaultHistory("Data sumcheck error");
  EXPECT_EQ(f.Fault_list->count(), 3) << "a fault reported while the list is open joins it";
  EXPECT_EQ(Lines(d.home.Read("History.lst")).size(), 3u);
  ExpectTidyWindow(&w);
  SaveShot(&w, "fault-history.png");

  QTest::mouseClick(f.Button1, Qt::LeftButton);
  EXPECT_FALSE(w.isVisible());
  EXPECT_TRUE(d.ConsoleOnTop());
}

TEST(MaterialsWindow, CellsAreCheckedOnClickAndOnLeavingAndSelectFillsThePlasmaPanel) {
  Desk d;
  MaterialsWindow& w = d.gui.Materials();
  Ui::pick_mat& f = w.Form();
  QTableWidget* grid = f.mat_grid;
  ASSERT_TRUE(w.Binding().Unbound().empty()) << w.Binding().Unbound().front();
  d.gui.Console().Form().Material->click();
  Desk::Settle();
  ASSERT_TRUE(w.isVisible());
  EXPECT_FALSE(d.ConsoleOnTop());
  EXPECT_EQ(w.windowTitle(), "Materials");
  EXPECT_EQ(w.pos(), QPoint(100, 100));
  EXPECT_EQ(w.size(), QSize(565, 280 - kWindowChromeHeight));
  EXPECT_EQ(grid->size(), QSize(540, 170));
  const int widths[] = {20, 12, 150, 60, 50, 75, 75, 65};
  const char* headers[] = {"", "", "Material Name", "Feed Rate", "Volts", "Pierce Height", "Pierce Delay", " Amps (set)"};
  ASSERT_EQ(grid->columnCount(), 8);
  ASSERT_EQ(grid->rowCount(), 25);
  for (int c = 0; c < 8; ++c) {
    EXPECT_EQ(grid->columnWidth(c), widths[c]) << c;
    EXPECT_EQ(grid->horizontalHeaderItem(c)->text(), headers[c]) << c;
  }
  EXPECT_EQ(grid->item(6, 2)->text(), "Material 7");
  EXPECT_FALSE(f.Select->isEnabled());
  ExpectTidyWindow(&w);
  SaveShot(&w, "materials.png");

  // On a plasma machine the spindle channel carries the torch voltage.
  d.sys.config.Config.Spind_low = 40;
  d.sys.config.Config.Spind_hi = 200;

  // A click checks every cell and lets Select work.
  grid->item(1, 4)->setText("39");
  grid->item(2, 3)->setText("35");
  grid->item(2, 4)->setText("120");
  grid->item(2, 7)->setText("45");
  QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualItemRect(grid->item(2, 2)).center());
  Desk::Settle();
  EXPECT_EQ(grid->item(1, 4)->text(), "150") << "volts below 40";
  EXPECT_EQ(grid->item(2, 4)->text(), "120");
  EXPECT_TRUE(f.Select->isEnabled());

  QTest::mouseClick(f.Select, Qt::LeftButton);
  EXPECT_EQ(f.Label1->text(), "3");
  Ui::Spool& console = d.gui.Console().Form();
  EXPECT_EQ(console.THC_voltage->text(), "120");
  EXPECT_EQ(console.Plasma_feed->text(), "35");
  EXPECT_EQ(console.Set_current->text(), "45");
  EXPECT_EQ(d.sys.console.State.SpindleRpm, 120);
  EXPECT_EQ(d.sys.console.State.FeedIndex, 35);
  EXPECT_EQ(console.Rpmlab->text(), "Rpm 120");
  EXPECT_EQ(console.Feedlab->text(), "Feed  35");
  EXPECT_TRUE(w.isVisible()) << "the picker stays open after Select";

  // Leaving the grid checks it too.
  QApplication::setActiveWindow(&w);
  grid->item(3, 3)->setText("abc");
  grid->setFocus();
  f.Save_it->setFocus();
  Desk::Settle();
  EXPECT_EQ(grid->item(3, 3)->text(), "10");

  QTest::mouseClick(f.Save_it, Qt::LeftButton);
  const auto lines = Lines(d.home.Read("material.lst"));
  ASSERT_EQ(lines.size(), 201u);
  EXPECT_EQ(lines[0], "Plasma Materials");
  EXPECT_EQ(std::vector<std::string>(lines.begin() + 17, lines.begin() + 25),
            (std::vector<std::string>{"[Material # 3]", "Material 3", "35", "120", "0.080", "0.1", "45", "--"}));
  EXPECT_EQ(lines[27], "10");

  QTest::mouseClick(f.Close_it, Qt::LeftButton);
  EXPECT_FALSE(w.isVisible());
  EXPECT_TRUE(d.ConsoleOnTop());
}

}  // namespace
}  // namespace wendlar::ui
