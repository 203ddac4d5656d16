// ImageExtent: an image a frame's leader describes is accepted only when it fits the data that
// arrived for it; sizes that would overflow a 32- or 64-bit product are refused, not wrapped.
#include <gtest/gtest.h>

#include <cstdint>

#include "ImageExtent.h"

namespace {

using Zazod::Aravis::ImageExtent;

TEST(ImageExtent, AcceptsOnlyImagesWithinTheReceivedData) {
  struct Case {
    size_t received;
    uint32_t width;
    uint32_t height;
    uint32_t bits;
    bool fits;
  };
  const Case cases[] = {
      {size_t{2048} * size_t{2048}, 2048, 2048, 8, true},       // exactly the payload
      {size_t{2048} * size_t{2048} - 1, 2048, 2048, 8, false},  // one byte short
      {size_t{1024} * size_t{1024}, 2048, 2048, 8, false},      // a leader claiming more than arrived
      {size_t{2048} * size_t{2048}, 1024, 1024, 8, true},       // a smaller image in a larger buffer
      {size_t{640} * size_t{480} * 2, 640, 480, 16, true},
      {size_t{640} * size_t{480}, 640, 480, 16, false},
      {5, 3, 1, 12, true},  // 36 bits: five bytes
      {4, 3, 1, 12, false},
      {size_t{1} << 20, 0, 480, 8, false},  // empty images are no frames
      {size_t{1} << 20, 640, 0, 8, false},
      {size_t{1} << 20, 640, 480, 0, false},           // unknown pixel size
      {size_t{1} << 30, 65536, 65536, 8, false},       // 2^32 bytes: wraps a 32-bit product to 0
      {SIZE_MAX, UINT32_MAX, UINT32_MAX, 255, false},  // beyond 64 bits
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ImageExtent::fits(c.width, c.height, c.bits, c.received), c.fits)
        << c.width << "x" << c.height << " at " << c.bits << " bits in " << c.received << " bytes";
  }
  EXPECT_EQ(ImageExtent::bytes(65536, 65536, 8), uint64_t{1} << 32);
  EXPECT_EQ(ImageExtent::bytes(UINT32_MAX, UINT32_MAX, 255), UINT64_MAX);
  // Bits beyond 64 bits whose bytes are not: (2^32 - 1)^2 pixels of 8 bits, and of 12.
  EXPECT_EQ(ImageExtent::bytes(UINT32_MAX, UINT32_MAX, 8), uint64_t{UINT32_MAX} * UINT32_MAX);
  EXPECT_EQ(ImageExtent::bytes(0x11111111u, 0xcecececeu, 32), uint64_t{0x11111111u} * 0xcecececeu * 4);
  EXPECT_EQ(ImageExtent::bytes(3, 3, 12), 14u);  // 108 bits: 13.5 bytes
  EXPECT_EQ(ImageExtent::bytes(UINT32_MAX, UINT32_MAX, 9), UINT64_MAX);
}

}  // namespace
