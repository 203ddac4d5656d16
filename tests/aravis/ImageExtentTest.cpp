// ImageExtent: an image a frame's leader describes is accepted only when it fits the data that
// arrived for it; sizes that would overflow a 32- or 64-bit product are refused, not wrapped.
#include <gtest/gtest.h>

#include <cstdint>

#include "ImageExtent.h"

namespace {

using Zazod::Aravis::ImageExtent;

TEST(ImageExtent, AcceptsOnlyImagesWithinTheReceivedData) {
  struct Case {
    uint32_t width;
    uint32_t height;
    uint32_t bits;
    size_t received;
    bool fits;
  };
  const Case cases[] = {
      {2048, 2048, 8, 2048u * 2048u, true},       // exactly the payload
      {2048, 2048, 8, 2048u * 2048u - 1, false},  // one byte short
      {2048, 2048, 8, 1024u * 1024u, false},      // a leader claiming more than arrived
      {1024, 1024, 8, 2048u * 2048u, true},       // a smaller image in a larger buffer
      {640, 480, 16, 640u * 480u * 2, true},
      {640, 480, 16, 640u * 480u, false},
      {3, 1, 12, 5, true},  // 36 bits: five bytes
      {3, 1, 12, 4, false},
      {0, 480, 8, 1u << 20, false},  // empty images are no frames
      {640, 0, 8, 1u << 20, false},
      {640, 480, 0, 1u << 20, false},                  // unknown pixel size
      {65536, 65536, 8, 1u << 30, false},              // 2^32 bytes: wraps a 32-bit product to 0
      {UINT32_MAX, UINT32_MAX, 255, SIZE_MAX, false},  // beyond 64 bits
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ImageExtent::fits(c.width, c.height, c.bits, c.received), c.fits)
        << c.width << "x" << c.height << " at " << c.bits << " bits in " << c.received << " bytes";
  }
  EXPECT_EQ(ImageExtent::bytes(65536, 65536, 8), uint64_t{1} << 32);
  EXPECT_EQ(ImageExtent::bytes(UINT32_MAX, UINT32_MAX, 255), UINT64_MAX);
}

}  // namespace
