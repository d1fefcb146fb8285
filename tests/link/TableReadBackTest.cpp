// Reading the controller's table back on both controller families, and the marker repair.
#include <gtest/gtest.h>

#include "core/Numbers.h"
#include "support/SimSystem.h"

namespace wendlar::testing {
namespace {

// Connected and past the first information report, with the controller's table built but
// no initialisation run by the host.
struct TableRig : SimSystem {
  explicit TableRig(int firmware) : SimSystem(Options(firmware)) {
    sys->status.Hooks.InitialiseController = nullptr;
    EXPECT_TRUE(Connect());
    RunMs(400);
    sys->sender.SendCommandNow(30, 1, 0);
  }
  static sim::SimOptions Options(int firmware) {
    sim::SimOptions o;
    o.firmware = firmware;
    return o;
  }
};

TEST(TableReadBack, SlowReadOfTheEightBitControllerFillsTheTableAndTheFileOrSaysItCannot) {
  TableRig rig(99);
  System& s = *rig.sys;
  ASSERT_EQ(s.report.FirmwareVersion, 99);
  size_t from = rig.sim.TraceRecords().size();
  ASSERT_TRUE(s.tableRead.ReadControllerTable());
  for (int i = 0; i < 100; ++i) EXPECT_EQ(s.tables.ControllerTable[i], rig.sim.Speeds().TableWord(i + 1)) << i;
  for (int i = 100; i <= 250; ++i) EXPECT_EQ(s.tables.ControllerTable[i], 0) << i;
  // Two word reads per entry, each a record 138 with selectors 13, 4|5, n.
  const auto records = rig.Records(from);
  ASSERT_EQ(records.size(), 200u);
  EXPECT_EQ(records[0], (std::array<uint8_t, 11>{138, 13, 4, 1, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(records[199], (std::array<uint8_t, 11>{138, 13, 5, 100, 0, 0, 0, 0, 0, 0, 0}));

  const auto lines = SplitLines(rig.dir.Read("d_table.txt"));
  ASSERT_EQ(lines.size(), 102u);
  EXPECT_EQ(lines[0], std::to_string(rig.sim.Speeds().TableWord(1)));
  EXPECT_EQ(lines[99], std::to_string(rig.sim.Speeds().TableWord(100)));
  EXPECT_EQ(lines[100], lines[99]);
  EXPECT_EQ(lines[101], lines[99]);
  EXPECT_NE(rig.dir.Read("d_table.txt").find("\r\n"), std::string::npos);
  EXPECT_EQ(s.console.View.Progress.Caption(), "Loading Table #100 (0)");
  EXPECT_EQ(s.console.View.Progress.FontColor(), kBlack);
  EXPECT_EQ(s.console.View.Com_list.Items().back(), "100 " + lines[99]);
  EXPECT_TRUE(s.polling.PollingEnabled);
  EXPECT_TRUE(s.link.UsbTimer().Enabled());

  // A file that cannot be written is shown.
  std::filesystem::remove(rig.dir.Path() / "d_table.txt");
  std::filesystem::create_directory(rig.dir.Path() / "d_table.txt");
  EXPECT_FALSE(s.tableRead.SaveControllerTable());
  EXPECT_EQ(s.console.View.Progress.Caption(), "Error creating d_table file");
}

TEST(TableReadBack, FastReadOfTheThirtyTwoBitControllerRepairsItsMarkers) {
  TableRig rig(100);
  System& s = *rig.sys;
  size_t from = rig.sim.TraceRecords().size();
  ASSERT_TRUE(s.tableRead.ReadControllerTable());
  const auto& t = s.tableRead.Words;
  EXPECT_EQ(t[0], 0);
  for (int i = 1; i <= 254; ++i) {
    if (i % 25 == 0) {
      // The controller sent its marker here: the rounded mean of the neighbours stands in.
      const double mean = (rig.sim.Speeds().TableWord(i - 1) + rig.sim.Speeds().TableWord(i + 1)) / 2.0;
      EXPECT_EQ(t[i], static_cast<uint16_t>(Nearest(mean))) << i;
    } else {
      EXPECT_EQ(t[i], rig.sim.Speeds().TableWord(i)) << i;
    }
  }
  for (int i = 0; i <= 250; ++i) EXPECT_EQ(s.tables.ControllerTable[i], t[i]) << i;
  // 51 exchanges of a record 138 and a record 70.
  int reads = 0, selects = 0;
  for (const auto& r : rig.Records(from)) {
    reads += r[0] == 138;
    selects += r[0] == 70;
  }
  EXPECT_EQ(reads, 51);
  EXPECT_EQ(selects, 51);
  EXPECT_FALSE(rig.dir.Exists("d_table.txt"));
  EXPECT_EQ(s.console.View.Progress.Caption(), "Loading Table #256 (0)");
  EXPECT_TRUE(s.polling.PollingEnabled);
}

TEST(TableReadBack, MarkerRepairOnlyWhenEntryZeroHoldsTheMarker) {
  std::array<uint16_t, kControllerTableEntries> t{};
  for (size_t i = 0; i < t.size(); ++i) t[i] = static_cast<uint16_t>(10 * i);
  t[0] = kTableMarker;
  t[4] = 40;
  t[5] = kTableMarker;
  t[6] = 61;  // mean 50.5: the half goes to the even neighbour
  t[7] = kTableMarker;  // not a multiple of five: left alone
  t[255] = kTableMarker;
  t[254] = 2540;
  t[256] = 2563;
  RepairMarkers(t);
  EXPECT_EQ(t[0], 0);
  EXPECT_EQ(t[5], 50);
  EXPECT_EQ(t[7], kTableMarker);
  EXPECT_EQ(t[255], 2552);

  std::array<uint16_t, kControllerTableEntries> untouched{};
  untouched[5] = kTableMarker;
  RepairMarkers(untouched);
  EXPECT_EQ(untouched[5], kTableMarker);
}

TEST(TableReadBack, SlowReadRetriesWordsThatDoNotIncrease) {
  TableRig rig(90);
  System& s = *rig.sys;
  ASSERT_TRUE(s.tableRead.ReadControllerTable());
  EXPECT_EQ(s.tableRead.ErrorCount, 0);
  // A controller whose table was forgotten answers zeros: every word is retried six times.
  rig.sim.HardwareReset();
  EXPECT_FALSE(s.tableRead.ReadControllerTable());
  EXPECT_EQ(s.tableRead.ErrorCount, 600);
  EXPECT_EQ(s.console.View.Progress.Caption(), "Loading Table #100 (600)");
  EXPECT_EQ(s.console.View.Progress.FontColor(), kRed);
  EXPECT_TRUE(s.polling.PollingEnabled);
  EXPECT_TRUE(s.link.UsbTimer().Enabled());
}

TEST(TableReadBack, DeadLineMidReadEndsWithinSeconds) {
  for (int firmware : {99, 110}) {
    TableRig rig(firmware);
    System& s = *rig.sys;
    bool killed = false;
    s.console.View.SetOnChange([&](const Control& c) {
      if (!killed && c.Name() == "Progress" && c.Caption().rfind("Loading Table #11 ", 0) == 0) {
        killed = true;
        rig.sim.SetDeadLine(true);
      }
    });
    const int64_t start = rig.loop.NowUs();
    EXPECT_FALSE(s.tableRead.ReadControllerTable()) << firmware;
    EXPECT_TRUE(killed);
    EXPECT_LT(rig.loop.NowUs() - start, 8'000'000) << firmware;
    EXPECT_EQ(s.console.View.Running.Caption(), "Controller not responding") << firmware;
    EXPECT_FALSE(rig.dir.Exists("d_table.txt"));
  }
}

}  // namespace
}  // namespace wendlar::testing
