// Faults in words, at once and on a schedule, as `wendlar-cli sim` takes them.
#include <gtest/gtest.h>

#include "SimTestSupport.h"
#include "sim/SimFaultSchedule.h"

namespace wendlar::sim::testing {
namespace {

using Words = std::vector<std::string>;

TEST(SimFaultWords, EveryKindParsesAndBadLinesSayWhy) {
  SimFaultCommand c;
  std::string error;
  ASSERT_TRUE(ParseSimFault("fault overtravel X", c, error));
  EXPECT_EQ(c.kind, "overtravel");
  EXPECT_EQ(c.axis, "x");
  ASSERT_TRUE(ParseSimFault("  silence 5 ", c, error));
  EXPECT_EQ(c.count, 5);
  ASSERT_TRUE(ParseSimFault("clear stop-button", c, error));
  EXPECT_TRUE(c.clear);
  for (const char* ok : {"fault door", "fault stop-button", "fault servo", "fault checksum", "fault reset",
                         "fault garble 10", "fault e1", "fault dead", "clear dead", "overtravel"}) {
    EXPECT_TRUE(ParseSimFault(ok, c, error)) << ok << ": " << error;
  }
  const std::vector<std::pair<const char*, const char*>> bad = {
      {"", "no fault named"},
      {"fault", "no fault named"},
      {"fault fire", "unknown fault \"fire\" (door, overtravel, stop-button, servo, checksum, reset, silence, "
                     "garble, e1, dead)"},
      {"clear reset", "\"reset\" ends by itself; only door, stop-button, servo and dead are cleared"},
      {"fault overtravel q", "\"fault overtravel q\": the axis is x, y, z or w"},
      {"fault silence 0", "\"fault silence 0\": the seconds are a whole number from 1 to 3600"},
      {"fault silence 5x", "\"fault silence 5x\": the seconds are a whole number from 1 to 3600"},
      {"fault silence 99999999999", "\"fault silence 99999999999\": the seconds are a whole number from 1 to 3600"},
      {"fault garble -1", "\"fault garble -1\": the count is a whole number from 1"},
      {"fault door now", "\"fault door now\": \"door\" takes nothing more"},
  };
  for (const auto& [line, why] : bad) {
    EXPECT_FALSE(ParseSimFault(line, c, error)) << line;
    EXPECT_EQ(error, why);
  }
}

TEST(SimFaultWords, LinesActOnTheControllerAtOnce) {
  Bench bench;
  SimFaultSchedule faults(bench.sim);
  std::string error;
  const uint8_t idle = bench.sim.InputsByte();
  ASSERT_TRUE(faults.ApplyLine("fault door", 0, error));
  EXPECT_NE(bench.sim.InputsByte(), idle);
  ASSERT_TRUE(faults.ApplyLine("clear door", 0, error));
  EXPECT_EQ(bench.sim.InputsByte(), idle);
  ASSERT_TRUE(faults.ApplyLine("fault e1", 0, error));
  EXPECT_EQ(bench.Line("2"), "E1\r\n");
  EXPECT_NE(bench.Line("2"), "E1\r\n");
  const std::string clean = bench.Line("V");
  ASSERT_TRUE(faults.ApplyLine("fault garble 2", 0, error));
  EXPECT_NE(bench.Line("V"), clean);
  EXPECT_NE(bench.Line("V"), clean);
  EXPECT_EQ(bench.Line("V"), clean);
  ASSERT_TRUE(faults.ApplyLine("fault dead", 0, error));
  EXPECT_EQ(bench.Line("V"), "");
  ASSERT_TRUE(faults.ApplyLine("clear dead", 0, error));
  EXPECT_EQ(bench.Line("V"), clean);
  EXPECT_FALSE(faults.ApplyLine("fault lightning", 0, error));
}

TEST(SimFaultSchedule, TimedFaultsFallDueInOrderAndASilenceEndsByItself) {
  Bench bench;
  SimFaultSchedule faults(bench.sim);
  std::string error;
  ASSERT_TRUE(faults.AddTimed("silence:2@1.5", 0, error)) << error;
  ASSERT_TRUE(faults.AddTimed("overtravel x@0.5", 0, error)) << error;
  EXPECT_FALSE(faults.AddTimed("door", 0, error));
  EXPECT_EQ(error, "\"door\": give the fault and its time as KIND@SECONDS");
  EXPECT_FALSE(faults.AddTimed("door@-1", 0, error));
  EXPECT_EQ(error, "\"door@-1\": the time is seconds from 0 to 86400");
  EXPECT_FALSE(faults.AddTimed("door@soon", 0, error));
  EXPECT_FALSE(faults.AddTimed("fire@1", 0, error));

  const std::string clean = bench.Line("V");
  EXPECT_EQ(faults.Run(400000), Words{});
  EXPECT_EQ(faults.Run(600000), Words{"fault overtravel x"});
  EXPECT_EQ(faults.Run(1500000), Words{"fault silence 2"});
  EXPECT_EQ(bench.Line("V"), "");
  EXPECT_EQ(faults.Run(3400000), Words{});
  EXPECT_EQ(bench.Line("V"), "");
  EXPECT_EQ(faults.Run(3500000), Words{"clear dead"});
  EXPECT_EQ(bench.Line("V"), clean);
  EXPECT_EQ(faults.Run(99000000), Words{});
}

}  // namespace
}  // namespace wendlar::sim::testing
