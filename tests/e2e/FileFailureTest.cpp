// Files the program cannot write: a settings file that is a folder, a full disk, a folder
// nobody may write in. Each failure names the file and the reason where the operator reads
// it, once, and nothing already on disk is lost.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "job/SpoolFile.h"
#include "support/ChildProcess.h"
#include "support/SimSystem.h"

namespace wendlar::testing {
namespace {

namespace fs = std::filesystem;

size_t Count(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

size_t CountItems(const std::vector<std::string>& items, const std::string& text) {
  return static_cast<size_t>(std::count(items.begin(), items.end(), text));
}

// What the program writes on its own, each replaced by a folder: a connection (Spooler.cfg),
// an initialisation (Speed_table.txt), runs with the debug log on (debug.txt) and the fault
// history of their ends (History.lst). Two runs: each failure is said once, not per run.
TEST(FileFailure, FilesWrittenInTheBackgroundThatAreFoldersAreSaidOnceWithTheirReason) {
  SimSystem rig;
  System& sys = *rig.sys;
  std::ostringstream errors;
  sys.errors = &errors;
  for (const char* name : {"Spooler.cfg", "Speed_table.txt", "debug.txt", "History.lst"}) {
    fs::create_directory(rig.dir.Path() / name);
  }
  ASSERT_TRUE(rig.ConnectAndInitialise());
  sys.run.Hooks.DebugFileEnabled = [] { return true; };
  ASSERT_TRUE(WriteSpoolFile(rig.dir.Path() / "job.vrj", {{kSpoolBorder, 0, 0, 10, 10},
                                                           {kSpoolZLimits, -10, 0},
                                                           {kSpoolDwell, 250},
                                                           {kSpoolLaserOn},
                                                           {kSpoolLaserOff}}));
  sys.consoleSettings.ChooseJobMode(1);
  rig.prompts.Paths.push_back((rig.dir.Path() / "job.vrj").string());
  sys.run.OpenSpoolFile();
  for (int run = 0; run < 2; ++run) {
    sys.run.RunJob();
    ASSERT_TRUE(rig.RunUntil([&] { return !sys.console.State.JobActive && !rig.sim.JobRunning(); }, 60000));
  }

  const std::string dir = rig.dir.Path().string();
  const std::vector<std::string> said = {
      "Cannot save Spooler.cfg: " + dir + "/Spooler.cfg is a folder",
      "Cannot save " + dir + "/Speed_table.txt: it is a folder",
      "Cannot write the debug log " + dir + "/debug.txt: Is a directory; the log is in " + dir + "/debug.txt.part",
      "Cannot add to " + dir + "/History.lst: Is a directory",
  };
  const auto& messages = sys.console.View.Com_list.Items();
  for (const std::string& text : said) {
    EXPECT_EQ(CountItems(messages, text), 1u) << text;
    EXPECT_EQ(Count(errors.str(), text + "\n"), 1u) << errors.str();
  }
  for (const char* name : {"Spooler.cfg", "Speed_table.txt", "debug.txt", "History.lst"}) {
    EXPECT_TRUE(fs::is_directory(rig.dir.Path() / name)) << name;
  }
  // The run's log is kept under its working name.
  EXPECT_EQ(SplitLines(rig.dir.Read("debug.txt.part")).size(), 3u);
  EXPECT_EQ(sys.jumpbox.View.Fault_list.Items().size(), 4u);  // each run's job name and its end
}

// The saves the operator asks for, on a disk with no room left: a warning with the file and
// the reason, and the old file whole, with no temporary file left beside it.
TEST(FileFailure, AFullDiskKeepsEveryOldFileWhole) {
  SimSystem rig;
  System& sys = *rig.sys;
  std::ostringstream errors;
  sys.errors = &errors;
  struct Save {
    const char* file;
    std::function<void()> press;
    std::string warning;
  };
  const std::string dir = rig.dir.Path().string();
  sys.config.MacFileName = "Router.MAC";
  const std::vector<Save> saves = {
      {"Offsets.cfg", [&] { sys.jumpbox.SaveClick(); }, "Cannot save Offsets.cfg: No space left on device"},
      {"Spooler.cfg", [&] { sys.environment.SaveSetupClick(); }, "Cannot save Spooler.cfg: No space left on device"},
      {"material.lst", [&] { sys.materials.Save_itClick(); },
       "Material file save error # material.lst: No space left on device"},
      {"Router.MAC", [&] { sys.setup.SavecfgClick(); },
       "Error writing config file\nRouter.MAC: No space left on device"},
  };
  for (const Save& s : saves) rig.dir.Write(s.file, std::string("old ") + s.file + "\r\n");
  rig.dir.Write("History.lst", "earlier fault\r\n");
  sys.home.LimitFreeSpace(20);

  for (const Save& s : saves) {
    rig.prompts.Asked.clear();
    s.press();
    EXPECT_EQ(rig.prompts.Asked, std::vector<std::string>{"warning: " + s.warning}) << s.file;
    EXPECT_EQ(rig.dir.Read(s.file), std::string("old ") + s.file + "\r\n");
  }
  sys.jumpbox.AddFaultHistory("Servo Fault");
  EXPECT_EQ(rig.dir.Read("History.lst"), "earlier fault\r\n");
  EXPECT_EQ(errors.str(), "Material file save error # material.lst: No space left on device\nCannot add to " + dir +
                              "/History.lst: No space left on device\n");

  size_t files = 0;
  for ([[maybe_unused]] const auto& e : fs::directory_iterator(rig.dir.Path())) ++files;
  EXPECT_EQ(files, saves.size() + 1) << "a temporary file was left behind";
}

// The command line says it on standard error: `run` in a program folder whose history and
// table files are folders still runs the job, and says each file once.
TEST(FileFailure, RunSaysFileFailuresOnStandardError) {
  if (CliProgram().empty()) GTEST_SKIP() << "wendlar-cli is not built";
  TempDir home;
  fs::create_directory(home.Path() / "History.lst");
  fs::create_directory(home.Path() / "Speed_table.txt");
  const fs::path errorsFile = home.Path() / "stderr.txt";
  ChildProcess child;
  const std::string command = "exec '" + CliProgram() + "' --home '" + home.Path().string() + "' run '" +
                              (ExamplesDir() / "demo.nc").string() + "' --simulator --fast 2>'" +
                              errorsFile.string() + "'";
  ASSERT_TRUE(child.Start({"/bin/sh", "-c", command}));
  const std::string output = child.ReadAll(60000);
  EXPECT_EQ(child.Wait(5000), 0) << output;
  std::ifstream in(errorsFile);
  const std::string errors((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(Count(errors, "Cannot add to " + (home.Path() / "History.lst").string() + ": Is a directory\n"), 1u)
      << errors;
  EXPECT_EQ(Count(errors, "Cannot save " + (home.Path() / "Speed_table.txt").string() + ": it is a folder\n"), 1u)
      << errors;
}

}  // namespace
}  // namespace wendlar::testing
