// The binding between a plain model and real widgets: what the logic writes shows, what
// the operator does reaches the logic, and nothing clickable is ever silently dead.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QToolButton>

#include "core/ViewModel.h"
#include "ui/PanelButton.h"
#include "ui/SpinButton.h"
#include "ui/ViewBinding.h"

namespace wendlar::ui {
namespace {

struct SampleView : ViewModel {
  SampleView() : ViewModel("TSample") {}
  Control Form{*this, "Sample"};
  Control Running{*this, "Running"};
  Control Progress{*this, "Progress"};
  Control Run_button{*this, "Run_button"};
  Control Go{*this, "Go"};
  Control Gauge1{*this, "Gauge1"};
  Control Edit{*this, "Edit"};
  Control Use_feed{*this, "Use_feed"};
  Control RadioA{*this, "RadioA"}, RadioB{*this, "RadioB"};
  Control Msg_list{*this, "Msg_list"};
  Control Spin{*this, "Spin"};
  Control Menu_entry{*this, "Menu_entry"};
  Control NotInForm{*this, "NotInForm"};
};

// A window made the way uic makes one: named children under one top-level widget.
struct SampleWindow {
  QWidget window;
  QLabel* running = new QLabel("design text", &window);
  QLabel* progress = new QLabel("kept", &window);
  PanelButton* run = new PanelButton(&window);
  QPushButton* go = new QPushButton("Go", &window);
  QPushButton* extra = new QPushButton("Form only", &window);
  QProgressBar* gauge = new QProgressBar(&window);
  QLineEdit* edit = new QLineEdit(&window);
  QCheckBox* useFeed = new QCheckBox(&window);
  QRadioButton* radioA = new QRadioButton(&window);
  QRadioButton* radioB = new QRadioButton(&window);
  QListWidget* list = new QListWidget(&window);
  SpinButton* spin = new SpinButton(&window);
  QAction* action = new QAction("Entry", &window);

  SampleWindow() {
    window.setObjectName("Sample");
    const std::pair<QObject*, const char*> names[] = {
        {running, "Running"}, {progress, "Progress"}, {run, "Run_button"}, {go, "Go"}, {extra, "Extra"},
        {gauge, "Gauge1"}, {edit, "Edit"}, {useFeed, "Use_feed"}, {radioA, "RadioA"}, {radioB, "RadioB"},
        {list, "Msg_list"}, {spin, "Spin"}, {action, "Menu_entry"}};
    for (auto [o, n] : names) o->setObjectName(n);
    radioA->setGeometry(0, 0, 50, 20);
    radioB->setGeometry(0, 30, 50, 20);
    useFeed->setCheckable(true);
    action->setCheckable(true);
    run->setGeometry(10, 10, 91, 30);
  }
};

TEST(ViewBinding, WhatTheLogicWritesIsShownAndFollowsEveryChange) {
  SampleView view;
  SampleWindow w;
  view.Running.SetCaption("Not connected");
  view.Running.SetHint("Click to Reset");
  view.Go.SetEnabled(false);
  ViewBinding binding(view, w.window);
  binding.OnClick("Go", [] {});
  binding.Start();
  w.window.show();

  EXPECT_EQ(w.running->text(), "Not connected");
  EXPECT_EQ(w.running->toolTip(), "Click to Reset");
  EXPECT_EQ(w.progress->text(), "kept") << "a caption the model never set keeps the form's text";
  EXPECT_FALSE(w.go->isEnabled());

  view.Running.SetCaption("Ready");
  view.Running.SetFontColor(kGreen);
  view.Running.SetBackColor(kRed);
  view.Progress.SetCaption("Paused");
  EXPECT_EQ(w.progress->text(), "Paused");
  view.Progress.SetCaption("");
  view.Go.SetEnabled(true);
  view.Go.SetVisible(false);
  view.Gauge1.SetPosition(42);
  view.Gauge1.SetBackColor(kBlue);
  EXPECT_EQ(w.running->text(), "Ready");
  EXPECT_EQ(w.running->palette().color(QPalette::WindowText), QColor(0, 0x80, 0));
  EXPECT_EQ(w.running->palette().color(QPalette::Window), QColor(0xFF, 0, 0));
  EXPECT_TRUE(w.running->autoFillBackground());
  EXPECT_EQ(w.running->palette().color(QPalette::Disabled, QPalette::WindowText),
            w.window.palette().color(QPalette::Disabled, QPalette::WindowText))
      << "a disabled caption stays grey whatever colour the logic gave it";
  EXPECT_EQ(w.progress->text(), "") << "once the model writes a caption, an empty one empties the label";
  EXPECT_TRUE(w.go->isEnabled());
  EXPECT_FALSE(w.go->isVisible());
  EXPECT_EQ(w.gauge->value(), 42);
  EXPECT_EQ(w.gauge->palette().color(QPalette::Highlight), QColor(0, 0, 0xFF));

  // Back to the widget's own colour.
  view.Running.SetFontColor(kColorDefault);
  EXPECT_EQ(w.running->palette().color(QPalette::WindowText), w.window.palette().color(QPalette::WindowText));

  // Panels used as buttons show the model's bevel; size changes apply.
  view.Run_button.SetRaised(false);
  EXPECT_EQ(w.run->frameShadow(), QFrame::Sunken);
  view.Run_button.SetRaised(true);
  EXPECT_EQ(w.run->frameShadow(), QFrame::Raised);
  view.Run_button.SetWidth(120);
  EXPECT_EQ(w.run->geometry(), QRect(10, 10, 120, 30));

  // Lists grow by what was added and start over when the model replaces them.
  view.Msg_list.AddItem("Opening comport 3");
  view.Msg_list.AddItem("Testing USB Adapter connection...");
  ASSERT_EQ(w.list->count(), 2);
  EXPECT_EQ(w.list->item(1)->text(), "Testing USB Adapter connection...");
  view.Msg_list.SetItems({"only"});
  ASSERT_EQ(w.list->count(), 1);
  EXPECT_EQ(w.list->item(0)->text(), "only");

  EXPECT_EQ(binding.Unbound(), std::vector<std::string>{"NotInForm"});
}

TEST(ViewBinding, ButtonsWithoutLogicAreDisabledUntilAHandlerArrives) {
  SampleView view;
  SampleWindow w;
  ViewBinding binding(view, w.window);
  binding.Start();
  EXPECT_TRUE(binding.IsInert("Go"));
  EXPECT_FALSE(w.go->isEnabled());
  EXPECT_FALSE(w.extra->isEnabled()) << "buttons the model does not name need a handler too";
  EXPECT_FALSE(w.run->isEnabled());
  EXPECT_FALSE(w.spin->isEnabled());
  EXPECT_FALSE(w.action->isEnabled());
  EXPECT_TRUE(w.useFeed->isEnabled()) << "a check box holds state and is never inert";

  int clicks = 0;
  binding.OnClick("Go", [&] { ++clicks; });
  binding.OnClick("Extra", [&] { ++clicks; });
  binding.OnClick("Menu_entry", [&] { ++clicks; });
  EXPECT_TRUE(w.go->isEnabled());
  EXPECT_TRUE(w.extra->isEnabled());
  EXPECT_TRUE(w.action->isEnabled());
  // The model still decides: a disabled control stays disabled with a handler.
  view.Go.SetEnabled(false);
  EXPECT_FALSE(w.go->isEnabled());
  view.Go.SetEnabled(true);
  w.go->click();
  w.extra->click();
  w.action->trigger();
  EXPECT_EQ(clicks, 3);
}

TEST(ViewBinding, OperatorInputReachesTheModelAndTheLogic) {
  SampleView view;
  SampleWindow w;
  view.Use_feed.SetChecked(true);
  view.RadioA.SetChecked(true);
  view.Menu_entry.SetChecked(true);
  ViewBinding binding(view, w.window);
  std::vector<std::string> seen;
  binding.On("Edit", ControlEventKind::kChange, [&](const ControlEvent&) { seen.push_back("edit " + view.Edit.Caption()); });
  binding.OnClick("Use_feed", [&] { seen.push_back(view.Use_feed.Checked() ? "ticked" : "unticked"); });
  binding.OnClick("Menu_entry", [&] {
    // The logic owns a menu check mark: it sees the old state and decides.
    seen.push_back(view.Menu_entry.Checked() ? "entry was checked" : "entry was clear");
    view.Menu_entry.SetChecked(!view.Menu_entry.Checked());
  });
  binding.On("Spin", ControlEventKind::kSpinUp, [&](const ControlEvent&) { seen.push_back("up"); });
  binding.On("Spin", ControlEventKind::kSpinDown, [&](const ControlEvent&) { seen.push_back("down"); });
  binding.Start();
  w.window.show();
  EXPECT_TRUE(w.useFeed->isChecked());
  EXPECT_TRUE(w.action->isChecked());

  QTest::keyClicks(w.edit, "0.5");
  EXPECT_EQ(view.Edit.Caption(), "0.5");
  w.useFeed->click();
  EXPECT_FALSE(view.Use_feed.Checked());
  w.action->trigger();
  EXPECT_FALSE(w.action->isChecked());
  EXPECT_FALSE(view.Menu_entry.Checked());
  w.spin->UpButton()->click();
  w.spin->DownButton()->click();
  ASSERT_EQ(seen.size(), 7u);
  EXPECT_EQ(seen[2], "edit 0.5");
  EXPECT_EQ(seen[3], "unticked");
  EXPECT_EQ(seen[4], "entry was checked");
  EXPECT_EQ(seen[5], "up");
  EXPECT_EQ(seen[6], "down");

  // The logic may untick a whole radio group, which Qt's exclusive radios refuse by themselves.
  w.radioB->click();
  EXPECT_TRUE(view.RadioB.Checked());
  EXPECT_FALSE(view.RadioA.Checked());
  view.RadioB.SetChecked(false);
  EXPECT_FALSE(w.radioA->isChecked());
  EXPECT_FALSE(w.radioB->isChecked());

  // Nothing the model writes counts as the operator's input.
  seen.clear();
  view.Edit.SetCaption("1.0");
  view.Use_feed.SetChecked(true);
  EXPECT_EQ(w.edit->text(), "1.0");
  EXPECT_TRUE(seen.empty());
}

TEST(ViewBinding, APressEndsEvenWhenTheReleaseNeverComes) {
  SampleView view;
  SampleWindow w;
  ViewBinding binding(view, w.window);
  std::vector<std::string> seen;
  auto record = [&](const char* what) {
    return [&seen, what](const ControlEvent& e) { seen.push_back(std::string(what) + std::to_string(e.button)); };
  };
  binding.On("Run_button", ControlEventKind::kMouseDown, record("down"));
  binding.On("Run_button", ControlEventKind::kMouseUp, record("up"));
  binding.On("Run_button", ControlEventKind::kPressLost, record("lost"));
  binding.On("Run_button", ControlEventKind::kClick, record("click"));
  binding.Start();
  w.window.show();

  QTest::mousePress(w.run, Qt::LeftButton);
  EXPECT_EQ(w.run->frameShadow(), QFrame::Sunken) << "a held panel looks pressed";
  QTest::mouseRelease(w.run, Qt::LeftButton);
  EXPECT_EQ(w.run->frameShadow(), QFrame::Raised);
  QTest::mousePress(w.run, Qt::RightButton);
  QTest::mouseRelease(w.run, Qt::RightButton);
  EXPECT_EQ(seen, (std::vector<std::string>{"down0", "up0", "click0", "down1", "up1"}));

  // Hidden by the logic while held (a job started): the press is lost, not released.
  seen.clear();
  QTest::mousePress(w.run, Qt::LeftButton);
  view.Run_button.SetVisible(false);
  EXPECT_EQ(seen, (std::vector<std::string>{"down0", "lost0"}));
  view.Run_button.SetVisible(true);

  seen.clear();
  QTest::mousePress(w.run, Qt::LeftButton);
  view.Run_button.SetEnabled(false);
  EXPECT_EQ(seen, (std::vector<std::string>{"down0", "lost0"}));
  view.Run_button.SetEnabled(true);

  // The window losing the focus ends the press as well.
  seen.clear();
  QTest::mousePress(w.run, Qt::LeftButton);
  QEvent deactivate(QEvent::WindowDeactivate);
  QApplication::sendEvent(&w.window, &deactivate);
  EXPECT_EQ(seen, (std::vector<std::string>{"down0", "lost0"}));
  QTest::mouseRelease(w.run, Qt::LeftButton);
  EXPECT_EQ(seen.size(), 2u) << "the late release of a lost press is not a second end";
}

}  // namespace
}  // namespace wendlar::ui
