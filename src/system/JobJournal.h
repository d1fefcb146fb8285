// The job journal (Journal.lst): which job runs and the line the machine is on, kept on disk
// so that a job ended by a stop, a fault, a lost controller, a killed host or a power loss
// can be resumed where the machine was.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "core/HomeDir.h"

namespace wendlar {

inline constexpr const char* kJournalFile = "Journal.lst";
// Past this size the journal is written anew with only the job and its last line.
inline constexpr uintmax_t kJournalCompactBytes = 4096;
// Lines are noted at most this often; the end of a job is written at once.
inline constexpr int64_t kJournalIntervalUs = 1'000'000;

// A job as the journal keeps it.
struct JournalJob {
  std::string File;         // absolute path
  bool Spool = false;       // numbered by spooler records rather than G-code lines
  int64_t ModifiedNs = 0;   // the file's modification time when the job started
  uintmax_t Size = 0;
  bool Metric = false;      // the configuration's units
  int Fixture = 1;          // the active work offset and its values
  double OffsetX = 0, OffsetY = 0;
  int Line = 0;             // the last line (record) the machine executed; 0 before any
  bool Completed = false;
  std::string Ended;        // why a job that did not complete ended, when the host saw it end
};

enum class JournalState { None, Damaged, Completed, Open };

struct JournalRead {
  JournalState State = JournalState::None;
  JournalJob Job;
  std::string Problem;  // why a damaged journal is not trusted
};

// Reads the journal. A last line cut short without its line end (power lost while it was
// written) is left out; anything else that does not check out makes the journal Damaged.
[[nodiscard]] JournalRead ReadJournal(const HomeDir& home);

// The modification time and size of a file now; nothing when it cannot be read.
struct FileStamp {
  int64_t ModifiedNs = 0;
  uintmax_t Size = 0;
};
[[nodiscard]] std::optional<FileStamp> StampOf(const std::filesystem::path& file);

// Why the journalled job cannot be resumed against the file as it is now; empty when it can.
[[nodiscard]] std::string FileChangeProblem(const JournalJob& job);

// Writes the journal: every write is synced to the disk before it returns.
class JobJournal {
 public:
  explicit JobJournal(HomeDir home) : home_(std::move(home)) {}

  // A job starts (at job.Line when it resumes): the journal is written anew with this job
  // alone. False (with the reason) when it cannot be written; the job runs on unjournalled.
  [[nodiscard]] bool Begin(const JournalJob& job, std::string* why = nullptr);
  // The machine is on `line`; appended when it changed and a second has passed since the
  // last line written (at once when `now` is set).
  [[nodiscard]] bool Note(int line, int64_t nowUs, bool now = false);
  // The job's end: its last line and whether it completed, or why it did not.
  [[nodiscard]] bool Finish(int line, bool completed, const std::string& reason);
  // A job is journalled and has not been finished.
  bool Active() const { return active_; }
  const JournalJob& Job() const { return job_; }

 private:
  bool Append(const std::string& lines);
  bool Rewrite(std::string* why);

  HomeDir home_;
  JournalJob job_;
  bool active_ = false;
  int written_ = 0;          // the last line in the file
  int64_t writtenUs_ = INT64_MIN / 2;
};

// One journal line with its check: "<text> #<8 hex digits>".
std::string JournalLine(const std::string& text);

}  // namespace wendlar
