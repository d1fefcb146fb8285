#include <gtest/gtest.h>

#include "link/Commands.h"
#include "link/Wire.h"

namespace wendlar {
namespace {

namespace cmd = commands;

TEST(Wire, PacketLinesAreByteExact) {
  EXPECT_EQ(PacketLine(CommandRecord(15, {})), "S30F000000000000000000000F\n\r");
  EXPECT_EQ(PacketLine(CommandRecord(2, {0x1F, 5})), "S3021F05000000000000000018\n\r");
  EXPECT_EQ(PacketLine(CommandRecord(2, {0x1F, 5})).size(), 28u);

  // b11 never travels and is not in the checksum.
  CommandRecord withB11(2, {0x1F, 5});
  withB11.SetB(11, 0xAA);
  EXPECT_EQ(PacketLine(withB11), "S3021F05000000000000000018\n\r");
  // b10 does travel and is in the checksum.
  CommandRecord withB10(15, {});
  withB10.SetB(10, 0x31);
  EXPECT_EQ(PacketLine(withB10), "S30F000000000000000000313E\n\r");
}

TEST(Wire, HexPairsAreUppercaseOnly) {
  EXPECT_EQ(ByteToHexPair(0x00), "00");
  EXPECT_EQ(ByteToHexPair(0xAF), "AF");
  EXPECT_EQ(HexPairToByte('F', 'E'), 0xFE);
  EXPECT_EQ(HexPairToByte('0', '9'), 0x09);
  EXPECT_FALSE(HexPairToByte('f', 'e'));
  EXPECT_FALSE(HexPairToByte('0', 'G'));
  EXPECT_FALSE(HexPairToByte(':', '0'));  // the character after '9'
  EXPECT_FALSE(HexPairToByte('@', '0'));  // the character before 'A'
}

TEST(Commands, Long3EncodesTwosComplementAndRefusesWhatDoesNotFit) {
  EXPECT_EQ(cmd::EncodeLong3(-1), (std::array<uint8_t, 3>{0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(cmd::EncodeLong3(8388607), (std::array<uint8_t, 3>{0xFF, 0xFF, 0x7F}));
  EXPECT_EQ(cmd::EncodeLong3(-8388608), (std::array<uint8_t, 3>{0x00, 0x00, 0x80}));
  EXPECT_EQ(cmd::EncodeLong3(0x123456), (std::array<uint8_t, 3>{0x56, 0x34, 0x12}));
  EXPECT_FALSE(cmd::EncodeLong3(8388608));
  EXPECT_FALSE(cmd::EncodeLong3(-8388609));
  EXPECT_FALSE(cmd::FitsLong3(8388608));

  // Every builder that carries a position refuses rather than truncates.
  EXPECT_FALSE(cmd::MoveXY(0, 8388608, 10, 5));
  EXPECT_FALSE(cmd::MoveXY(-8388609, 0, 10, 5));
  EXPECT_FALSE(cmd::MoveZ(8388608, 10, 5, true));
  EXPECT_FALSE(cmd::MoveW(8388608, 10, 5, true));
  EXPECT_FALSE(cmd::MoveAxis(8388608, 10, 5, 1));
  EXPECT_FALSE(cmd::SetPosition(1, 8388608));
  EXPECT_FALSE(cmd::ProbeMove(0, 8388608, 1, 1));

  const auto move = cmd::MoveXY(-1, 0x010203, 40, 7);
  ASSERT_TRUE(move);
  EXPECT_EQ(PacketLine(*move), "S314FFFFFF03020128070000C4\n\r");
}

TEST(Commands, RecordLayouts) {
  EXPECT_EQ(cmd::JogStart(cmd::kJogZPlus, 7), CommandRecord(5, {0x40, 7}));
  EXPECT_EQ(cmd::JogStep(cmd::kJogXPlus, 0), CommandRecord(2, {0x1F, 0}));
  EXPECT_EQ(cmd::Pause(), CommandRecord(137, {1, 1, 1, 1}));
  EXPECT_EQ(cmd::Resume(), CommandRecord(137, {}));
  EXPECT_EQ(PacketLine(cmd::Pause()), "S3890101010100000000000089\n\r");
  EXPECT_EQ(PacketLine(cmd::Resume()), "S3890000000000000000000089\n\r");

  EXPECT_EQ(cmd::HomeXY(30, 0x1234), CommandRecord(8, {0, 5, 30, 0x34, 0x12}));
  EXPECT_EQ(cmd::HomeW(20, 5, 0), CommandRecord(9, {0, 4, 20, 5, 0}));
  EXPECT_EQ(*cmd::SetPosition(3, -2), CommandRecord(10, {3, 0xFE, 0xFF, 0xFF, 0}));
  EXPECT_EQ(cmd::MiscSettings(9, 8, 1, 0), CommandRecord(11, {9, 8, 1, 0, 0, 25, 150}));
  // The start speed of a Z move never exceeds its speed.
  EXPECT_EQ(*cmd::MoveZ(-100, 12, 30, true), CommandRecord(21, {0x9C, 0xFF, 0xFF, 12, 12, 1}));
  EXPECT_EQ(*cmd::MoveZ(-100, 12, 5, false), CommandRecord(21, {0x9C, 0xFF, 0xFF, 12, 5, 0}));
  EXPECT_EQ(*cmd::MoveAxis(5, 9, 0x0203, 4), CommandRecord(29, {5, 0, 0, 9, 0x03, 4}));
  EXPECT_EQ(cmd::Dwell(1000), CommandRecord(19, {0xE8, 0x03}));
  EXPECT_EQ(cmd::SetHeadTail(0x0102, 0x0304), CommandRecord(91, {2, 1, 4, 3}));
  EXPECT_EQ(cmd::Overrides(-30, 50, 3, 200), CommandRecord(135, {0x9E, 50, 3, 200}));
  EXPECT_EQ(cmd::SignedPercentByte(10), 0x0A);
  EXPECT_EQ(cmd::SignedPercentByte(-200), 0xFF);
  EXPECT_EQ(cmd::SpindleSpeed(3, 12000), CommandRecord(134, {3, 0xE0, 0x2E}));

  // The RAM fill cycles through 115..126 and writes its pattern modulo 256.
  EXPECT_EQ(cmd::RamTestFill(0), CommandRecord(115, {0, 0, 3, 3, 5, 5, 8, 8, 12, 12}));
  EXPECT_EQ(cmd::RamTestFill(12).Code(), 115);
  EXPECT_EQ(cmd::RamTestFill(40).Code(), 119);
  EXPECT_EQ(cmd::RamTestFill(253), CommandRecord(116, {253, 0, 0, 3, 2, 5, 5, 8, 9, 12}));
}

TEST(Commands, SegmentDirectionAndDominantAxis) {
  // X dominant, X positive, Y negative, Z zero counts as positive.
  EXPECT_EQ(cmd::SegmentDirectionByte(100, -50, 0), 0x1A);
  // Equal X and Y: Y is dominant.
  EXPECT_EQ(cmd::SegmentDirectionByte(-7, 7, 0), 0x26);
  // Z takes over only when strictly larger than both.
  EXPECT_EQ(cmd::SegmentDirectionByte(1, 1, -5), 0x4C);
  EXPECT_EQ(cmd::SegmentDirectionByte(5, 1, -5), 0x1C);
  // The fourth channel never becomes dominant.
  EXPECT_EQ(cmd::SegmentWDirectionByte(3, -2, 1000), 0x1A);
  EXPECT_EQ(cmd::SegmentWDirectionByte(-2, 2, -1000), 0x24);

  const auto seg = cmd::Segment(300, -2, 0x1234, 0x81, 44, 9);
  ASSERT_TRUE(seg);
  EXPECT_EQ(*seg, CommandRecord(22, {0x2C, 0x01, 0x02, 0x00, 0x34, 0x12, 0x81, 44, 0x4A, 9}));
  EXPECT_FALSE(cmd::Segment(0, 0, 0, 0, 1, 1));
  EXPECT_FALSE(cmd::Segment(65536, 0, 0, 0, 1, 1));
  const auto laser = cmd::SegmentW(-10, 4, 255, 1, 3, 2);
  ASSERT_TRUE(laser);
  EXPECT_EQ(*laser, CommandRecord(23, {10, 0, 4, 0, 255, 0, 1, 3, 0x16, 2}));
  // A laser segment without XY motion is not sent, whatever its power.
  EXPECT_FALSE(cmd::SegmentW(0, 0, 255, 1, 3, 2));
}

}  // namespace
}  // namespace wendlar
