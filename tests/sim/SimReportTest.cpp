#include <gtest/gtest.h>

#include <vector>

#include "SimTestSupport.h"

namespace wendlar::sim {
namespace {

using testing::Bench;
using testing::ReportBytes;

uint16_t WordAt(const std::string& bytes, size_t i) {
  return static_cast<uint16_t>(static_cast<uint8_t>(bytes[2 * i]) | (static_cast<uint8_t>(bytes[2 * i + 1]) << 8));
}

TEST(SimTables, EightBitSlowReadGivesAnIncreasingTableOneWordPerSelectorPair) {
  SimOptions options;
  options.firmware = 99;
  Bench bench(options);
  bench.Send(11, {210, 210, 0, 1});
  bench.Send(138, {13, 4, 1});
  EXPECT_EQ(bench.Line("R5"), "5.0100000000\r\n");  // not built yet: nothing to read
  bench.Send(30, {1});
  bench.Send(138, {13, 4, 1});
  EXPECT_EQ(bench.Line("R5"), "5.0100000100\r\n");

  int previous = 0;
  for (int n = 1; n <= 100; ++n) {
    bench.Send(138, {13, 4, static_cast<uint8_t>(n)});
    const int low = static_cast<uint8_t>(ReportBytes(bench.Line("R5"))[3]);
    bench.Send(138, {13, 5, static_cast<uint8_t>(n)});
    const int high = static_cast<uint8_t>(ReportBytes(bench.Line("R5"))[4]);
    const int value = low + 256 * high;
    EXPECT_GT(value, previous) << n;
    previous = value;
  }
  // A slower acceleration setting means longer ramps.
  bench.Send(11, {160, 160, 0, 1});
  bench.Send(138, {13, 4, 100});
  const std::string slow = ReportBytes(bench.Line("R5"));
  EXPECT_GT(static_cast<uint8_t>(slow[3]) + 256 * static_cast<uint8_t>(slow[4]), previous);
}

TEST(SimTables, ThirtyTwoBitFastReadGivesFiveWordsWithMarkersEvenBeforeTheVariableSelect) {
  Bench bench;
  bench.Initialise();
  // The host's order: the read record, then "R4" before its queued variable select.
  bench.Send(138, {1, 0, 0});
  EXPECT_EQ(bench.Line("R4"), "4.151601000200030004000000\r\n");
  bench.Send(70, {0});
  EXPECT_EQ(bench.Line("R4"), "4.000000000000000000000000\r\n");  // a read answers once
  // The host's link may also send the select before "R4": the same words come back.
  bench.Send(138, {1, 0, 0});
  bench.Send(70, {0});
  EXPECT_EQ(bench.Line("R4"), "4.151601000200030004000000\r\n");

  std::vector<uint16_t> table(255);
  for (int k = 1; k <= 251; k += 5) {
    bench.Send(138, {static_cast<uint8_t>(k), 0, 0});
    const std::string bytes = ReportBytes(bench.Line("R4"));
    bench.Send(70, {0});
    for (int i = 0; i < 5 && k - 1 + i < 255; ++i) table[static_cast<size_t>(k - 1 + i)] = WordAt(bytes, static_cast<size_t>(i));
  }
  EXPECT_EQ(table[0], kMarkerWord);
  for (size_t i = 25; i < 255; i += 25) EXPECT_EQ(table[i], kMarkerWord) << i;
  // Repaired as the host repairs them (mean of the neighbours), the table increases strictly.
  for (size_t i = 5; i < 254; i += 5) {
    if (table[i] == kMarkerWord) table[i] = static_cast<uint16_t>((table[i - 1] + table[i + 1] + 1) / 2);
  }
  table[0] = 0;
  for (size_t i = 1; i < 255; ++i) EXPECT_GT(table[i], table[i - 1]) << i;

  // A read of variable set 3 after the table read shows the controller's own state.
  bench.Send(132, {0xC4});
  bench.Send(70, {3, 3});
  EXPECT_EQ(bench.Line("R4"), "4.03C400005C0000000000D200\r\n");
}

TEST(SimReports, InfoAlternatesVersionAndCountWithRpmOutputsAndSpeed) {
  Bench bench;
  bench.Initialise();
  bench.sim.SetToolNumber(7);
  bench.Send(134, {0x20, 0x40, 0x1F});  // 8000 rpm
  bench.Send(13, {1});                   // spindle 2
  bench.Send(14);
  bench.Send(17, {1, 1});                // aux 1 on
  EXPECT_EQ(bench.Line("R1"), "1.6E07030000\r\n");
  EXPECT_EQ(bench.Line("R1"), "1.00FF401F06\r\n");
  bench.Send(15);
  bench.Send(18, {1, 1});
  bench.Send(29, {0x10, 0x27, 0, 40, 40, 1});  // X 10000 starting at index 40
  EXPECT_EQ(bench.Line("R1"), "1.6E07060000\r\n");
  EXPECT_EQ(bench.Line("R1"), "1.28FF00000C\r\n");  // speed 40, spindles off, both aux on
}

TEST(SimReports, PositionReportShowsWOnlyWithTheFourthAxisAndOldFirmwareItsSpeed) {
  Bench bench;
  bench.Initialise();
  bench.Send(10, {3, 0x0C, 0xFE, 0xFF, 0});  // Z -500
  bench.Send(10, {4, 0x00, 0x00, 0x80, 0});  // W -8388608
  EXPECT_EQ(bench.Line("R3"), "3.0000000000000CFEFF00\r\n");
  EXPECT_EQ(bench.Line("R3"), "3.0000000000000CFEFF00\r\n");
  bench.Send(67, {128});
  EXPECT_EQ(bench.Line("R3"), "3.0000000000000CFEFF00\r\n");
  EXPECT_EQ(bench.Line("R3"), "3.00000000000000008080\r\n");
  bench.Send(135, {0x85, 0, 0, 0});  // feed override -5 shows in the low bits on late firmware
  EXPECT_EQ(bench.Line("R3"), "3.0000000000000CFEFF05\r\n");

  SimOptions options;
  options.firmware = 103;
  Bench old(options);
  old.Initialise();
  old.Send(29, {0x10, 0x27, 0, 40, 40, 1});
  EXPECT_EQ(old.Line("R3"), "3.00000000000000000028\r\n");
}

}  // namespace
}  // namespace wendlar::sim
