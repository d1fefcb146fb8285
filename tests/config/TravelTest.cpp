#include <gtest/gtest.h>

#include "config/Travel.h"
#include "support/TempDir.h"

namespace wendlar {
namespace {

using testing::TempDir;

TEST(TravelFile, RoundTripsTheAxesThatAreSetWithCrLf) {
  TempDir dir;
  HomeDir home(dir.Path());
  TravelState travel;
  travel.X = {true, -400, 400000};
  travel.Z = {true, -400, 120000};
  ASSERT_TRUE(SaveTravel(home, travel));
  EXPECT_EQ(dir.Read("Travel.cfg"), "X -400 400000\r\nZ -400 120000\r\n");

  TravelState loaded;
  ASSERT_EQ(LoadTravel(home, loaded), TravelLoad::Loaded);
  EXPECT_TRUE(loaded.X.Set && loaded.Z.Set);
  EXPECT_FALSE(loaded.Y.Set || loaded.W.Set);
  EXPECT_EQ(loaded.X.MinSteps, -400);
  EXPECT_EQ(loaded.Z.MaxSteps, 120000);

  // A file written by hand: lower-case axis names, blanks, LF only, an empty line.
  dir.Write("Travel.cfg", "  y   -10\t 2000\n\nw 0 500\n");
  ASSERT_EQ(LoadTravel(home, loaded), TravelLoad::Loaded);
  EXPECT_FALSE(loaded.X.Set);
  EXPECT_EQ(TravelRangeText(loaded.Y), "-10:2000");
  EXPECT_EQ(TravelRangeText(loaded.W), "0:500");
  EXPECT_EQ(TravelRangeText(loaded.X), "not set");
}

TEST(TravelFile, ABadLineRefusesTheWholeFileAndKeepsTheTravel) {
  TempDir dir;
  HomeDir home(dir.Path());
  TravelState travel;
  travel.X = {true, 0, 100};
  std::string why;
  EXPECT_EQ(LoadTravel(home, travel, &why), TravelLoad::NotFound);
  const std::pair<const char*, const char*> bad[] = {
      {"X 0 100\r\nY 50 50\r\n", "Travel.cfg line 2: \"Y 50 50\" needs whole steps with MIN below MAX"},
      {"X 0 1.5\r\n", "Travel.cfg line 1: \"X 0 1.5\" needs whole steps with MIN below MAX"},
      {"X 0 9000000\r\n", "Travel.cfg line 1: \"X 0 9000000\" needs whole steps with MIN below MAX"},
      {"A 0 100\r\n", "Travel.cfg line 1: \"A 0 100\" is not AXIS MIN MAX"},
      {"X 0\r\n", "Travel.cfg line 1: \"X 0\" is not AXIS MIN MAX"},
      {"Y 0 5\r\ny 0 6\r\n", "Travel.cfg line 2: axis y is given twice"},
  };
  for (const auto& [content, reason] : bad) {
    dir.Write("Travel.cfg", content);
    EXPECT_EQ(LoadTravel(home, travel, &why), TravelLoad::Refused) << content;
    EXPECT_EQ(why, reason);
    EXPECT_TRUE(travel.X.Set && travel.X.MaxSteps == 100 && !travel.Y.Set) << content;
  }
}

TEST(TravelFile, RangesAndTheControllersOwnTravel) {
  EXPECT_EQ(TravelRangeText(*ParseTravelRange("-400:24000")), "-400:24000");
  for (const char* bad : {"", "5", "5:", ":5", "5:5", "6:5", "a:b", "1:2:3", "0:8388608"}) {
    EXPECT_FALSE(ParseTravelRange(bad)) << bad;
  }

  // Filled from the controller while nothing is set, refreshed later (homing moves the
  // zero), but never over what Travel.cfg set.
  TravelState travel;
  UseControllerTravel(travel, {-10, -20, -30, 0}, {100, 200, 300, 0});
  EXPECT_TRUE(travel.FromController);
  EXPECT_EQ(TravelRangeText(travel.Y), "-20:200");
  EXPECT_FALSE(travel.W.Set);  // an empty range is no travel
  UseControllerTravel(travel, {0, 0, 0, 0}, {50, 50, 50, 50});
  EXPECT_EQ(TravelRangeText(travel.X), "0:50");

  TravelState fromFile;
  fromFile.X = {true, 1, 2};
  UseControllerTravel(fromFile, {0, 0, 0, 0}, {50, 50, 50, 50});
  EXPECT_FALSE(fromFile.FromController || fromFile.Y.Set);
}

}  // namespace
}  // namespace wendlar
