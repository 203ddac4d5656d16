// Zazod::Aravis::FrameLeader: the judgement of what a frame's leader says about its image (width,
// height, pixel format) against the data received for it. A frame reaches the consumer only when
// its pixel format is one the SDK names truthfully in the result, of at least 8 bits per pixel (a
// reader of this SDK reads at least one byte per pixel), and its image lies within the data:
// width x height pixels of that format, packed formats at their exact packed size. The leader is
// the camera's word and arrives apart from the payload, so anything else is a failed grab.
#pragma once

#include <cstddef>
#include <cstdint>

#include "pylon/GrabResultData.h"

namespace Zazod::Aravis {

class FrameLeader {
 public:
  struct Judgement {
    bool deliver;
    Pylon::EPixelType pixelType;  // the frame's own format when delivered, else PixelType_Undefined
    uint32_t errorCode;           // of the failed grab when not delivered, else 0
    const char* description;      // of the failed grab when not delivered, else null
  };

  // Error codes of refused frames (beside the codes of Aravis's buffer states, 0xE2000000 + 1 +
  // status) and their descriptions.
  static constexpr uint32_t kImageBeyondDataCode = 0xE2000101u;
  static constexpr const char* kImageBeyondData =
      "The frame's leader describes a larger image than the data received for it.";
  static constexpr uint32_t kUndeclarablePixelFormatCode = 0xE2000102u;
  static constexpr const char* kUndeclarablePixelFormat =
      "The frame's leader gives a pixel format this SDK cannot declare: unknown, or of fewer than 8 bits "
      "per pixel.";

  // The pixel type a leader's PFNC code names, when the SDK can declare it; PixelType_Undefined
  // otherwise.
  static Pylon::EPixelType declarable(uint32_t pixelFormat);
  // The leader's image against `received` bytes (the data that arrived, at most the buffer).
  static Judgement judge(uint32_t width, uint32_t height, uint32_t pixelFormat, size_t received);
};

}  // namespace Zazod::Aravis
