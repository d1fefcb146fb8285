#include "system/JobResume.h"

#include <cmath>
#include <cstdio>
#include <filesystem>

#include "system/System.h"

namespace wendlar {

namespace {

// How often the machine's line is looked at; the journal itself writes at most once a second.
constexpr int kJournalTickMs = 250;

std::string Offset(double x, double y) {
  char text[64];
  std::snprintf(text, sizeof text, "X %.4f Y %.4f", x, y);
  return text;
}

std::string FixtureName(int fixture) { return "G" + std::to_string(53 + fixture); }

}  // namespace

const char* const kHomeBeforeResume =
    "The controller was powered up or reset since the job ran: where the machine stands is not the job's "
    "until it is homed.";

JobResume::JobResume(System& sys) : sys_(sys), journal_(sys.home) {
  timer_ = sys_.loop.CreateTimer(kJournalTickMs, false, [this] { Tick(); });
}

JobResume::~JobResume() = default;

void JobResume::BeginJob(bool spool) {
  if (!journalOn_) return;
  JobEngines& engines = sys_.engines;
  // A G-code job that goes on after a tool change is still the job journalled at its start.
  if (!spool && engines.Continuing() && !engines.ResumePending && journal_.Active()) return;
  const ConsoleState& s = sys_.console.State;
  std::error_code ec;
  const std::filesystem::path file = std::filesystem::absolute(spool ? s.SpoolFileName : s.GcodeFileName, ec);
  const auto stamp = StampOf(file);
  if (ec || !stamp) return;  // the engine says why it cannot read the job
  JournalJob job;
  job.File = file.string();
  job.Spool = spool;
  job.ModifiedNs = stamp->ModifiedNs;
  job.Size = stamp->Size;
  job.Metric = sys_.config.Units.UnitsFactor == 100;
  job.Fixture = sys_.offsets.ActiveFixture;
  job.OffsetX = sys_.offsets.ActiveOffsetX;
  job.OffsetY = sys_.offsets.ActiveOffsetY;
  // A resumed run is on its first line before the machine has done anything of it.
  const int before = spool ? engines.Run.LineCounter : std::max(0, engines.GcodeLineRead());
  job.Line = engines.ResumePending ? before + 1 : 0;
  std::string why;
  if (!journal_.Begin(job, &why)) {
    if (!journalFailShown_) sys_.console.ShowMessage("Job journal " + std::string(kJournalFile) + " cannot be written: " + why);
    journalFailShown_ = true;
    return;
  }
  timer_->SetEnabled(true);
}

void JobResume::Tick() {
  const JobProgress& progress = sys_.status.Run.Progress;
  if (!journal_.Active()) {
    timer_->SetEnabled(false);
    return;
  }
  if (progress.Running() && progress.ExecutedLine() > 0) (void)journal_.Note(progress.ExecutedLine(), sys_.loop.NowUs());
}

void JobResume::JobEnded() {
  if (!journal_.Active()) return;
  const RunState& run = sys_.status.Run;
  const int line = std::max(run.Progress.ExecutedLine(), journal_.Job().Line);
  // Stopped for a manual tool change: Continue goes on with the same job.
  if (run.ToolChangeStop && sys_.engines.Continuing()) {
    (void)journal_.Note(line, sys_.loop.NowUs(), true);
    return;
  }
  std::string reason = run.EndReason;
  if (reason.empty()) reason = sys_.console.View.Running.Caption();
  (void)journal_.Finish(line, run.JobCompleted, reason);
  timer_->SetEnabled(false);
}

void JobResume::ControllerReady(bool reset) {
  if (!readySeen_) controllerWasReset_ = reset;
  readySeen_ = true;
  if (!offerArmed_) return;
  offerArmed_ = false;
  // Not from inside the initialisation's timer: the question waits for its handler to end.
  sys_.loop.Post([this] { OfferResume(); });
}

void JobResume::OfferResume() {
  const ConsoleState& s = sys_.console.State;
  if (s.Operation != LongOperation::None || s.JobActive || sys_.flags.Closing) return;
  const JournalRead read = ReadJournal(sys_.home);
  if (read.State == JournalState::Damaged) {
    sys_.console.ShowMessage("Job journal " + std::string(kJournalFile) + " ignored: " + read.Problem);
    return;
  }
  if (read.State != JournalState::Open || read.Job.Line < 1) return;
  const JournalJob& job = read.Job;
  const std::string what = job.File + " from line " + std::to_string(job.Line);
  const std::string problem = ResumeProblem(job);
  if (!problem.empty()) {
    sys_.prompts.Warning("Cannot resume " + what + ": " + problem);
    return;
  }
  if (!sys_.prompts.AskYesNo("Resume " + what + " (last executed)")) return;
  std::string error;
  if (!PrepareResume(job, error)) {
    sys_.prompts.Warning("Cannot resume " + what + ": " + error);
    return;
  }
  sys_.console.ShowMessage("Ready to resume " + what + ": press Run");
  if (controllerWasReset_) sys_.prompts.Warning(std::string(kHomeBeforeResume) + " Home the machine before you press Run.");
}

std::string JobResume::ResumeProblem(const JournalJob& job) const {
  std::string problem = FileChangeProblem(job);
  if (!problem.empty()) return problem;
  const bool metric = sys_.config.Units.UnitsFactor == 100;
  if (metric != job.Metric) {
    return std::string("the job ran in ") + (job.Metric ? "millimetres" : "inches") + ", the machine is set to " +
           (metric ? "millimetres" : "inches") + " now";
  }
  const OffsetXY& now = sys_.offsets.WorkOffsets[static_cast<size_t>(job.Fixture - 1)];
  // The journal keeps six decimals.
  if (std::fabs(now.X - job.OffsetX) > 1e-6 || std::fabs(now.Y - job.OffsetY) > 1e-6) {
    return "work offset " + FixtureName(job.Fixture) + " is " + Offset(now.X, now.Y) + " now, the job ran at " +
           Offset(job.OffsetX, job.OffsetY);
  }
  return "";
}

void JobResume::UseJournalledOffset(const JournalJob& job) {
  WorkOffsetState& o = sys_.offsets;
  const OffsetXY& w = o.WorkOffsets[static_cast<size_t>(job.Fixture - 1)];
  o.ActiveFixture = job.Fixture;
  o.ActiveOffsetX = w.X;
  o.ActiveOffsetY = w.Y;
  sys_.jumpbox.SelectFixture(job.Fixture);
  sys_.console.ShowActiveOffset(job.Fixture, w.X, w.Y);
}

bool JobResume::PrepareResume(const JournalJob& job, std::string& error) {
  error = ResumeProblem(job);
  if (!error.empty()) return false;
  UseJournalledOffset(job);
  sys_.consoleSettings.ChooseJobMode(job.Spool ? 1 : 2);
  const bool opened = job.Spool ? sys_.run.ChooseSpoolFile(job.File) : sys_.run.PrepareGcodeFile(job.File);
  if (!opened) {
    error = "it cannot be opened";
    return false;
  }
  sys_.engines.ResumePending = false;
  if (job.Line <= 1) return true;  // nothing before the first line: it runs from the start
  const bool resumed =
      job.Spool ? sys_.engines.ResumeSpoolAtRecord(job.Line) : sys_.engines.ResumeGcodeAtLine(job.Line);
  if (!resumed) error = std::string("the job does not reach ") + (job.Spool ? "record " : "line ") + std::to_string(job.Line);
  return resumed;
}

bool JobResume::PrepareGcodeFile(const std::string& path) { return sys_.engines.PrepareGcodeFile(path); }
void JobResume::CloseGcodeFile() { sys_.engines.CloseGcodeFile(); }
bool JobResume::ScanSpoolFile(const std::string& path) { return sys_.engines.ScanSpoolFile(path); }
void JobResume::CloseSpoolFile() { sys_.engines.CloseSpoolFile(); }
void JobResume::ResetRunCounters() { sys_.engines.ResetRunCounters(); }
bool JobResume::PreflightJob() { return sys_.engines.PreflightJob(); }
std::string JobResume::JobLeavesTravel() const { return sys_.engines.JobLeavesTravel(); }

void JobResume::RunGcodeJob() {
  BeginJob(false);
  sys_.engines.RunGcodeJob();
}

void JobResume::RunSpoolJob() {
  BeginJob(true);
  sys_.engines.RunSpoolJob();
}

}  // namespace wendlar
