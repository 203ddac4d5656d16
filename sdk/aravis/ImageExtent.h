// Zazod::Aravis::ImageExtent: whether the image a GigE Vision or USB3 Vision frame describes (its
// width, height and pixel format, from the frame's leader) lies within the data received for it.
// The leader is the camera's word and arrives apart from the payload: a result that reports a
// larger image than its buffer holds would let whoever reads width x height pixels read past it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace Zazod::Aravis {

class ImageExtent {
 public:
  // Bytes that width x height pixels of `bitsPerPixel` occupy (rounded up to whole bytes);
  // UINT64_MAX when that does not fit into 64 bits (also when only their bits would not).
  static uint64_t bytes(uint32_t width, uint32_t height, uint32_t bitsPerPixel);
  // True when the image is not empty, its pixel size known, and it fits into `received` bytes.
  static bool fits(uint32_t width, uint32_t height, uint32_t bitsPerPixel, size_t received);
};

}  // namespace Zazod::Aravis
