#include <gtest/gtest.h>

#include "console/DebugFile.h"
#include "support/TempDir.h"

namespace wendlar {
namespace {

TEST(DebugFile, OneRunIsOneLogWhicheverHooksOpenIt) {
  testing::TempDir dir;
  const HomeDir home(dir.Path());
  DebugFile log(home);
  log.Create();  // the file prepared
  log.WriteDebugLine("prepared");
  log.Create();  // the engine's start
  log.WriteDebugLine(" Dwell 25");
  log.Close();
  EXPECT_EQ(dir.Read("debug.txt"), "prepared\r\n Dwell 25\r\n");
  EXPECT_FALSE(dir.Exists("debug.txt.part"));

  // The next run's log replaces it whole.
  log.Create();
  log.WriteDebugLine("second");
  log.Close();
  EXPECT_EQ(dir.Read("debug.txt"), "second\r\n");
}

}  // namespace
}  // namespace wendlar
