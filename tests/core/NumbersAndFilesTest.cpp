#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

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
  // The same integer as the library's rounding wherever a fraction can still show: just
  // below halves, beside 2^52 and 2^53, and a spread of values and magnitudes.
  const double two52 = 4503599627370496.0;
  std::vector<double> values = {0.49999999999999994, -0.49999999999999994, 0.5000000000000001, two52 - 0.5,
                                two52 - 1.5, two52, two52 + 1, 2 * two52 + 2, -(two52 - 0.5), -two52 - 1, -0.0,
                                1e-300, 8388607.5, -8388608.5};
  uint64_t bits = 0x9e3779b97f4a7c15ull;
  for (int i = 0; i < 200000; ++i) {
    bits ^= bits << 13, bits ^= bits >> 7, bits ^= bits << 17;
    values.push_back(std::ldexp(static_cast<double>(bits >> 11), -static_cast<int>(bits % 60)) * (i % 2 ? -1 : 1));
    values.push_back(std::nextafter(std::round(values.back()) + 0.5, 0.0));
  }
  for (double v : values) ASSERT_EQ(Nearest(v), static_cast<int64_t>(std::nearbyint(v))) << v;
}

// Read-outs are formatted for every position report: the text is printf's, to the digit,
// also beside ties and where the sign drops off.
TEST(Numbers, FixedPointTextIsPrintfsText) {
  auto printed = [](double v, int decimals, int width) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%*.*f", width, decimals, v);
    std::string text(buf);
    if (text.find('-') != std::string::npos && text.find_first_of("123456789") == std::string::npos) {
      text.erase(text.find('-'), 1);
      if (static_cast<int>(text.size()) < width) text.insert(0, " ");
    }
    return text;
  };
  std::vector<double> values = {0.0005, 0.0015, -0.0005, 2.5, 0.125, -0.125, 1e11 + 0.5, 999.9996, -0.0004, 1e-9};
  uint64_t bits = 0x243f6a8885a308d3ull;
  for (int i = 0; i < 100000; ++i) {
    bits ^= bits << 13, bits ^= bits >> 7, bits ^= bits << 17;
    const double steps = static_cast<double>(static_cast<int64_t>(bits % 16777216) - 8388608);
    values.push_back(steps / 1000.0 / (1 + static_cast<double>(bits >> 60)));  // read-outs of step counts
    values.push_back(std::ldexp(static_cast<double>(bits >> 20), -static_cast<int>(bits % 50)) * (i % 2 ? -1 : 1));
  }
  for (double v : values) {
    for (int decimals : {0, 2, 3, 4}) {
      for (int width : {0, 3, 9}) ASSERT_EQ(FormatFixed(v, decimals, width), printed(v, decimals, width)) << v;
    }
  }
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
