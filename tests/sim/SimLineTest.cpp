#include <gtest/gtest.h>

#include "SimTestSupport.h"

namespace wendlar::sim {
namespace {

using testing::Bench;

TEST(SimLines, HandshakeReadBackFollowsTheLastPatternWritten) {
  Bench bench;
  // Without a pattern the fourth character is neither N nor R.
  EXPECT_EQ(bench.Line("U1"), "US?? HANDSHAKE READ\r\n");

  // The host writes the patterns raw, followed by an extra CR, and reads nothing back.
  std::string reply;
  bench.sim.Write("S6\n\r\r", reply);
  EXPECT_EQ(reply, "");
  EXPECT_EQ(bench.Line("U1"), "USHN HANDSHAKE READ\r\n");

  bench.sim.Write("S7 \n\r\r", reply);
  EXPECT_EQ(reply, "");
  const std::string low = bench.Line("U1 ");
  EXPECT_EQ(low, "USLR HANDSHAKE READ\r\n");
  EXPECT_GT(low.size(), 17u);
}

TEST(SimLines, EveryReplyIsLiteralLongerThanTheHostWaitsForAndEndsInCrLf) {
  Bench bench;
  // The power-up reports, literally.
  EXPECT_EQ(bench.Line("R2"), "2.000000005C01\r\n");  // empty ring, switches clear, not initialised
  EXPECT_EQ(bench.Line("R3"), "3.00000000000000000000\r\n");
  EXPECT_EQ(bench.Line("R1"), "1.6E00000000\r\n");  // version 110, tool 0, nothing executed
  EXPECT_EQ(bench.Line("R1"), "1.00FF000000\r\n");  // speed 0, rpm 0, outputs off
  EXPECT_EQ(bench.Line("R4"), "4.000000000000000000000000\r\n");
  EXPECT_EQ(bench.Line("R5"), "5.0000000000\r\n");
  // The identity answers any line beginning V, and is configurable.
  EXPECT_EQ(bench.Line("V12345"), "Tovrel1.2\r\n");
  EXPECT_EQ(bench.Line("V100000"), "Tovrel1.2\r\n");
  SimOptions old;
  old.identity = "Tovrel1.0";
  EXPECT_EQ(Bench(old).Line("V12345"), "Tovrel1.0\r\n");
  const struct {
    const char* line;
    size_t waitsFor;
  } kRequests[] = {{"R1", 11}, {"R1", 11}, {"R2", 13}, {"R3", 21}, {"R4", 25}, {"R5", 11},
                   {"V12345", 8}, {"U1", 17}, {"S30F000000000000000000000F", 3}};
  for (const auto& r : kRequests) {
    const std::string reply = bench.Line(r.line);
    EXPECT_GT(reply.size(), r.waitsFor) << r.line;
    EXPECT_EQ(reply.substr(reply.size() - 2), "\r\n") << r.line;
  }
  // Lines it does not know get a short answer rather than silence.
  EXPECT_EQ(bench.Line("X"), "?\r\n");
  EXPECT_EQ(bench.Line("R9"), "?\r\n");
}

TEST(SimLines, LinesMayArriveInPiecesAndEndWithEitherLineEnd) {
  Bench bench;
  std::string reply;
  bench.sim.Write("R", reply);
  EXPECT_EQ(reply, "");
  bench.sim.Write("2\n", reply);
  EXPECT_EQ(reply, "2.000000005C01\r\n");
  reply.clear();
  bench.sim.Write("\r\rV1\rR5\n\r", reply);  // empty lines are no lines
  EXPECT_EQ(reply, "Tovrel1.2\r\n5.0000000000\r\n");
  // An overlong line is answered once, and the line after it is read normally.
  EXPECT_EQ(bench.Line(std::string(500, 'A')), "?\r\n");
  EXPECT_EQ(bench.Line("R2"), "2.000000005C01\r\n");
  // 80 characters are still a line; 81 are noise, however the writes split them.
  bench.sim.ClearTrace();
  EXPECT_EQ(bench.Line(std::string(80, 'B')), "?\r\n");
  reply.clear();
  bench.sim.Write(std::string(40, 'C'), reply);
  bench.sim.Write(std::string(41, 'C') + "\rR5\r", reply);
  EXPECT_EQ(reply, "?\r\n5.0000000000\r\n");
  const auto& lines = bench.sim.TraceLines();
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[0].text, std::string(80, 'B'));
  EXPECT_EQ(lines[2].text, "(overlong line)");
  EXPECT_EQ(lines[4].text, "R5");
}

TEST(SimLines, PacketLinesAreCheckedByLengthDigitsAndChecksum) {
  Bench bench;
  // Spindle off, then a single jog step of X+ at speed 5: both as the host writes them.
  EXPECT_EQ(bench.Line("S30F000000000000000000000F"), "OK\r\n");
  EXPECT_EQ(bench.Line("S3021F05000000000000000018"), "OK\r\n");
  EXPECT_EQ(bench.Line("R2"), "2.020002005C09\r\n");  // both taken at once, the step still busy
  bench.RunMs(30);
  EXPECT_EQ(bench.Line("R2"), "2.020002005C01\r\n");
  EXPECT_EQ(bench.sim.Position()[kX], 1);
  ASSERT_EQ(bench.sim.TraceRecords().size(), 2u);
  EXPECT_EQ(bench.sim.TraceRecords()[1].bytes[1], 0x1F);

  for (const char* bad : {"S30F000000000000000000000E",      // checksum
                          "S30f000000000000000000000F",      // lowercase is not hex here
                          "S30F00000000000000000000",        // short
                          "S30F000000000000000000000F00"}) {  // long
    EXPECT_EQ(bench.Line(bad), "CS\r\n") << bad;
  }
  // Dropped: the head did not move; the data-checksum bit stays until a reset.
  EXPECT_EQ(bench.Line("R2"), "2.020002005C05\r\n");
  EXPECT_FALSE(bench.sim.TraceRecords().back().checksumOk);
  bench.Send(1);
  EXPECT_EQ(bench.Line("R2"), "2.020002005C01\r\n");
}

TEST(SimLines, TraceHoldsEveryLineAndReplyWithItsTime) {
  Bench bench;
  bench.RunMs(5);
  bench.Line("R2");
  bench.RunMs(10);
  bench.Send(12);
  const auto& lines = bench.sim.TraceLines();
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_TRUE(lines[0].fromHost);
  EXPECT_EQ(lines[0].text, "R2");
  EXPECT_EQ(lines[0].timeUs, 5000);
  EXPECT_FALSE(lines[1].fromHost);
  EXPECT_EQ(lines[1].text, "2.000000005C01");
  EXPECT_EQ(lines[2].text, "S30C000000000000000000000C");
  EXPECT_EQ(lines[3].timeUs, 15000);
  ASSERT_EQ(bench.sim.TraceRecords().size(), 1u);
  EXPECT_EQ(bench.sim.TraceRecords()[0].bytes[0], 12);
  bench.sim.ClearTrace();
  EXPECT_TRUE(bench.sim.TraceLines().empty());
}

TEST(SimLines, ABoundedTraceKeepsTheNewestEntriesOldestFirst) {
  SimOptions options;
  options.traceLimit = 5;
  Bench bench(options);
  for (int i = 0; i < 7; ++i) {
    bench.RunMs(1);
    bench.Send(70, {static_cast<uint8_t>(i)});  // a variable select: one line and its OK each
  }
  const auto& lines = bench.sim.TraceLines();
  ASSERT_EQ(lines.size(), 5u);
  std::vector<int64_t> times;
  for (const auto& l : lines) times.push_back(l.timeUs);
  EXPECT_EQ(times, (std::vector<int64_t>{5000, 6000, 6000, 7000, 7000}));
  EXPECT_EQ(lines.front().text, "OK");
  EXPECT_EQ(lines[3].text, "S34606000000000000000000" "40");
  EXPECT_EQ(lines.back().text, "OK");
  const auto& records = bench.sim.TraceRecords();
  ASSERT_EQ(records.size(), 5u);
  for (size_t i = 0; i < records.size(); ++i) EXPECT_EQ(records[i].bytes[1], i + 2);
  bench.sim.ClearTrace();
  EXPECT_TRUE(lines.empty());
  bench.Send(70, {9});
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records.back().bytes[1], 9);
}

TEST(SimLines, ReplyFaultsDropGarbleSilenceAndGoOffline) {
  Bench bench;
  bench.sim.DropReplies(2);
  EXPECT_EQ(bench.Line("R2"), "");
  EXPECT_EQ(bench.Send(3), "");  // the record still acts
  EXPECT_EQ(bench.Line("R2"), "2.000000005C81\r\n");

  bench.sim.GarbleNextReply();
  const std::string garbled = bench.Line("R2");
  EXPECT_EQ(garbled.size(), 16u);
  EXPECT_NE(garbled, "2.000000005C81\r\n");
  EXPECT_EQ(bench.Line("R2"), "2.000000005C81\r\n");

  bench.sim.AnswerOffline(1);
  EXPECT_EQ(bench.Line("R2"), "E1\r\n");
  EXPECT_EQ(bench.Line("V12345"), "Tovrel1.2\r\n");

  // A dead line neither answers nor hears: the stop below never arrives.
  bench.sim.SetDeadLine(true);
  EXPECT_EQ(bench.Line("V12345"), "");
  EXPECT_EQ(bench.Send(128), "");
  bench.sim.SetDeadLine(false);
  EXPECT_EQ(bench.Line("R2"), "2.000000005C81\r\n");
}

}  // namespace
}  // namespace wendlar::sim
