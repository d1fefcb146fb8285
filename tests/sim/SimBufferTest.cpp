#include <gtest/gtest.h>

#include "SimTestSupport.h"

namespace wendlar::sim {
namespace {

using testing::Bench;

TEST(SimBuffer, HeadMovesAsRecordsEnterAndTailAsTheyExecute) {
  Bench bench;
  bench.Initialise();
  bench.Send(137, {1, 1, 1, 1});  // hold, so the records wait in the ring
  for (int i = 0; i < 3; ++i) bench.Send(19, {10, 0});  // three dwells of 0.10 s
  EXPECT_EQ(bench.Line("R2"), "2.000003005C00\r\n");
  bench.Send(137, {0, 0, 0, 0});
  EXPECT_EQ(bench.Line("R2"), "2.010003005C08\r\n");  // the first dwell runs: busy
  bench.RunMs(100);
  EXPECT_EQ(bench.Line("R2"), "2.020003005C08\r\n");
  bench.RunMs(199);
  EXPECT_EQ(bench.Line("R2"), "2.030003005C08\r\n");
  bench.RunMs(1);
  EXPECT_EQ(bench.Line("R2"), "2.030003005C00\r\n");

  // Buffered records count as they are executed; immediate ones never do.
  EXPECT_EQ(bench.Line("R1"), "1.6E00030000\r\n");
  bench.Send(4);
  EXPECT_EQ(bench.Line("R1"), "1.00FF000000\r\n");
  EXPECT_EQ(bench.Line("R1"), "1.6E00000000\r\n");
  EXPECT_EQ(bench.sim.TotalExecuted(), 3u);
}

TEST(SimBuffer, EightBitRingOf4096WrapsAsTheHostComputesIt) {
  SimOptions options;
  options.firmware = 99;
  Bench bench(options);
  EXPECT_EQ(bench.sim.BufferSize(), 4096);
  bench.Send(91, {0xFE, 0x0F, 0xFE, 0x0F});  // head = tail = 4094
  bench.Send(137, {1, 1, 1, 1});
  for (int i = 0; i < 4; ++i) bench.Send(19, {1, 0});
  EXPECT_EQ(bench.Line("R2"), "2.FE0F02005C01\r\n");
  EXPECT_EQ(bench.sim.BufferFill(), 4);
  EXPECT_EQ(bench.Line("R1"), "1.6300000000\r\n");  // version 99
}

TEST(SimBuffer, RecordsWrittenIntoAFullRingAreCountedAndDropped) {
  Bench bench;
  EXPECT_EQ(bench.sim.BufferSize(), 4000);
  bench.Send(137, {1, 1, 1, 1});
  for (int i = 0; i < 3999; ++i) bench.Send(19, {1, 0});
  EXPECT_EQ(bench.sim.Overruns(), 0u);
  EXPECT_EQ(bench.Line("R2"), "2.00009F0F5C01\r\n");
  EXPECT_EQ(bench.Send(19, {1, 0}), "OK\r\n");  // the host is not told
  EXPECT_EQ(bench.sim.Overruns(), 1u);
  EXPECT_FALSE(bench.sim.TraceRecords().back().accepted);
  EXPECT_EQ(bench.Line("R2"), "2.00009F0F5C01\r\n");
}

TEST(SimBuffer, RunningLastsFromStartToEndRecordAndAnEmptyRingIsStarvation) {
  Bench bench;
  bench.Initialise();
  bench.Send(3);
  EXPECT_EQ(bench.Line("R2"), "2.000000005C80\r\n");
  bench.RunMs(30);
  EXPECT_EQ(bench.sim.Starvations(), 0u);  // nothing to run yet is not starving
  bench.Send(19, {5, 0});
  EXPECT_EQ(bench.Line("R2"), "2.010001005C88\r\n");
  bench.RunMs(100);
  // Still running with the ring empty: the job is starved, not finished.
  EXPECT_EQ(bench.Line("R2"), "2.010001005C80\r\n");
  EXPECT_EQ(bench.sim.Starvations(), 1u);
  EXPECT_EQ(bench.sim.StarvedUs(), 50000);
  bench.Send(19, {5, 0});
  bench.RunMs(100);
  EXPECT_EQ(bench.sim.Starvations(), 2u);
  bench.Send(80);
  EXPECT_EQ(bench.Line("R2"), "2.030003005C00\r\n");
  EXPECT_EQ(bench.sim.JobRunTimeUs(), 230000);
  bench.RunMs(1000);
  EXPECT_EQ(bench.sim.Starvations(), 2u);
  EXPECT_EQ(bench.sim.JobRunTimeUs(), 230000);
  EXPECT_EQ(bench.Line("R1"), "1.6E00030000\r\n");  // two dwells and the end record
}

TEST(SimBuffer, StopEndsTheJobLeavingItsRecordsVisibleUntilTheNextOneArrives) {
  Bench bench;
  bench.Initialise();
  bench.Send(3);
  for (int i = 0; i < 3; ++i) bench.Send(19, {100, 0});
  bench.RunMs(10);
  bench.Send(128);
  EXPECT_EQ(bench.Line("R2"), "2.010003005C10\r\n");  // stopped by operator, head != tail
  bench.RunMs(5000);
  EXPECT_EQ(bench.Line("R2"), "2.010003005C10\r\n");  // nothing left runs
  bench.Send(130);
  EXPECT_EQ(bench.Line("R2"), "2.010003005C00\r\n");
  // The next record sweeps the abandoned ones away and runs itself.
  bench.Send(15);
  EXPECT_EQ(bench.Line("R2"), "2.040004005C00\r\n");

  // A start clears the stop latch too, a reset empties the ring.
  bench.Send(128);
  EXPECT_EQ(bench.sim.StateByte(), kStateStoppedByOperator);
  bench.Send(3);
  EXPECT_EQ(bench.sim.StateByte(), kStateRunning);
  bench.Send(137, {1, 1, 1, 1});
  bench.Send(19, {1, 0});
  bench.Send(1);
  EXPECT_EQ(bench.Line("R2"), "2.050005005C00\r\n");
}

TEST(SimBuffer, NotInitialisedUntilAccelerationAndTableArriveAndAgainAfterAHardwareReset) {
  Bench bench;
  EXPECT_EQ(bench.sim.StateByte(), kStateNotInitialised);
  bench.Send(11, {210, 210, 0, 1, 0, 25, 150});
  EXPECT_EQ(bench.sim.StateByte(), kStateNotInitialised);
  bench.Send(30, {1});
  EXPECT_EQ(bench.sim.StateByte(), 0);
  bench.Send(1);  // the host's initialisation ends with a reset: it must not undo it
  EXPECT_EQ(bench.sim.StateByte(), 0);

  bench.Send(3);
  bench.Send(19, {100, 0});
  bench.RunMs(100);
  bench.sim.HardwareReset();
  EXPECT_EQ(bench.Line("R2"), "2.000000005C01\r\n");
  EXPECT_FALSE(bench.sim.JobRunning());
  bench.Send(30, {1});
  EXPECT_EQ(bench.sim.StateByte(), kStateNotInitialised);
  bench.Send(11, {210, 210, 0, 1, 0, 25, 150});
  EXPECT_EQ(bench.sim.StateByte(), 0);
}

}  // namespace
}  // namespace wendlar::sim
