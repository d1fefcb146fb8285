#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <limits>

#include "core/HomeDir.h"
#include "core/Numbers.h"
#include "support/TempDir.h"

namespace wendlar {
namespace {

TEST(Numbers, NearestSendsExactHalvesToTheEvenNeighbour) {
  EXPECT_EQ(Nearest(0.5), 0);
  EXPECT_EQ(Nearest(1.5), 2);
  EXPECT_EQ(Nearest(2.5), 2);
  EXPECT_EQ(Nearest(-2.5), -2);
  EXPECT_EQ(Nearest(31.5), 32);
  EXPECT_EQ(Nearest(2.5000001), 3);
  EXPECT_EQ(Nearest(std::nan("")), 0);
  EXPECT_EQ(Nearest(std::numeric_limits<double>::infinity()), std::numeric_limits<int64_t>::max());
}

TEST(Numbers, FixedPointTextAndStrictParsing) {
  EXPECT_EQ(FormatFixed(8.0, 8, 3), "8.00000000");
  EXPECT_EQ(FormatFixed(0.25, 3, 3), "0.250");
  EXPECT_EQ(FormatFixed(-0.5, 3, 3), "-0.500");
  EXPECT_EQ(FormatFixed(1.0, 0, 6), "     1");
  // Z read-outs negate step counts: zero and tiny negatives must not show a minus.
  EXPECT_EQ(FormatFixed(-0.0, 3), "0.000");
  EXPECT_EQ(FormatFixed(-0.0004, 3, 6), " 0.000");
  EXPECT_EQ(FormatFixed(-0.0006, 3), "-0.001");

  EXPECT_EQ(ParseDouble(" 1.25 "), 1.25);
  EXPECT_EQ(ParseDouble("-.5"), -0.5);
  EXPECT_FALSE(ParseDouble("1.2.3"));
  EXPECT_FALSE(ParseDouble(""));
  EXPECT_FALSE(ParseDouble("abc"));
  EXPECT_FALSE(ParseDouble("nan"));
  EXPECT_EQ(ParseInt("240"), 240);
  EXPECT_FALSE(ParseInt("239.6"));

  EXPECT_EQ(ReadLeadingDouble("  25 trailing"), 25.0);
  EXPECT_EQ(ReadLeadingInt("300x"), 300);
  EXPECT_FALSE(ReadLeadingInt("x300"));
}

TEST(HomeDir, WritesWholeFilesWithCrLfResolvesNamesWithoutRegardToCaseAndKeepsOldFilesOnFailure) {
  testing::TempDir dir;
  HomeDir home(dir.Path());
  ASSERT_TRUE(home.WriteLinesAtomic("Spooler.cfg", {"[port#]", "4"}));
  EXPECT_EQ(dir.Read("Spooler.cfg"), "[port#]\r\n4\r\n");
  // No temporary file is left behind.
  int files = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.Path())) ++files;
  EXPECT_EQ(files, 1);

  dir.Write("Default.MAC", "1\r\n");
  EXPECT_EQ(home.Resolve("DEFAULT.MAC").filename(), "Default.MAC");
  EXPECT_EQ(home.Resolve("missing.txt"), dir.Path() / "missing.txt");

  ASSERT_TRUE(home.AppendLine("History.lst", "one"));
  ASSERT_TRUE(home.AppendLine("History.lst", "two"));
  EXPECT_EQ(dir.Read("History.lst"), "one\r\ntwo\r\n");

  dir.Write("mixed.txt", "a\r\nb\nc");
  EXPECT_EQ(*home.ReadLines("mixed.txt"), (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_FALSE(home.ReadLines("absent.txt"));

  // A write that fails keeps the old file and says why.
  dir.Write("keep.cfg", "old");
  std::string why;
  HomeDir missing(dir.Path() / "no-such-folder");
  EXPECT_FALSE(missing.WriteTextAtomic("keep.cfg", "new", &why));
  EXPECT_EQ(why, "No such file or directory");

  // A program folder nobody may write in; root writes through permissions, but not into sysfs.
  std::filesystem::create_directory(dir.Path() / "locked");
  std::filesystem::permissions(dir.Path() / "locked", std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
  const std::filesystem::path locked = ::geteuid() == 0 ? std::filesystem::path("/sys") : dir.Path() / "locked";
  why.clear();
  EXPECT_FALSE(HomeDir(locked).WriteLinesAtomic("keep.cfg", {"new"}, &why));
  EXPECT_TRUE(why == "Permission denied" || why == "Read-only file system") << why;
  std::filesystem::permissions(dir.Path() / "locked", std::filesystem::perms::owner_all);

  // A device with no room: the kernel's own full disk, and the seam's.
  std::filesystem::create_symlink("/dev/full", dir.Path() / "full.lst");
  EXPECT_FALSE(home.AppendLine("full.lst", "line", &why));
  EXPECT_EQ(why, "No space left on device");
  home.LimitFreeSpace(2);
  why.clear();
  EXPECT_FALSE(home.WriteTextAtomic("keep.cfg", "new content", &why));
  EXPECT_EQ(why, "No space left on device");
  EXPECT_EQ(dir.Read("keep.cfg"), "old");
  for (const auto& e : std::filesystem::directory_iterator(dir.Path())) {
    EXPECT_EQ(e.path().filename().string().find(".tmp"), std::string::npos) << e.path();
  }
}

}  // namespace
}  // namespace wendlar
