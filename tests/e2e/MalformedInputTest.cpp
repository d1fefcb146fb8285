// Malformed job files through `check` and `run` as processes: for each, the exact lines the
// operator reads and the exit code. Nothing may crash, hang or run part of a broken job.
#include <gtest/gtest.h>

#include <unistd.h>

#include <random>

#include "support/ChildProcess.h"
#include "support/TempDir.h"

namespace wendlar::testing {
namespace {

struct Outcome {
  std::string output;
  int code = -2;
};

Outcome Cli(const TempDir& home, std::vector<std::string> args, int timeoutMs = 60000) {
  ChildProcess child;
  args.insert(args.begin(), {CliProgram(), "--home", home.Path().string()});
  Outcome o;
  if (!child.Start(args)) return o;
  o.output = child.ReadAll(timeoutMs);
  o.code = child.Wait(5000);
  return o;
}

std::string Binary() {
  std::mt19937 random(7);
  std::string bytes;
  for (int i = 0; i < 512; ++i) bytes += static_cast<char>(random() & 0xFF);
  return bytes;
}

struct Case {
  std::string name;      // the job file
  std::string content;   // written byte for byte; "" with `folder` or `missing`
  bool folder = false, missing = false;
  int checkCode, runCode;
  std::vector<std::string> lines;  // each must appear in both outputs, whole
};

TEST(MalformedInput, EveryKindOfBrokenFileIsRefusedOrRunsWithTheSameWordsFromCheckAndRun) {
  if (CliProgram().empty()) GTEST_SKIP() << "wendlar-cli is not built";
  const std::vector<Case> cases = {
      {"empty.nc", "", false, false, 0, 0, {"Packets 0"}},
      {"binary.nc", Binary(), false, false, 1, 1, {}},
      // NUL bytes separate words like spaces.
      {"nul.nc", std::string("G20 G90\nG0 X1\0Y2\nG1 Z-0.1 F10\0\n", 31), false, false, 0, 0, {"Packets 2"}},
      {"numbers.nc", "G20\nG1 X1e400 F10\nG1 Xnan\nG1 Yinf\nG1 X99999999999999999999\nG1 X-1e308\nG1 F1e999\n",
       false, false, 1, 1,
       {"  line 2: Error malformed value X1e400", "  line 3: Error malformed value Xnan",
        "  line 4: Error malformed value Yinf", "  line 5: Long3 overflow",
        "  line 6: Error malformed value X-1e308", "  line 7: Error malformed value F1e999"}},
      {"unknown.nc", "G20\nG99 X1\nM999\nQ5\nG1 X1 F10\n", false, false, 0, 0, {}},
      {"long.nc", "G20\n" + std::string(3, 'x').replace(0, 3, "G1 X1 Y1 F10 " + std::string(400, ' ') + "\n"),
       false, false, 0, 0, {}},
      {"missing.nc", "", false, true, 1, 2, {}},
      {"folder.nc", "", true, false, 1, 2, {}},
      {"short.vrj", std::string(45, '\0'), false, false, 1, 1,
       {"  record 1: Error the file ends in part of a record (5 of 20 bytes)"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir, home;
    const auto path = dir.Path() / c.name;
    if (c.folder) {
      std::filesystem::create_directory(path);
    } else if (!c.missing) {
      dir.Write(c.name, c.content);
    }
    const Outcome check = Cli(home, {"check", path.string()});
    const Outcome run = Cli(home, {"run", path.string(), "--simulator", "--fast"});
    EXPECT_EQ(check.code, c.checkCode) << check.output;
    EXPECT_EQ(run.code, c.runCode) << run.output;
    for (const auto& line : c.lines) {
      EXPECT_NE(check.output.find("\n" + line + "\n"), std::string::npos) << line << "\n" << check.output;
      if (line.rfind("  ", 0) == 0) {
        EXPECT_NE(run.output.find("\n" + line + "\n"), std::string::npos) << line << "\n" << run.output;
      }
    }
    if (c.missing || c.folder) {
      const std::string why = c.folder ? "it is a folder" : "No such file or directory";
      EXPECT_NE(check.output.find("The job cannot be read: " + path.string() + ": " + why), std::string::npos)
          << check.output;
      EXPECT_EQ(run.output, "run: cannot read " + path.string() + ": " + why + "\n");
    } else if (c.runCode == 1) {
      EXPECT_NE(run.output.find("Job refused:"), std::string::npos) << run.output;
      EXPECT_NE(check.output.find("The job is refused"), std::string::npos) << check.output;
    } else {
      EXPECT_NE(run.output.find("Job completed: "), std::string::npos) << run.output;
      EXPECT_NE(check.output.find("The job runs to its end"), std::string::npos) << check.output;
    }
  }
}

TEST(MalformedInput, ATenMegabyteLineIsReadAsOneLineInBoundedTime) {
  if (CliProgram().empty()) GTEST_SKIP() << "wendlar-cli is not built";
  TempDir dir, home;
  std::string line;
  line.reserve(10 * 1024 * 1024 + 8);
  while (line.size() < 10 * 1024 * 1024) line += "G1 X1 ";
  dir.Write("one.nc", "G20\n" + line + "\n");
  const auto t0 = std::chrono::steady_clock::now();
  const Outcome check = Cli(home, {"check", (dir.Path() / "one.nc").string()}, 30000);
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(20));
  EXPECT_EQ(check.code, 0) << check.output.substr(0, 2000);
  EXPECT_NE(check.output.find("\nLines 2\n"), std::string::npos) << check.output.substr(0, 2000);
}

TEST(MalformedInput, AnUnreadableFileSaysPermissionDenied) {
  if (CliProgram().empty()) GTEST_SKIP() << "wendlar-cli is not built";
  if (geteuid() == 0) GTEST_SKIP() << "root reads any file";
  TempDir dir, home;
  dir.Write("locked.nc", "G20\nG0 X1\n");
  std::filesystem::permissions(dir.Path() / "locked.nc", std::filesystem::perms::none);
  const Outcome check = Cli(home, {"check", (dir.Path() / "locked.nc").string()});
  EXPECT_EQ(check.code, 1);
  EXPECT_NE(check.output.find(": Permission denied"), std::string::npos) << check.output;
}

}  // namespace
}  // namespace wendlar::testing
