#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "motion/SpeedTables.h"
#include "MotionRig.h"

namespace wendlar {
namespace {

using testing::MotionRig;

TEST(SpeedTable, HundredStepRatesAtTheEndsOfEachRun) {
  MotionRig rig;
  const auto& rate = rig.tables.RateTable;
  EXPECT_EQ(rig.tables.SpeedSteps(), 100);
  EXPECT_EQ(rate[1], 112);
  EXPECT_EQ(rate[24], 1781);
  EXPECT_EQ(rate[25], 1912);
  EXPECT_EQ(rate[49], 5560);
  EXPECT_EQ(rate[50], 5708);
  EXPECT_EQ(rate[74], 10868);
  EXPECT_EQ(rate[75], 11073);
  EXPECT_EQ(rate[95], 16513);
  EXPECT_EQ(rate[96], 17051);
  EXPECT_EQ(rate[100], 21810);
  EXPECT_EQ(rate[101], 0);

  // The fastest index at 8 steps per 0.001 in: round(21810 x 60 / 8000).
  EXPECT_EQ(rig.tables.VelTableX[100], 164);
  EXPECT_EQ(rig.tables.VelTableX[1], 1);
  EXPECT_EQ(rig.tables.MaxSpeedValue, 164);

  // The slow contour range halves every rate, rounding down.
  rig.config.Config.Cut_timer = 1;
  rig.Rebuild(100);
  EXPECT_EQ(rate[1], 56);
  EXPECT_EQ(rate[24], 890);
  EXPECT_EQ(rate[49], 2780);
  EXPECT_EQ(rate[95], 8256);
  EXPECT_EQ(rate[96], 8525);
  EXPECT_EQ(rate[100], 10905);
  EXPECT_EQ(rig.tables.MaxSpeedValue, 82);
}

TEST(SpeedTable, TwoHundredFiftyStepsRunInHundredsAtSixTenths) {
  MotionRig rig;
  rig.config.Config.Zscale = 4.0;
  rig.Rebuild(250);
  const auto& t = rig.tables;
  EXPECT_EQ(t.SpeedSteps(), 250);
  EXPECT_EQ(t.RateTable[1], 100);
  EXPECT_EQ(t.RateTable[137], 13700);
  EXPECT_EQ(t.RateTable[250], 25000);
  EXPECT_EQ(t.VelTableX[100], 45);  // 10000 x 60 x 0.6 / 8000
  EXPECT_EQ(t.VelTableX[1], 0);     // 0.45 rounds down
  EXPECT_EQ(t.VelTableX[250], 112); // 112.5: the half goes to the even neighbour
  EXPECT_EQ(t.VelTableZ[250], 225); // Z has its own scale
  EXPECT_EQ(t.MaxSpeedValue, 112);
  // Cut_timer only touches the 100-step table.
  rig.config.Config.Cut_timer = 1;
  rig.Rebuild(250);
  EXPECT_EQ(t.RateTable[250], 25000);
}

TEST(SpeedTable, WritesTheTableFileAndTheMaxVelocityCaption) {
  MotionRig rig;
  std::string caption;
  rig.tables.ShowMaxVelocity = [&](const std::string& text) { caption = text; };
  rig.Rebuild(100);
  EXPECT_EQ(caption, "Max avail Velocity 164 ipm");
  const std::string file = rig.dir.Read("Speed_table.txt");
  EXPECT_EQ(file.substr(0, 20), "112   1\r\n121   1\r\n13");
  EXPECT_NE(file.find("\r\n1912   14\r\n"), std::string::npos);
  EXPECT_TRUE(file.ends_with("\r\n21810   164\r\n"));
  EXPECT_EQ(std::count(file.begin(), file.end(), '\n'), 100);

  // Metric machines still read ipm in the caption.
  SetMetricUnits(rig.config.Units);
  rig.Rebuild(250);
  EXPECT_EQ(caption, "Max avail Velocity 1125 ipm");
  const std::string metric = rig.dir.Read("Speed_table.txt");
  EXPECT_EQ(std::count(metric.begin(), metric.end(), '\n'), 250);
  EXPECT_TRUE(metric.ends_with("\r\n25000   1125\r\n"));
}

TEST(SpeedTable, VelocityLookUpsFindTheSlowestIndexFastEnoughEvenWithAZeroScale) {
  MotionRig rig;  // Z_raise_vel 80, CV_Max 80
  const auto& t = rig.tables;
  EXPECT_EQ(t.VelocityIndexOf(0), 1);
  EXPECT_EQ(t.VelocityIndexOf(-5), 1);
  EXPECT_EQ(t.VelocityIndexOf(30), 39);  // 4040 steps/s is 30.3 ipm; index 38 makes 29
  EXPECT_EQ(t.VelocityIndexOf(164), 100);
  EXPECT_EQ(t.VelocityIndexOf(165), 100);  // beyond the table: the fastest index
  EXPECT_EQ(t.SpeedIndexOf(30), 39);
  EXPECT_EQ(t.SpeedIndexOf(164), 73);  // capped at Z_raise_vel 80
  EXPECT_EQ(t.VelocityIndexOf(80), 73);

  // A zero scale keeps every look-up on the slowest index instead of dividing by zero.
  rig.config.Config.Xscale = 0;
  rig.Rebuild(100);
  rig.feeds.useFeed = false;
  rig.feeds.currentFeed = 60;
  EXPECT_EQ(t.FeedSpeedIndex(), 1);
  EXPECT_EQ(t.VelocityIndexOf(80), 1);
  EXPECT_EQ(t.VelTableX[100], 65535);
}

TEST(SpeedTable, FeedIndexComesFromTheFeedBoxOrTheJob) {
  MotionRig rig;
  auto& feeds = rig.feeds;
  feeds.useFeed = true;
  feeds.feedIndex = 42;
  EXPECT_EQ(rig.tables.FeedSpeedIndex(), 42);
  feeds.feedIndex = 0;
  EXPECT_EQ(rig.tables.FeedSpeedIndex(), 1);
  feeds.feedIndex = 300;
  EXPECT_EQ(rig.tables.FeedSpeedIndex(), 100);

  feeds.useFeed = false;
  feeds.currentFeed = 59.5;  // rounds half to even: 60 ipm, first reached at index 61
  EXPECT_EQ(rig.tables.FeedSpeedIndex(), 61);
  feeds.currentFeed = 500;  // capped at CV_Max
  EXPECT_EQ(rig.tables.FeedSpeedIndex(), 73);
  feeds.currentFeed = 0;
  EXPECT_EQ(rig.tables.FeedSpeedIndex(), 1);
  feeds.jobMode = 1;
  feeds.spoolXYFeed = 30;
  EXPECT_EQ(rig.tables.FeedSpeedIndex(), 39);

  // Plunge: the spooler's Z feed found in the Z table, then looked up once more as a velocity.
  feeds.spoolZFeed = 30;
  EXPECT_EQ(rig.tables.PlungeSpeedIndex(7), 47);
  feeds.spoolZFeed = 500;  // capped at Z_raise_vel
  EXPECT_EQ(rig.tables.PlungeSpeedIndex(7), rig.tables.SpeedIndexOf(73));
  feeds.useFeed = true;
  EXPECT_EQ(rig.tables.PlungeSpeedIndex(1), 1);
  rig.buffer.FeedIdx = 30;  // the feed box's index, taken at the last flush
  EXPECT_EQ(rig.buffer.PlungeSpeedIndex(), 47);
}

}  // namespace
}  // namespace wendlar
