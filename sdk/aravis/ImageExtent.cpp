// Zazod::Aravis::ImageExtent: the byte size of an image and its check against the received data.
#include "ImageExtent.h"

namespace Zazod::Aravis {

uint64_t ImageExtent::bytes(uint32_t width, uint32_t height, uint32_t bitsPerPixel) {
  // At most 2^32 * 2^32 * 255 bits would overflow 64 bits; pixels are counted in 64 bits first and
  // the product is bounded before it is turned into bits.
  const uint64_t pixels = static_cast<uint64_t>(width) * height;
  if (bitsPerPixel != 0 && pixels > UINT64_MAX / bitsPerPixel) {
    return UINT64_MAX;
  }
  const uint64_t bits = pixels * bitsPerPixel;
  return bits / 8 + (bits % 8 != 0 ? 1 : 0);
}

bool ImageExtent::fits(uint32_t width, uint32_t height, uint32_t bitsPerPixel, size_t received) {
  if (width == 0 || height == 0 || bitsPerPixel == 0) {
    return false;
  }
  const uint64_t needed = bytes(width, height, bitsPerPixel);
  return needed != UINT64_MAX && needed <= received;  // UINT64_MAX: beyond 64 bits, never fits
}

}  // namespace Zazod::Aravis
