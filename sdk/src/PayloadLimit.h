// Pylon::Internal::PayloadLimit: the bound on the pixel buffers a device's pool is made of. Their
// size comes from the camera (PayloadSize) and the whole pool is allocated and zero-filled when
// streaming starts, so a camera's value must not decide how much memory the process takes: one
// buffer holds at most 1 GiB (the frames of GigE Vision and USB3 Vision cameras stay far below)
// and one device's pool at most 4 GiB.
#pragma once

#include <cstddef>
#include <cstdint>

namespace Pylon::Internal {

class PayloadLimit {
 public:
  static constexpr uint64_t kMaxBufferBytes = uint64_t{1} << 30;
  static constexpr uint64_t kMaxPoolBytes = uint64_t{4} << 30;

  // Throws a RuntimeException naming `operation` when `bufferCount` buffers of `payload` bytes
  // are none (a payload of 0 or less) or beyond the bounds.
  static void check(const char* operation, int64_t payload, size_t bufferCount);
};

}  // namespace Pylon::Internal
