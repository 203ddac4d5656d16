// FrameLeader: a frame is delivered only with a pixel format the SDK names truthfully (of at least
// 8 bits per pixel) and an image within the data received for it, at its format's exact size;
// everything else is a failed grab with its own code and description. Each row is a leader a
// hostile camera may send.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "FrameLeader.h"

namespace {

using Zazod::Aravis::FrameLeader;

enum class Expect { Delivered, BeyondData, Undeclarable };

struct LeaderCase {
  const char* name;
  uint32_t width;
  uint32_t height;
  uint32_t pixelFormat;
  Expect expect;
  size_t received;
};

std::ostream& operator<<(std::ostream& out, const LeaderCase& c) { return out << c.name; }

class HostileLeaders : public ::testing::TestWithParam<LeaderCase> {};

constexpr size_t kMiB = size_t{1} << 20;

// A format code of bits per pixel that the SDK does not know, built as PFNC codes are.
constexpr uint32_t withBits(uint32_t bits, uint32_t id) { return 0x01000000u | (bits << 16) | id; }

const LeaderCase kLeaders[] = {
    // The attack: 4000x2000 at 1 bit per pixel over 1,000,000 bytes; a reader of 8-bit
    // frames would read 8,000,000.
    {"OneBitLeaderOverItsPackedSize", 4000, 2000, 0x01010037u /* Mono1p */, Expect::Undeclarable, 1000000},
    {"OneBitLeaderOverAWholeByteEach", 4000, 2000, 0x01010037u, Expect::Undeclarable, 8000000},
    {"FourBitLeader", 640, 480, 0x01040039u /* Mono4p */, Expect::Undeclarable, size_t{640} * 480},
    {"UnknownFormatOfEightBits", 640, 480, withBits(8, 0x7ff), Expect::Undeclarable, size_t{640} * 480},
    {"UnknownFormatOfZeroBits", 640, 480, withBits(0, 0x0001), Expect::Undeclarable, size_t{640} * 480},
    {"NoFormatAtAll", 640, 480, 0, Expect::Undeclarable, size_t{640} * 480},
    {"Mono8ExactlyTheData", 2048, 2048, 0x01080001u, Expect::Delivered, kMiB * 4},
    {"Mono8OneByteShort", 2048, 2048, 0x01080001u, Expect::BeyondData, kMiB * 4 - 1},
    {"Mono8SmallerImageInLargerData", 1024, 1024, 0x01080001u, Expect::Delivered, kMiB * 4},
    {"Mono16Exactly", 640, 480, 0x01100007u, Expect::Delivered, size_t{640} * 480 * 2},
    {"Mono16OverMono8Data", 640, 480, 0x01100007u, Expect::BeyondData, size_t{640} * 480},
    {"Mono16OneByteShort", 640, 480, 0x01100007u, Expect::BeyondData, size_t{640} * 480 * 2 - 1},
    {"RGB8Exactly", 640, 480, 0x02180014u, Expect::Delivered, size_t{640} * 480 * 3},
    {"RGB8OneByteShort", 640, 480, 0x02180014u, Expect::BeyondData, size_t{640} * 480 * 3 - 1},
    {"BGRa8Exactly", 640, 480, 0x02200017u, Expect::Delivered, size_t{640} * 480 * 4},
    {"RGB16OneByteShort", 64, 48, 0x02300033u, Expect::BeyondData, size_t{64} * 48 * 6 - 1},
    // Packed formats at their exact packed size: 3 pixels of 12 bits are 36 bits, 5 bytes.
    {"Mono12pPackedExactly", 3, 1, 0x010c0047u, Expect::Delivered, 5},
    {"Mono12pOneByteShort", 3, 1, 0x010c0047u, Expect::BeyondData, 4},
    {"Mono12PackedOddPixelCount", 3, 3, 0x010c0006u, Expect::Delivered, 14},  // 108 bits: 13.5 bytes
    {"Mono12PackedOddPixelCountShort", 3, 3, 0x010c0006u, Expect::BeyondData, 13},
    {"Mono10pExactly", 4, 1, 0x010a0046u, Expect::Delivered, 5},
    {"BayerRG12pLarge", 4096, 3000, 0x010c0059u, Expect::Delivered, size_t{4096} * 3000 * 3 / 2},
    {"BayerRG12pLargeShort", 4096, 3000, 0x010c0059u, Expect::BeyondData, size_t{4096} * 3000 * 3 / 2 - 1},
    {"YUV411TwelveBitsExactly", 4, 2, 0x020c001eu, Expect::Delivered, 12},
    {"EmptyWidth", 0, 480, 0x01080001u, Expect::BeyondData, kMiB},
    {"EmptyHeight", 640, 0, 0x01080001u, Expect::BeyondData, kMiB},
    {"NothingReceived", 1, 1, 0x01080001u, Expect::BeyondData, 0},
    // Sizes whose products overflow: 2^32 bytes wrap a 32-bit product to 0; 2^32 x 2^32 pixels of
    // 48 bits wrap a 64-bit product of bits.
    {"ProductWrapsThirtyTwoBits", 65536, 65536, 0x01080001u, Expect::BeyondData, kMiB},
    {"ProductWrapsSixtyFourBits", UINT32_MAX, UINT32_MAX, 0x02300033u, Expect::BeyondData, SIZE_MAX},
    {"LargestMono8WithinAllData", UINT32_MAX, 1, 0x01080001u, Expect::Delivered, size_t{UINT32_MAX}},
};

TEST_P(HostileLeaders, AreJudgedByTheirFormatsExactSize) {
  const LeaderCase& c = GetParam();
  const FrameLeader::Judgement judgement = FrameLeader::judge(c.width, c.height, c.pixelFormat, c.received);
  switch (c.expect) {
    case Expect::Delivered:
      EXPECT_TRUE(judgement.deliver);
      EXPECT_EQ(static_cast<uint32_t>(judgement.pixelType), c.pixelFormat);  // the frame's own format
      EXPECT_EQ(judgement.errorCode, 0u);
      EXPECT_EQ(judgement.description, nullptr);
      break;
    case Expect::BeyondData:
      EXPECT_FALSE(judgement.deliver);
      EXPECT_EQ(judgement.pixelType, Pylon::PixelType_Undefined);
      EXPECT_EQ(judgement.errorCode, 0xE2000101u);
      EXPECT_STREQ(judgement.description,
                   "The frame's leader describes a larger image than the data received for it.");
      break;
    case Expect::Undeclarable:
      EXPECT_FALSE(judgement.deliver);
      EXPECT_EQ(judgement.pixelType, Pylon::PixelType_Undefined);
      EXPECT_EQ(judgement.errorCode, 0xE2000102u);
      EXPECT_STREQ(judgement.description,
                   "The frame's leader gives a pixel format this SDK cannot declare: unknown, or of fewer "
                   "than 8 bits per pixel.");
      break;
  }
}

INSTANTIATE_TEST_SUITE_P(FrameLeader, HostileLeaders, ::testing::ValuesIn(kLeaders),
                         [](const auto& info) { return std::string(info.param.name); });

// Every format the SDK can declare has at least 8 bits per pixel: so a delivered frame always holds
// at least one byte per pixel, whatever its format.
TEST(FrameLeader, DeclaresNoFormatOfFewerThanEightBits) {
  for (uint32_t bits = 0; bits < 8; ++bits) {
    for (uint32_t id = 0; id < 0x200; ++id) {
      for (const uint32_t group : {0x01000000u, 0x02000000u}) {
        EXPECT_EQ(FrameLeader::declarable(group | (bits << 16) | id), Pylon::PixelType_Undefined)
            << std::hex << (group | (bits << 16) | id);
      }
    }
  }
}

}  // namespace
