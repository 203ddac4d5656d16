// Zazod::Aravis::ImageExtent: the byte size of an image and its check against the received data.
#include "ImageExtent.h"

namespace Zazod::Aravis {

uint64_t ImageExtent::bytes(uint32_t width, uint32_t height, uint32_t bitsPerPixel) {
  // Pixels are counted in 64 bits (at most 2^64 - 2^33 + 1). Their bits may not fit into 64 bits
  // even when their bytes do, so the bytes are taken per group of 8 pixels (a whole number of
  // bytes, `bitsPerPixel` each) and the rest of fewer than 8 pixels is added, rounded up.
  const uint64_t pixels = static_cast<uint64_t>(width) * height;
  const uint64_t groups = pixels / 8;
  const uint64_t rest = (pixels % 8 * bitsPerPixel + 7) / 8;
  if (bitsPerPixel != 0 && groups > (UINT64_MAX - rest) / bitsPerPixel) {
    return UINT64_MAX;
  }
  return groups * bitsPerPixel + rest;
}

bool ImageExtent::fits(uint32_t width, uint32_t height, uint32_t bitsPerPixel, size_t received) {
  if (width == 0 || height == 0 || bitsPerPixel == 0) {
    return false;
  }
  const uint64_t needed = bytes(width, height, bitsPerPixel);
  return needed != UINT64_MAX && needed <= received;  // UINT64_MAX: beyond 64 bits, never fits
}

}  // namespace Zazod::Aravis
