// The job journal: what it keeps on disk, what it refuses to trust, and the console's offer
// to resume a stopped job at the next start, on the simulated controller.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "support/ChildProcess.h"
#include "support/SimSystem.h"
#include "system/JobJournal.h"
#include "system/JobResume.h"

namespace wendlar::testing {
namespace {

namespace fs = std::filesystem;

TEST(JobJournalFile, KeepsTheJobAndItsLineWithinAFewKilobytesAndTrustsNothingDamaged) {
  TempDir dir;
  dir.Write("part.nc", "G0 X1\n");
  const HomeDir home(dir.Path());
  JobJournal journal(home);
  JournalJob job;
  job.File = (dir.Path() / "part.nc").string();
  job.ModifiedNs = StampOf(job.File)->ModifiedNs;
  job.Size = 6;
  job.Fixture = 2;
  job.OffsetX = 1.5;
  ASSERT_TRUE(journal.Begin(job));
  ASSERT_TRUE(journal.Note(5, 0));
  ASSERT_TRUE(journal.Note(6, 999'999));  // within the second: not written
  ASSERT_TRUE(journal.Note(7, 1'000'000));
  const std::string text = dir.Read("Journal.lst");
  EXPECT_EQ(text.substr(0, 33), "Wendlar job journal 1 #2A6B83ED\r\n");
  EXPECT_NE(text.find("Job gcode size 6 modified " + std::to_string(job.ModifiedNs) +
                      " units inch fixture 2 1.500000 0.000000 file " + job.File + " #"),
            std::string::npos);
  EXPECT_EQ(text.substr(text.size() - 36), "Line 5 #C06D9C30\r\nLine 7 #C26D9F56\r\n");
  JournalRead read = ReadJournal(home);
  ASSERT_EQ(read.State, JournalState::Open) << read.Problem;
  EXPECT_EQ(read.Job.Line, 7);
  EXPECT_EQ(read.Job.Fixture, 2);
  EXPECT_EQ(read.Job.File, job.File);

  // Power lost while a line was written: the synced lines before it stand.
  dir.Write("Journal.lst", text + "Line 9 #8");
  EXPECT_EQ(ReadJournal(home).Job.Line, 7);
  // A line whose check fails, or a journal that is not one, is not trusted at all.
  std::string altered = text;
  altered.replace(altered.rfind("Line 7"), 6, "Line 8");
  dir.Write("Journal.lst", altered);
  read = ReadJournal(home);
  EXPECT_EQ(read.State, JournalState::Damaged);
  EXPECT_EQ(read.Problem, "line 4 fails its check");
  dir.Write("Journal.lst", "G0 X1\r\n");
  EXPECT_EQ(ReadJournal(home).State, JournalState::Damaged);

  // A long job is written anew once it passes a few kilobytes; its last line survives.
  ASSERT_TRUE(journal.Begin(job));
  for (int line = 1; line <= 400; ++line) ASSERT_TRUE(journal.Note(line, line * 1'000'000LL));
  EXPECT_LE(fs::file_size(dir.Path() / "Journal.lst"), kJournalCompactBytes + 64);
  EXPECT_EQ(ReadJournal(home).Job.Line, 400);
  ASSERT_TRUE(journal.Finish(401, true, ""));
  EXPECT_EQ(ReadJournal(home).State, JournalState::Completed);

  // The file as it is now against the file as it ran.
  EXPECT_EQ(FileChangeProblem(job), "");
  dir.Write("part.nc", "G0 X2\n");
  EXPECT_NE(FileChangeProblem(job).find("has changed since the job ran"), std::string::npos);
  dir.Write("part.nc", "G0 X22\n");
  EXPECT_EQ(FileChangeProblem(job), job.File + " has changed since the job ran (6 bytes then, 7 now)");
}

// Runs `file` (opened first unless it is prepared already) with the journal on, stops it once
// the machine is on `stopAt` or later, and returns the journal it leaves.
JournalRead StoppedRun(SimSystem& rig, const fs::path& file, int stopAt, bool open = true) {
  System& sys = *rig.sys;
  sys.resume.EnableJournal();
  const bool spool = file.extension() == ".vrj";
  if (open) {
    sys.consoleSettings.ChooseJobMode(spool ? 1 : 2);
    rig.prompts.Paths.push_back(file.string());
    if (spool) {
      sys.run.OpenSpoolFile();
    } else {
      sys.run.OpenGcodeFile();
    }
  }
  rig.loop.Post([&] { sys.run.RunJob(); });
  const JobProgress& progress = sys.status.Run.Progress;
  EXPECT_TRUE(rig.RunUntil([&] { return progress.Running() && progress.ExecutedLine() >= stopAt; }, 120000));
  sys.run.EmergencyStop();
  EXPECT_TRUE(rig.RunUntil([&] { return !sys.console.State.JobActive && sys.console.State.Operation == LongOperation::None; },
                           30000));
  return ReadJournal(sys.home);
}

struct ResumeOffer : ::testing::Test {
  SimSystem first;
  // A console started in the first one's program directory, up to the controller's "Ready".
  std::unique_ptr<SimSystem> Restart() {
    auto rig = std::make_unique<SimSystem>();
    fs::copy_file(first.dir.Path() / "Journal.lst", rig->dir.Path() / "Journal.lst");
    rig->sys->Start();
    EXPECT_TRUE(rig->ConnectAndInitialise());
    (void)rig->RunUntil([&] { return !rig->prompts.Asked.empty(); }, 2000);
    return rig;
  }
};

TEST_F(ResumeOffer, AStoppedJobIsOfferedAtTheNextStartAndResumesAtItsLineUnlessItsFileChanged) {
  ASSERT_TRUE(first.ConnectAndInitialise());
  first.dir.Write("demo.nc", first.dir.Read((ExamplesDir() / "demo.nc").string()));
  const fs::path job = first.dir.Path() / "demo.nc";
  const JournalRead stopped = StoppedRun(first, job, 12);
  ASSERT_EQ(stopped.State, JournalState::Open);
  // The line the machine was on when it stopped, not a line streamed ahead of it.
  EXPECT_EQ(stopped.Job.Line, first.sys->status.Run.Progress.ExecutedLine());
  EXPECT_GE(stopped.Job.Line, 12);
  EXPECT_FALSE(stopped.Job.Ended.empty());
  const std::string line = std::to_string(stopped.Job.Line);

  auto rig = Restart();
  System& sys = *rig->sys;
  // A controller just powered up no longer knows where the stopped job left the machine.
  ASSERT_EQ(rig->prompts.Asked,
            (std::vector<std::string>{"yes/no: Resume " + job.string() + " from line " + line + " (last executed)",
                                      "warning: " + std::string(kHomeBeforeResume) +
                                          " Home the machine before you press Run."}));
  EXPECT_TRUE(sys.engines.ResumePending);
  EXPECT_EQ(sys.console.View.Com_list.Items().back(), "Ready to resume " + job.string() + " from line " + line + ": press Run");
  const size_t from = rig->sim.TraceRecords().size();
  sys.run.RunJob();
  ASSERT_TRUE(rig->RunUntil([&] { return !sys.console.State.JobActive && !rig->sim.JobRunning(); }, 120000));
  EXPECT_TRUE(sys.status.Run.JobCompleted);
  EXPECT_EQ(ReadJournal(sys.home).State, JournalState::Completed);
  // The resume move first: up to the safe height before anything else moves.
  for (const auto& r : rig->Records(from)) {
    if (r[0] == 21 || r[0] == 20 || r[0] == 22) {
      EXPECT_EQ(r[0], 21);
      break;
    }
  }

  // The same journal once the job file was saved again: said, and nothing is asked.
  std::ofstream(job, std::ios::app) << "(edited)\n";
  auto changed = Restart();
  ASSERT_EQ(changed->prompts.Asked.size(), 1u);
  EXPECT_EQ(changed->prompts.Asked[0].rfind("warning: Cannot resume " + job.string() + " from line " + line +
                                                ": " + job.string() + " has changed since the job ran",
                                            0),
            0u)
      << changed->prompts.Asked[0];
  EXPECT_FALSE(changed->sys->engines.ResumePending);

  // A damaged journal is set aside with a message.
  first.dir.Write("Journal.lst", "Wendlar job journal 1 #00000000\r\n");
  auto damaged = Restart();
  EXPECT_TRUE(damaged->prompts.Asked.empty());
  EXPECT_EQ(damaged->sys->console.View.Com_list.Items().back(), "Job journal Journal.lst ignored: line 1 fails its check");
}

TEST(ResumeSpool, AResumedSpoolerJobGoesOnNumberingItsRecordsFromTheResumeRecord) {
  SimSystem rig;
  ASSERT_TRUE(rig.ConnectAndInitialise());
  System& sys = *rig.sys;
  auto runToEnd = [&] {
    sys.run.RunJob();
    return rig.RunUntil([&] { return !sys.console.State.JobActive && !rig.sim.JobRunning(); }, 120000);
  };
  // The whole job once: the number of its last record.
  sys.consoleSettings.ChooseJobMode(1);
  ASSERT_TRUE(sys.run.ChooseSpoolFile((ExamplesDir() / "demo.vrj").string()));
  ASSERT_TRUE(runToEnd());
  const int last = sys.status.Run.Progress.ExecutedLine();

  const JournalRead stopped = StoppedRun(rig, ExamplesDir() / "demo.vrj", 5);
  ASSERT_EQ(stopped.State, JournalState::Open);
  std::string error;
  ASSERT_TRUE(sys.resume.PrepareResume(stopped.Job, error)) << error;
  ASSERT_TRUE(runToEnd());
  EXPECT_TRUE(sys.status.Run.JobCompleted);
  EXPECT_EQ(sys.status.Run.Progress.ExecutedLine(), last);
  EXPECT_EQ(sys.console.View.Gline_lab.Caption(), "Line # " + std::to_string(last));
}

}  // namespace
}  // namespace wendlar::testing
