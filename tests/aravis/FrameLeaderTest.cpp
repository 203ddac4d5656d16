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
  size_t received;
  Expect expect;
};

std::ostream& operator<<(std::ostream& out, const LeaderCase& c) { return out << c.name; }

class HostileLeaders : public ::testing::TestWithParam<LeaderCase> {};

constexpr size_t kMiB = size_t{1} << 20;

// A format code of bits per pixel that the SDK does not know, built as PFNC codes are.
constexpr uint32_t withBits(uint32_t bits, uint32_t id) { return 0x01000000u | (bits << 16) | id; }

const LeaderCase kLeaders[] = {
    // The attack: 4000x2000 at 1 bit per pixel over 1,000,000 bytes; a reader of 8-bit
    // frames would read 8,000,000.
    {"OneBitLeaderOverItsPackedSize", 4000, 2000, 0x01010037u /* Mono1p */, 1000000, Expect::Undeclarable},
    {"OneBitLeaderOverAWholeByteEach", 4000, 2000, 0x01010037u, 8000000, Expect::Undeclarable},
    {"FourBitLeader", 640, 480, 0x01040039u /* Mono4p */, 640 * 480, Expect::Undeclarable},
    {"UnknownFormatOfEightBits", 640, 480, withBits(8, 0x7ff), 640 * 480, Expect::Undeclarable},
    {"UnknownFormatOfZeroBits", 640, 480, withBits(0, 0x0001), 640 * 480, Expect::Undeclarable},
    {"NoFormatAtAll", 640, 480, 0, 640 * 480, Expect::Undeclarable},
    {"Mono8ExactlyTheData", 2048, 2048, 0x01080001u, 4 * kMiB, Expect::Delivered},
    {"Mono8OneByteShort", 2048, 2048, 0x01080001u, 4 * kMiB - 1, Expect::BeyondData},
    {"Mono8SmallerImageInLargerData", 1024, 1024, 0x01080001u, 4 * kMiB, Expect::Delivered},
    {"Mono16Exactly", 640, 480, 0x01100007u, 640 * 480 * 2, Expect::Delivered},
    {"Mono16OverMono8Data", 640, 480, 0x01100007u, 640 * 480, Expect::BeyondData},
    {"Mono16OneByteShort", 640, 480, 0x01100007u, 640 * 480 * 2 - 1, Expect::BeyondData},
    {"RGB8Exactly", 640, 480, 0x02180014u, 640 * 480 * 3, Expect::Delivered},
    {"RGB8OneByteShort", 640, 480, 0x02180014u, 640 * 480 * 3 - 1, Expect::BeyondData},
    {"BGRa8Exactly", 640, 480, 0x02200017u, 640 * 480 * 4, Expect::Delivered},
    {"RGB16OneByteShort", 64, 48, 0x02300033u, 64 * 48 * 6 - 1, Expect::BeyondData},
    // Packed formats at their exact packed size: 3 pixels of 12 bits are 36 bits, 5 bytes.
    {"Mono12pPackedExactly", 3, 1, 0x010c0047u, 5, Expect::Delivered},
    {"Mono12pOneByteShort", 3, 1, 0x010c0047u, 4, Expect::BeyondData},
    {"Mono12PackedOddPixelCount", 3, 3, 0x010c0006u, 14, Expect::Delivered},  // 108 bits: 13.5 bytes
    {"Mono12PackedOddPixelCountShort", 3, 3, 0x010c0006u, 13, Expect::BeyondData},
    {"Mono10pExactly", 4, 1, 0x010a0046u, 5, Expect::Delivered},
    {"BayerRG12pLarge", 4096, 3000, 0x010c0059u, 4096 * 3000 * 3 / 2, Expect::Delivered},
    {"BayerRG12pLargeShort", 4096, 3000, 0x010c0059u, 4096 * 3000 * 3 / 2 - 1, Expect::BeyondData},
    {"YUV411TwelveBitsExactly", 4, 2, 0x020c001eu, 12, Expect::Delivered},
    {"EmptyWidth", 0, 480, 0x01080001u, kMiB, Expect::BeyondData},
    {"EmptyHeight", 640, 0, 0x01080001u, kMiB, Expect::BeyondData},
    {"NothingReceived", 1, 1, 0x01080001u, 0, Expect::BeyondData},
    // Sizes whose products overflow: 2^32 bytes wrap a 32-bit product to 0; 2^32 x 2^32 pixels of
    // 48 bits wrap a 64-bit product of bits.
    {"ProductWrapsThirtyTwoBits", 65536, 65536, 0x01080001u, kMiB, Expect::BeyondData},
    {"ProductWrapsSixtyFourBits", UINT32_MAX, UINT32_MAX, 0x02300033u, SIZE_MAX, Expect::BeyondData},
    {"LargestMono8WithinAllData", UINT32_MAX, 1, 0x01080001u, size_t{UINT32_MAX}, Expect::Delivered},
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
