#include "system/JobJournal.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <vector>

namespace wendlar {

namespace fs = std::filesystem;

namespace {

constexpr const char* kHeader = "Wendlar job journal 1";

uint32_t Fnv1a(const std::string& text) {
  uint32_t h = 2166136261u;
  for (unsigned char c : text) {
    h ^= c;
    h *= 16777619u;
  }
  return h;
}

// The text of a journal line whose check matches; nothing otherwise.
std::optional<std::string> Checked(const std::string& line) {
  const size_t mark = line.rfind(" #");
  if (mark == std::string::npos || line.size() != mark + 10) return std::nullopt;
  const std::string text = line.substr(0, mark);
  char expected[9];
  std::snprintf(expected, sizeof expected, "%08X", Fnv1a(text));
  if (line.compare(mark + 2, 8, expected) != 0) return std::nullopt;
  return text;
}

std::string FormatOffset(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.6f", v);
  return text;
}

std::string JobText(const JournalJob& j) {
  return std::string("Job ") + (j.Spool ? "spool" : "gcode") + " size " + std::to_string(j.Size) + " modified " +
         std::to_string(j.ModifiedNs) + " units " + (j.Metric ? "mm" : "inch") + " fixture " +
         std::to_string(j.Fixture) + " " + FormatOffset(j.OffsetX) + " " + FormatOffset(j.OffsetY) + " file " + j.File;
}

// Parses the text of a "Job" line; false when any field is missing or out of range.
bool ParseJob(const std::string& text, JournalJob& job) {
  const std::string fileMark = " file ";
  const size_t file = text.find(fileMark);
  if (file == std::string::npos) return false;
  job.File = text.substr(file + fileMark.size());
  std::istringstream in(text.substr(0, file));
  std::string word, kind, sizeKey, modifiedKey, unitsKey, units, fixtureKey;
  in >> word >> kind >> sizeKey >> job.Size >> modifiedKey >> job.ModifiedNs >> unitsKey >> units >> fixtureKey >>
      job.Fixture >> job.OffsetX >> job.OffsetY;
  std::string rest;
  if (!in || (in >> rest) || word != "Job" || sizeKey != "size" || modifiedKey != "modified" || unitsKey != "units" ||
      fixtureKey != "fixture")
    return false;
  if ((kind != "gcode" && kind != "spool") || (units != "inch" && units != "mm")) return false;
  if (job.Fixture < 1 || job.Fixture > 6 || job.File.empty() || !fs::path(job.File).is_absolute()) return false;
  job.Spool = kind == "spool";
  job.Metric = units == "mm";
  return true;
}

// Writes all of `data` to `fd` and syncs it; false with errno set when it could not.
bool WriteSynced(int fd, const std::string& data) {
  size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = write(fd, data.data() + done, data.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return fsync(fd) == 0;
}

}  // namespace

std::string JournalLine(const std::string& text) {
  char check[16];
  std::snprintf(check, sizeof check, " #%08X", Fnv1a(text));
  return text + check + "\r\n";
}

JournalRead ReadJournal(const HomeDir& home) {
  JournalRead result;
  const auto content = home.ReadText(kJournalFile);
  if (!content) return result;  // no journal: no job was journalled here
  auto damaged = [&](const std::string& why) {
    result.State = JournalState::Damaged;
    result.Problem = why;
    return result;
  };
  std::string text = *content;
  // A line without its end was being written when the power went: the lines before it
  // were synced and stand.
  const size_t lastEnd = text.rfind('\n');
  text.erase(lastEnd == std::string::npos ? 0 : lastEnd + 1);
  const std::vector<std::string> lines = SplitLines(text);
  JournalJob job;
  bool haveJob = false;
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string where = "line " + std::to_string(i + 1);
    if (lines[i].size() > 4096) return damaged(where + " is too long");
    const auto entry = Checked(lines[i]);
    if (!entry) return damaged(where + " fails its check");
    if (i == 0) {
      if (*entry != kHeader) return damaged("it does not start with \"" + std::string(kHeader) + "\"");
      continue;
    }
    if (job.Completed || !job.Ended.empty()) return damaged(where + " follows the job's end");
    if (entry->rfind("Job ", 0) == 0) {
      if (haveJob || !ParseJob(*entry, job)) return damaged(where + " is not a job the journal can hold");
      haveJob = true;
    } else if (!haveJob) {
      return damaged(where + " comes before the job");
    } else if (entry->rfind("Line ", 0) == 0) {
      char* end = nullptr;
      const long n = std::strtol(entry->c_str() + 5, &end, 10);
      if (end == entry->c_str() + 5 || *end != '\0' || n < 0 || n > 100000000) return damaged(where + " has no line number");
      job.Line = static_cast<int>(n);
    } else if (*entry == "Completed") {
      job.Completed = true;
    } else if (entry->rfind("Ended ", 0) == 0 && entry->size() > 6) {
      job.Ended = entry->substr(6);
    } else {
      return damaged(where + " is not a journal line");
    }
  }
  if (!haveJob) return lines.empty() ? damaged("it is empty") : result;
  result.Job = job;
  result.State = job.Completed ? JournalState::Completed : JournalState::Open;
  return result;
}

std::optional<FileStamp> StampOf(const fs::path& file) {
  struct stat st {};
  if (stat(file.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  FileStamp stamp;
  stamp.ModifiedNs = static_cast<int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
  stamp.Size = static_cast<uintmax_t>(st.st_size);
  return stamp;
}

std::string FileChangeProblem(const JournalJob& job) {
  const auto now = StampOf(job.File);
  if (!now) return job.File + " cannot be read any more";
  if (now->Size != job.Size) {
    return job.File + " has changed since the job ran (" + std::to_string(job.Size) + " bytes then, " +
           std::to_string(now->Size) + " now)";
  }
  if (now->ModifiedNs != job.ModifiedNs) return job.File + " has changed since the job ran (it was saved again)";
  return "";
}

bool JobJournal::Begin(const JournalJob& job, std::string* why) {
  job_ = job;
  job_.Completed = false;
  job_.Ended.clear();
  written_ = job.Line;
  writtenUs_ = INT64_MIN / 2;
  active_ = Rewrite(why);
  return active_;
}

bool JobJournal::Note(int line, int64_t nowUs, bool now) {
  if (!active_ || line == written_ || (!now && nowUs - writtenUs_ < kJournalIntervalUs)) return true;
  job_.Line = line;
  writtenUs_ = nowUs;
  written_ = line;
  std::error_code ec;
  const uintmax_t size = fs::file_size(home_.Resolve(kJournalFile), ec);
  // A long job is kept to a few kilobytes: its entry is written anew with only the last line.
  if (ec || size > kJournalCompactBytes) return Rewrite(nullptr);
  return Append(JournalLine("Line " + std::to_string(line)));
}

bool JobJournal::Finish(int line, bool completed, const std::string& reason) {
  if (!active_) return true;
  active_ = false;
  std::string lines;
  if (line != written_) lines += JournalLine("Line " + std::to_string(line));
  job_.Line = line;
  written_ = line;
  job_.Completed = completed;
  job_.Ended = completed ? "" : (reason.empty() ? "not completed" : reason);
  lines += JournalLine(completed ? "Completed" : "Ended " + job_.Ended);
  return Append(lines);
}

bool JobJournal::Append(const std::string& lines) {
  const fs::path path = home_.Resolve(kJournalFile);
  // Without O_CREAT: a journal removed under a running job is written whole again.
  const int fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
  if (fd < 0) return Rewrite(nullptr);
  const bool ok = WriteSynced(fd, lines);
  close(fd);
  return ok;
}

bool JobJournal::Rewrite(std::string* why) {
  std::string text = JournalLine(kHeader) + JournalLine(JobText(job_));
  if (job_.Line > 0) text += JournalLine("Line " + std::to_string(job_.Line));
  const fs::path path = home_.Resolve(kJournalFile);
  const fs::path temp = path.string() + ".tmp";
  std::string failure;
  const int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0 || !WriteSynced(fd, text)) failure = std::strerror(errno);
  if (fd >= 0) close(fd);
  if (failure.empty() && std::rename(temp.c_str(), path.c_str()) != 0) failure = std::strerror(errno);
  if (!failure.empty()) {
    if (why != nullptr) *why = failure;
    (void)unlink(temp.c_str());
    return false;
  }
  // The rename itself must reach the disk, or a power loss could bring back the old journal.
  const int dir = open(path.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    (void)fsync(dir);
    close(dir);
  }
  return true;
}

}  // namespace wendlar
