#include <gtest/gtest.h>

#include <random>

#include "SimTestSupport.h"

namespace wendlar::sim {
namespace {

using testing::Bench;

// A running job with three one-second dwells, the first under way.
void StartJob(Bench& bench) {
  bench.Initialise();
  bench.Send(3);
  for (int i = 0; i < 3; ++i) bench.Send(19, {100, 0});
  bench.RunMs(100);
}

TEST(SimFaults, StopButtonShowsInInputsAndLatchesInStateUntilAReset) {
  Bench bench;
  StartJob(bench);
  bench.sim.PressStopButton();
  EXPECT_EQ(bench.Line("R2"), "2.01000300DC40\r\n");  // job ended with records left
  bench.sim.ReleaseStopButton();
  bench.RunMs(5000);
  EXPECT_EQ(bench.Line("R2"), "2.010003005C40\r\n");
  bench.Send(19, {1, 0});  // nothing runs while the fault stands
  bench.RunMs(100);
  EXPECT_EQ(bench.Line("R2"), "2.030004005C40\r\n");
  bench.Send(1);
  EXPECT_EQ(bench.Line("R2"), "2.040004005C00\r\n");
}

TEST(SimFaults, OvertravelAndChecksumFaultsEndTheJobAndShowTheirBits) {
  Bench bench;
  StartJob(bench);
  bench.sim.TripOvertravel();
  EXPECT_EQ(bench.Line("R2"), "2.010003005C20\r\n");
  bench.Send(1);

  StartJob(bench);
  bench.sim.InjectDataChecksumError();
  EXPECT_EQ(bench.Line("R2"), "2.040006005C04\r\n");
  bench.Send(1);

  StartJob(bench);
  bench.sim.InjectMemoryChecksumError();
  EXPECT_EQ(bench.Line("R2"), "2.070009005C02\r\n");
  bench.Send(1);

  // A corrupted packet line during a job does the same as an injected one.
  StartJob(bench);
  EXPECT_EQ(bench.Line("S313000000000000000000000000"), "CS\r\n");
  EXPECT_EQ(bench.Line("R2"), "2.0A000C005C04\r\n");
}

TEST(SimFaults, DoorServoAndTorchLines) {
  Bench bench;
  bench.Initialise();
  bench.sim.OpenDoor();
  EXPECT_EQ(bench.sim.InputsByte(), 0x5E);
  bench.sim.SetServoFault(true);
  EXPECT_EQ(bench.sim.InputsByte(), 0x5A);
  bench.sim.CloseDoor();
  bench.sim.SetServoFault(false);
  EXPECT_EQ(bench.sim.InputsByte(), 0x5C);

  // With the door interlock in use an open door holds motion until it closes.
  bench.Send(132, {0x0C});
  bench.Send(29, {0x50, 0xC3, 0x00, 100, 1, 1});
  bench.RunMs(500);
  bench.sim.OpenDoor();
  const Steps4 held = bench.sim.Position();
  bench.RunMs(2000);
  EXPECT_EQ(bench.sim.Position(), held);
  bench.sim.CloseDoor();
  bench.RunMs(500);
  EXPECT_GT(bench.sim.Position()[kX], held[kX]);

  SimOptions options;
  options.plasma = true;
  Bench plasma(options);
  EXPECT_EQ(plasma.sim.InputsByte(), 0x5E);  // voltage good: both torch bits set
  plasma.sim.SetTorchVoltage(TorchVoltage::kHigh);
  EXPECT_EQ(plasma.sim.InputsByte(), 0x5C);
  plasma.sim.SetTorchVoltage(TorchVoltage::kLow);
  EXPECT_EQ(plasma.sim.InputsByte(), 0x5A);
}

TEST(SimFaults, HardwareResetMidJobForgetsEverythingButWhereTheMachineStands) {
  Bench bench;
  StartJob(bench);
  bench.Send(29, {0x10, 0x27, 0, 50, 1, 1});
  bench.RunMs(3000);
  const Steps4 machine = bench.sim.MachinePosition();
  bench.sim.HardwareReset();
  EXPECT_EQ(bench.Line("R2"), "2.000000005C01\r\n");
  EXPECT_EQ(bench.Line("R3"), "3.00000000000000000000\r\n");
  EXPECT_EQ(bench.sim.MachinePosition(), machine);
  bench.Send(138, {1});
  EXPECT_EQ(bench.Line("R4"), "4.000000000000000000000000\r\n");  // the table is gone too
}

TEST(SimFaults, RandomBytesAndLinesNeverStopItAnswering) {
  std::mt19937 random(12345);
  std::uniform_int_distribution<int> byte(0, 255);
  static const char* kPieces[] = {"R1", "R2", "R3", "R4", "R5", "V12345", "U1", "U1 ", "S6", "S7 ", "S3", "\n", "\r", "\n\r", "E1"};
  for (int firmware : {60, 110}) {
    SimOptions options;
    options.firmware = firmware;
    Bench bench(options);
    std::string reply;
    for (int round = 0; round < 3000; ++round) {
      std::string chunk;
      switch (round % 3) {
        case 0:  // raw bytes
          for (int i = byte(random) % 40; i > 0; --i) chunk += static_cast<char>(byte(random));
          break;
        case 1:  // plausible pieces run together
          for (int i = byte(random) % 5; i > 0; --i) chunk += kPieces[byte(random) % 15];
          break;
        default: {  // a well-formed record with random bytes: any code, any arguments
          uint8_t code = static_cast<uint8_t>(byte(random));
          chunk = "\n\r" + Bench::Packet(code, {static_cast<uint8_t>(byte(random)), static_cast<uint8_t>(byte(random)),
                                       static_cast<uint8_t>(byte(random)), static_cast<uint8_t>(byte(random)),
                                       static_cast<uint8_t>(byte(random)), static_cast<uint8_t>(byte(random)),
                                       static_cast<uint8_t>(byte(random)), static_cast<uint8_t>(byte(random)),
                                       static_cast<uint8_t>(byte(random)), static_cast<uint8_t>(byte(random))}) +
                  "\n\r";
        }
      }
      reply.clear();
      bench.sim.Write(chunk, reply);
      bench.nowUs += byte(random) * 100;
    }
    // Whatever it was told, an hour passes quickly and the buffer report is well formed.
    bench.RunMs(3600 * 1000);
    reply.clear();
    bench.sim.Write("\n\rR2\n\r", reply);
    ASSERT_EQ(reply.size(), 16u) << reply;
    EXPECT_EQ(reply.substr(0, 2), "2.");
    EXPECT_EQ(reply.find_first_not_of("0123456789ABCDEF", 2), 14u);
    EXPECT_EQ(reply.substr(14), "\r\n");
    EXPECT_EQ(bench.Line("V12345"), "Tovrel1.2\r\n");
    size_t accepted = 0;
    for (const auto& r : bench.sim.TraceRecords()) accepted += r.accepted ? 1 : 0;
    EXPECT_GT(accepted, 900u);  // the random records really reached it
  }
}

}  // namespace
}  // namespace wendlar::sim
