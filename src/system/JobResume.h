// Resume after any stop or crash: journals every job run control starts, checks a journalled
// job against the files and settings of now, and prepares the run that goes on from the line
// the machine was on; the console's offer of it once the controller is ready.
#pragma once

#include <memory>
#include <string>

#include "console/RunControl.h"
#include "core/EventLoop.h"
#include "system/JobJournal.h"

namespace wendlar {

class System;

// Said before a resume on a controller that has lost the stopped job's position.
extern const char* const kHomeBeforeResume;

// Stands between run control and the engines (run control's JobRunner), so that every job
// it starts is journalled.
class JobResume : public JobRunner {
 public:
  explicit JobResume(System& sys);
  ~JobResume() override;
  JobResume(const JobResume&) = delete;
  JobResume& operator=(const JobResume&) = delete;

  // Jobs are journalled from now on. The console and `wendlar-cli run` turn it on; runs on
  // simulated time (estimates, tests) leave a real machine's journal alone.
  void EnableJournal() { journalOn_ = true; }
  const JobJournal& Journal() const { return journal_; }

  // The status reaction's end of a job: its last line and how it ended go to the journal.
  void JobEnded();

  // The console offers the resume once, the first time the controller is ready after start.
  void ArmOffer() { offerArmed_ = true; }
  // The initialisation brought the controller to "Ready" (`reset`: from a power-up or a
  // reset); posts the offer when armed.
  void ControllerReady(bool reset);
  // The controller was powered up or reset before its first initialisation of this run of
  // the program: the machine's position is no longer the stopped job's until it is homed.
  bool ControllerWasReset() const { return controllerWasReset_; }
  // Reads the journal and, for a job that did not complete, asks the operator whether to
  // resume it; Yes prepares the run (Run then starts it). A damaged journal or a changed file
  // is said in the message list or a warning. Also called by the offer.
  void OfferResume();

  // Why the journalled job cannot be resumed now (changed file, other units, changed work
  // offset); empty when it can.
  [[nodiscard]] std::string ResumeProblem(const JournalJob& job) const;
  // Makes the journalled job's work offset the active one.
  void UseJournalledOffset(const JournalJob& job);
  // Opens the journalled job in its mode, pre-flights it and sets up the resume at its
  // line (from the start when the machine was on the first line). False with the reason.
  [[nodiscard]] bool PrepareResume(const JournalJob& job, std::string& error);

  // JobRunner: the engines' own, with the journal's start of a job.
  bool PrepareGcodeFile(const std::string& path) override;
  void CloseGcodeFile() override;
  bool ScanSpoolFile(const std::string& path) override;
  void CloseSpoolFile() override;
  void ResetRunCounters() override;
  void RunGcodeJob() override;
  void RunSpoolJob() override;
  bool PreflightJob() override;
  std::string JobLeavesTravel() const override;

 private:
  void BeginJob(bool spool);
  void Tick();

  System& sys_;
  JobJournal journal_;
  std::unique_ptr<Timer> timer_;
  bool journalOn_ = false;
  bool offerArmed_ = false;
  bool readySeen_ = false;
  bool controllerWasReset_ = false;
  bool journalFailShown_ = false;
};

}  // namespace wendlar
