#include <gtest/gtest.h>

#include "sim/SimTestSupport.h"

namespace wendlar::sim::testing {
namespace {

// A changer byte (record 81, b2 0) and the byte that clocks its answer into the memory report.
std::string Ask(Bench& bench, uint8_t command) {
  bench.Send(81, {command, 0});
  bench.Send(81, {0x00, 5});
  return bench.Line("R5");
}

TEST(SimToolChanger, AnswersComeOnTheNextByteAndOnlyBTwoFiveKeepsThem) {
  Bench bench;
  // Read input line 1 (spindle stopped): 1, with the outputs and the input port beside it.
  EXPECT_EQ(Ask(bench, 0xC1), "5.0101000007\r\n");
  // Set output bit 1 (drawbar released): the port loses its clamped bit.
  bench.Send(81, {0x21, 0});
  EXPECT_EQ(Ask(bench, 0x9A), "5.0106000206\r\n");
  bench.Send(81, {0x41, 0});
  EXPECT_EQ(Ask(bench, 0x80), "5.0100000007\r\n");  // register 0: the outputs, cleared again

  // 0x73 writes the next byte to register 19; 0x93 reads it back.
  bench.Send(81, {0x73, 0});
  bench.Send(81, {0x2A, 0});
  EXPECT_EQ(Ask(bench, 0x93), "5.012A000007\r\n");

  // Without b2 = 5 the memory report keeps what it held.
  bench.Send(81, {0xC1, 0});
  bench.Send(81, {0x00, 0});
  EXPECT_EQ(bench.Line("R5"), "5.012A000007\r\n");

  // A deselected changer leaves its data line high.
  bench.Send(83, {0});
  EXPECT_EQ(Ask(bench, 0xC1), "5.01FF000007\r\n");
  bench.Send(83, {1});
  EXPECT_EQ(Ask(bench, 0xC1), "5.0101000007\r\n");
}

TEST(SimToolChanger, TheSpindleCoastsBeforeItsStoppedLineIsSet) {
  Bench bench;
  bench.Initialise();
  bench.Send(14);
  EXPECT_EQ(Ask(bench, 0xC1), "5.0100000005\r\n");
  bench.Send(15);
  bench.RunMs(1000);
  EXPECT_FALSE(bench.sim.SpindleStopped());
  EXPECT_EQ(Ask(bench, 0xC1), "5.0100000005\r\n");
  bench.RunMs(600);
  EXPECT_TRUE(bench.sim.SpindleStopped());
  EXPECT_EQ(Ask(bench, 0xC1), "5.0101000007\r\n");

  // The stop button cuts the spindle too, and it coasts the same way.
  bench.Send(14);
  bench.sim.PressStopButton();
  EXPECT_FALSE(bench.sim.SpindleStopped());
  bench.RunMs(1600);
  EXPECT_TRUE(bench.sim.SpindleStopped());
}

TEST(SimRamTest, FilledBlocksStayWhileHeldAndReadBackFromTheTailInOrder) {
  Bench bench;
  bench.Initialise();
  const auto headTail = [&bench] {
    const std::string b = ReportBytes(bench.Line("R2"));
    return std::pair<int, int>{static_cast<uint8_t>(b[2]) | (static_cast<uint8_t>(b[3]) << 8),
                               static_cast<uint8_t>(b[0]) | (static_cast<uint8_t>(b[1]) << 8)};
  };
  bench.Send(91, {0x10, 0, 0x10, 0});
  EXPECT_EQ(headTail(), (std::pair<int, int>{16, 16}));
  bench.Send(91, {0, 0, 0, 0});
  bench.Send(137, {0, 1});
  bench.Send(115, {0, 0, 3, 3, 5, 5, 8, 8, 12, 12});
  bench.Send(116, {1, 0, 4, 3, 6, 5, 9, 8, 13, 12});
  bench.RunMs(10);
  EXPECT_EQ(headTail(), (std::pair<int, int>{2, 0}));  // held: nothing taken
  bench.Send(137, {0, 0, 0, 0});
  bench.RunMs(10);
  EXPECT_EQ(headTail(), (std::pair<int, int>{2, 2}));

  bench.Send(91, {0, 0, 0, 0});
  bench.Send(93);
  bench.Send(70, {0});
  // Code, b1..b10 and the packet's checksum, as the line carried them.
  EXPECT_EQ(bench.Line("R4"), "4.7300000303050508080C0C73\r\n");
  bench.Send(93);
  bench.Send(70, {0});
  EXPECT_EQ(bench.Line("R4"), "4.7401000403060509080D0C71\r\n");
}

}  // namespace
}  // namespace wendlar::sim::testing
