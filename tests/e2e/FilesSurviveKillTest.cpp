// Settings files survive a writer killed at any moment: each is always the old or the new
// whole content, and the fault history never loses a line it had.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <map>
#include <random>

#include "support/SimSystem.h"

namespace wendlar::testing {
namespace {

const std::vector<std::string> kWholeFiles = {"Offsets.cfg", "material.lst", "Spooler.cfg", "KILL.MAC"};

// Saves every settings file in one of two versions, and appends a history line.
void SaveVersion(System& sys, int version, int n) {
  sys.offsets.WorkOffsets[0].X = version == 0 ? 1.25 : -7.5;
  sys.jumpbox.OffsetsToDialog();
  (void)sys.jumpbox.SaveOffsets();
  sys.materials.View.Grid.Cell(2, 1) = version == 0 ? "Oak" : "Birch plywood";
  (void)sys.materials.SaveMaterials();
  sys.environment.Env.UsbDelayDivisor = version == 0 ? 2 : 4;
  (void)sys.environment.SaveEnvironment();
  sys.config.Config.Xscale = version == 0 ? 8 : 16;
  (void)SaveMachineConfig(sys.config, "KILL.MAC", sys.ConfigOutput());
  sys.jumpbox.AddFaultHistory("Door open Interlock " + std::to_string(n));
}

std::map<std::string, std::string> Versions(int version) {
  SimSystem rig;
  SaveVersion(*rig.sys, version, 0);
  std::map<std::string, std::string> files;
  for (const auto& name : kWholeFiles) files[name] = rig.dir.Read(name);
  return files;
}

TEST(FilesSurviveKill, EveryFileIsOldOrNewWholeAndTheHistoryKeepsItsLines) {
  const auto a = Versions(0), b = Versions(1);
  for (const auto& name : kWholeFiles) {
    ASSERT_FALSE(a.at(name).empty()) << name;
    ASSERT_NE(a.at(name), b.at(name)) << name;
  }
  TempDir dir;
  for (const auto& name : kWholeFiles) dir.Write(name, a.at(name));
  std::mt19937 random(20261206);
  std::string history;
  int killedWhileWriting = 0;
  for (int round = 0; round < 200; ++round) {
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      close(ready[0]);
      VirtualEventLoop loop;
      InProcessSerialPort port{loop};
      ScriptedPrompts prompts;
      std::ostringstream out, errors;
      System sys(loop, port, prompts, HomeDir(dir.Path()), out);
      sys.errors = &errors;
      (void)!write(ready[1], "r", 1);
      // Killed long before; the deadline only matters when the test itself died.
      const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
      for (int n = 1; std::chrono::steady_clock::now() < deadline; ++n) SaveVersion(sys, n % 2, round * 1000000 + n);
      _exit(3);
    }
    close(ready[1]);
    char byte = 0;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);
    close(ready[0]);
    usleep(std::uniform_int_distribution<useconds_t>(0, 50000)(random));
    kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));

    for (const auto& name : kWholeFiles) {
      const std::string now = dir.Read(name);
      ASSERT_TRUE(now == a.at(name) || now == b.at(name)) << name << " after round " << round << ":\n" << now;
    }
    const std::string grown = dir.Read("History.lst");
    ASSERT_EQ(grown.compare(0, history.size(), history), 0) << "round " << round;
    // Every line whole: time, date, the message with its number, CR LF.
    if (!grown.empty()) {
      ASSERT_EQ(grown.substr(grown.size() - 2), "\r\n") << "round " << round;
    }
    for (const auto& line : SplitLines(grown)) ASSERT_NE(line.find("* Door open Interlock "), std::string::npos);
    if (grown.size() > history.size()) ++killedWhileWriting;
    history = grown;
  }
  // The kills landed while the child was writing, not only before it began.
  EXPECT_GT(killedWhileWriting, 40);
}

}  // namespace
}  // namespace wendlar::testing
