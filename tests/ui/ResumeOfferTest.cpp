// The console's offer, at start, to resume a job that did not complete: the question box as the
// operator sees it over the console once the simulated controller is ready, and Yes setting
// the job up to go on from its line when Run is pressed.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QPainter>
#include <QPen>
#include <QPixmap>
#include <QPushButton>

#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "link/serial/InProcessSerialPort.h"
#include "sim/SimController.h"
#include "support/ScriptedPrompts.h"
#include "support/TempDir.h"
#include "system/JobJournal.h"
#include "system/System.h"
#include "ui/Gui.h"
#include "ui/QtEventLoop.h"
#include "ui/QtPrompts.h"
#include "Shots.h"
#include "ui_Spool.h"

namespace wendlar::ui {
namespace {

// Shows the program's own Yes/No box over the console, takes the picture of both, answers Yes.
class PictureOfTheOffer : public testing::ScriptedPrompts {
 public:
  QWidget* console = nullptr;
  bool AskYesNo(const std::string& text) override {
    (void)ScriptedPrompts::AskYesNo(text);
    QtPrompts real(console);
    auto box = real.MakeMessageBox(QtPrompts::Question::kYesNo, text);
    box->show();
    box->move(console->geometry().center() - box->rect().center());
    QApplication::processEvents();
    QPixmap shot = console->grab();
    QPainter paint(&shot);
    // The box framed as the window manager would frame it.
    const QPoint at = console->mapFromGlobal(box->pos());
    paint.drawPixmap(at, box->grab());
    paint.setPen(QPen(QColor(80, 80, 80), 2));
    paint.drawRect(QRect(at, box->size()).adjusted(-1, -1, 0, 0));
    paint.end();
    EXPECT_EQ(box->defaultButton(), box->button(QMessageBox::Yes));
    const char* dir = std::getenv("WENDLAR_SHOTS_DIR");
    if (dir != nullptr) {
      EXPECT_TRUE(shot.save(QString::fromStdString((std::filesystem::path(dir) / "resume-offer.png").string())));
    }
    box->hide();
    return true;
  }
};

TEST(ResumeOffer, TheConsoleOffersTheStoppedJobOnceTheControllerIsReady) {
  testing::TempDir home;
  std::filesystem::create_directory(home.Path() / "jobs");
  home.Write("jobs/bracket.nc", "G20 G90\nG0 Z0.2\nG0 X1 Y1\nG1 Z-0.05 F20\nG1 X2 F40\nG1 Y2\nG1 X1\nG1 Y1\nG0 Z0.2\nM30\n");
  JournalJob job;
  job.File = (home.Path() / "jobs" / "bracket.nc").string();
  job.ModifiedNs = StampOf(job.File)->ModifiedNs;
  job.Size = StampOf(job.File)->Size;
  job.Line = 6;
  JobJournal journal{HomeDir(home.Path())};
  ASSERT_TRUE(journal.Begin(job));
  ASSERT_TRUE(journal.Finish(6, false, "Stop pressed!"));

  QtEventLoop loop;
  sim::SimController controller(loop);
  InProcessSerialPort ports(loop, controller, kFirstDevicePort);
  PictureOfTheOffer prompts;
  std::ostringstream out;
  System sys(loop, ports, prompts, HomeDir(home.Path()), out);
  Gui gui(sys);
  prompts.console = &gui.Console();
  gui.Start();
  gui.AutoConnectTo(kFirstDevicePort);
  ASSERT_TRUE(loop.WaitUntil([&] { return !prompts.Asked.empty(); }, 60000)) << sys.console.View.Progress.Caption();
  ASSERT_EQ(prompts.Asked.size(), 2u);
  EXPECT_EQ(prompts.Asked[0], "yes/no: Resume " + job.File + " from line 6 (last executed)");
  // The simulated controller has just been powered up.
  EXPECT_EQ(prompts.Asked[1].rfind("warning: The controller was powered up or reset since the job ran", 0), 0u);
  EXPECT_TRUE(sys.engines.ResumePending);
  EXPECT_EQ(sys.console.State.JobMode, 2);
  EXPECT_TRUE(gui.Console().Form().Run_button->isEnabled());
  EXPECT_EQ(sys.console.View.Com_list.Items().back(), "Ready to resume " + job.File + " from line 6: press Run");
}

}  // namespace
}  // namespace wendlar::ui
