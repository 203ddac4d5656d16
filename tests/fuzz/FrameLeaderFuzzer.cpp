// Fuzz target: the judgement of a frame's leader. A delivered frame's data (a buffer of exactly the
// received size, so AddressSanitizer sees any read past it) is read as a reader of its declared
// format reads it, and as a reader of one byte per pixel reads it; the verdict is checked against
// the image's size computed afresh in 128 bits. Small images are allocated; large sizes (up to the
// 32-bit and 64-bit edges) are judged without data.
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "FrameLeader.h"
#include "FuzzInput.h"

namespace {

using Zazod::Aravis::FrameLeader;

void check(bool condition) {
  if (!condition) {
    std::abort();
  }
}

uint64_t bytesOf(FuzzInput& input, int count) {
  uint64_t value = 0;
  for (int i = 0; i < count; ++i) {
    value = (value << 8) | input.byte();
  }
  return value;
}

// Formats a camera is likely to name, so that most inputs reach the size check.
constexpr uint32_t kCommon[] = {0x01080001u, 0x01100007u, 0x010c0047u, 0x010c0006u, 0x010a0046u,
                                0x02180014u, 0x02200017u, 0x02300033u, 0x020c001eu, 0x01010037u};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput input(data, size);
  const bool large = input.flag();
  const uint32_t width = static_cast<uint32_t>(bytesOf(input, large ? 4 : 1));
  const uint32_t height = static_cast<uint32_t>(bytesOf(input, large ? 4 : 1));
  const uint32_t pixelFormat = input.flag() ? static_cast<uint32_t>(bytesOf(input, 4))
                                            : kCommon[input.choice(sizeof kCommon / sizeof kCommon[0])];
  const uint64_t received = large ? bytesOf(input, 8) : bytesOf(input, 3) % (uint64_t{1} << 20);
  const size_t receivedSize = received > SIZE_MAX ? SIZE_MAX : static_cast<size_t>(received);

  const FrameLeader::Judgement judgement = FrameLeader::judge(width, height, pixelFormat, receivedSize);
  const unsigned bits = (pixelFormat >> 16) & 0xffu;
  const unsigned __int128 needed = (static_cast<unsigned __int128>(width) * height * bits + 7) / 8;
  if (!judgement.deliver) {
    check(judgement.pixelType == Pylon::PixelType_Undefined && judgement.description != nullptr);
    check(judgement.errorCode == FrameLeader::kImageBeyondDataCode ||
          judgement.errorCode == FrameLeader::kUndeclarablePixelFormatCode);
    // Refused for its size only when it is empty or beyond the data.
    if (judgement.errorCode == FrameLeader::kImageBeyondDataCode) {
      check(width == 0 || height == 0 || needed > receivedSize);
    } else {
      check(FrameLeader::declarable(pixelFormat) == Pylon::PixelType_Undefined || bits < 8);
    }
    return 0;
  }
  check(static_cast<uint32_t>(judgement.pixelType) == pixelFormat && bits >= 8);
  check(width > 0 && height > 0 && needed <= receivedSize);
  check(static_cast<unsigned __int128>(width) * height <= needed);  // at least one byte per pixel
  if (!large) {
    // The data as a buffer of its own: both readers touch its last byte they would read.
    std::unique_ptr<uint8_t[]> buffer(new uint8_t[receivedSize]());
    volatile uint8_t last = buffer[static_cast<size_t>(needed) - 1];
    last = buffer[static_cast<size_t>(width) * height - 1];
    (void)last;
  }
  return 0;
}
