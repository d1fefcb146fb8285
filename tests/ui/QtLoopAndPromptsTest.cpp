// The Qt side of the loop and prompt seams: the timer rules the logic relies on, and
// message boxes and file dialogs carrying the program's own texts.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QPushButton>
#include <QMessageBox>
#include <QTimer>

#include <vector>

#include "ui/QtEventLoop.h"
#include "Shots.h"
#include "ui/QtPrompts.h"

namespace wendlar::ui {
namespace {

TEST(QtEventLoop, ATimerNeverFiresWhileItsOwnHandlerPumps) {
  QtEventLoop loop;
  int ticks = 0;
  int nested = 0;
  int depth = 0;
  auto timer = loop.CreateTimer(5, true, [&] {
    ++ticks;
    ++depth;
    if (depth > 1) ++nested;
    // As every wait of the logic does: pump for several periods of this very timer.
    (void)loop.WaitUntil([] { return false; }, 40);
    --depth;
  });
  int otherTicks = 0;
  auto other = loop.CreateTimer(5, true, [&] { ++otherTicks; });
  ASSERT_TRUE(loop.WaitUntil([&] { return ticks >= 3; }, 2000));
  EXPECT_EQ(nested, 0);
  // Other timers keep running inside the handler's pumping.
  EXPECT_GT(otherTicks, ticks);
}

TEST(QtEventLoop, StoppedTimersStayQuietAndATimerMayEndItselfInItsHandler) {
  QtEventLoop loop;
  int fired = 0;
  auto stopped = loop.CreateTimer(5, false, [&] { ++fired; });
  (void)loop.WaitUntil([] { return false; }, 60);
  EXPECT_EQ(fired, 0);
  EXPECT_FALSE(stopped->Enabled());

  stopped->SetEnabled(true);
  ASSERT_TRUE(loop.WaitUntil([&] { return fired >= 2; }, 1000));
  stopped->SetEnabled(false);
  const int before = fired;
  (void)loop.WaitUntil([] { return false; }, 60);
  EXPECT_EQ(fired, before);

  // A handler that disables itself is not started again when it returns.
  int selfStopped = 0;
  std::unique_ptr<Timer> once;
  once = loop.CreateTimer(5, true, [&] {
    ++selfStopped;
    EXPECT_TRUE(once->InHandler());
    once->SetEnabled(false);
  });
  (void)loop.WaitUntil([] { return false; }, 80);
  EXPECT_EQ(selfStopped, 1);

  // One that destroys itself must not crash the loop.
  int gone = 0;
  std::unique_ptr<Timer> doomed;
  doomed = loop.CreateTimer(5, true, [&] {
    ++gone;
    doomed.reset();
  });
  (void)loop.WaitUntil([] { return false; }, 60);
  EXPECT_EQ(gone, 1);
  EXPECT_EQ(doomed, nullptr);
}

TEST(QtEventLoop, PostedWorkRunsAfterTheHandlerThatPostedItInOrder) {
  QtEventLoop loop;
  std::vector<std::string> order;
  auto timer = loop.CreateTimer(5, true, [&] {
    loop.Post([&] { order.push_back("first"); });
    loop.Post([&] { order.push_back("second"); });
    order.push_back("handler end");
  });
  ASSERT_TRUE(loop.WaitUntil([&] { return order.size() >= 3; }, 1000));
  timer->SetEnabled(false);
  ASSERT_GE(order.size(), 3u);
  EXPECT_EQ(order[0], "handler end");
  EXPECT_EQ(order[1], "first");
  EXPECT_EQ(order[2], "second");
}

TEST(QtEventLoop, WaitUntilEndsAtItsTimeoutAndTheClockIsMonotonic) {
  QtEventLoop loop;
  const int64_t start = loop.NowUs();
  EXPECT_FALSE(loop.WaitUntil([] { return false; }, 50));
  const int64_t waitedUs = loop.NowUs() - start;
  EXPECT_GE(waitedUs, 50000);
  EXPECT_LT(waitedUs, 1000000);

  bool done = false;
  QTimer::singleShot(20, [&] { done = true; });
  EXPECT_TRUE(loop.WaitUntil([&] { return done; }, 2000));

  // Changing the interval of a running timer restarts its period.
  int ticks = 0;
  auto slow = loop.CreateTimer(10000, true, [&] { ++ticks; });
  slow->SetInterval(5);
  EXPECT_EQ(slow->Interval(), 5);
  EXPECT_TRUE(loop.WaitUntil([&] { return ticks >= 1; }, 1000));
}

TEST(QtPrompts, FiltersBecomeQtNameFiltersInBothCases) {
  EXPECT_EQ(QtNameFilters("QuorLex Spooler|*.VRJ"), QStringList{"QuorLex Spooler (*.VRJ *.vrj)"});
  EXPECT_EQ(QtNameFilters("Gcode ( nc)|*.nc|Gcode (tap) |*.tap"),
            (QStringList{"Gcode ( nc) (*.nc *.NC)", "Gcode (tap) (*.tap *.TAP)"}));
  EXPECT_EQ(QtNameFilters("Points|*.q3d;*.txt"), QStringList{"Points (*.q3d *.Q3D *.txt *.TXT)"});
  EXPECT_TRUE(QtNameFilters("").isEmpty());
}

TEST(QtPrompts, MessageBoxesCarryTheTextTheTitleAndTheDocumentedButtons) {
  QtPrompts prompts;
  auto warning = prompts.MakeMessageBox(QtPrompts::Question::kWarning, "Door open Interlock");
  EXPECT_EQ(warning->text(), "Door open Interlock");
  EXPECT_EQ(warning->windowTitle(), "Wendlar ");
  EXPECT_EQ(warning->standardButtons(), QMessageBox::Ok);
  EXPECT_EQ(prompts.MakeMessageBox(QtPrompts::Question::kYesCancel, "Home XY axis, Are you sure ?")->standardButtons(),
            QMessageBox::Yes | QMessageBox::Cancel);
  EXPECT_EQ(prompts.MakeMessageBox(QtPrompts::Question::kYesNo, "q")->standardButtons(), QMessageBox::Yes | QMessageBox::No);

  // Answered the way an operator would: the box's own buttons decide the result.
  auto press = [](QMessageBox::StandardButton which) {
    QTimer::singleShot(50, [which] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) box->button(which)->click();
    });
  };
  press(QMessageBox::Yes);
  EXPECT_TRUE(prompts.AskYesCancel("Home Z axis, Are you sure ?"));
  press(QMessageBox::Cancel);
  EXPECT_FALSE(prompts.AskYesCancel("Home Z axis, Are you sure ?"));
  press(QMessageBox::No);
  EXPECT_FALSE(prompts.AskYesNo("Limit switches are Disabled, Enable them?"));

  // A job beyond the travel: Cancel is what Enter and Escape give.
  auto leaves = prompts.MakeMessageBox(QtPrompts::Question::kRunAnyway, "Job leaves the travel");
  EXPECT_EQ(leaves->button(QMessageBox::Yes)->text(), "Run anyway");
  EXPECT_EQ(leaves->defaultButton(), leaves->button(QMessageBox::Cancel));
  EXPECT_EQ(leaves->escapeButton(), leaves->button(QMessageBox::Cancel));
  leaves->setText("Job leaves the travel: X max 1.000 in is above 0.125 in\n"
                  "Job leaves the travel: Z min -0.510 in is below -0.500 in");
  SaveShot(leaves.get(), "travel-run-anyway.png");
  press(QMessageBox::Yes);
  EXPECT_TRUE(prompts.AskRunAnyway("Job leaves the travel"));
  press(QMessageBox::Cancel);
  EXPECT_FALSE(prompts.AskRunAnyway("Job leaves the travel"));
}

TEST(QtPrompts, FileDialogsTakeTitleFilterDirectorySuffixAndOverwriteRule) {
  QtPrompts prompts;
  FileDialog open{"Open Gcode file", "Gcode ( nc)|*.nc|Gcode (tap) |*.tap", "*.NC", "nc", "/tmp", false};
  auto dialog = prompts.MakeFileDialog(open, false);
  EXPECT_EQ(dialog->windowTitle(), "Open Gcode file");
  EXPECT_EQ(dialog->nameFilters().size(), 2);
  EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptOpen);
  EXPECT_EQ(dialog->fileMode(), QFileDialog::ExistingFile);
  EXPECT_EQ(dialog->defaultSuffix(), "nc");
  EXPECT_EQ(dialog->directory().absolutePath(), "/tmp");

  FileDialog save{"", "Machine|*.MAC", "Default.MAC", "MAC", "", true};
  auto asked = prompts.MakeFileDialog(save, true);
  EXPECT_EQ(asked->windowTitle(), "Save As");
  EXPECT_EQ(asked->acceptMode(), QFileDialog::AcceptSave);
  EXPECT_FALSE(asked->testOption(QFileDialog::DontConfirmOverwrite));
  save.ConfirmOverwrite = false;
  EXPECT_TRUE(prompts.MakeFileDialog(save, true)->testOption(QFileDialog::DontConfirmOverwrite));
}

}  // namespace
}  // namespace wendlar::ui
