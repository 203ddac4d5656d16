// Pylon::CGrabResultData: one grab result: success flag, the pixel buffer (owned by the SDK and
// valid while the result is held), sizes, the camera's image number, the device's block id, error
// code and text. Readers are inline; a result may carry injected faults that make a reader throw.
#pragma once

#include <cstddef>
#include <cstdint>

#include "gcbase/Export.h"
#include "pylon/Types.h"

namespace Pylon {

namespace Internal {
class ResultSlot;
class ResultFaults;
}  // namespace Internal

enum EPixelType : uint32_t { PixelType_Undefined = 0, PixelType_Mono8 = 0x01080001 };

class ZAZOD_SDK_API CGrabResultData {
 public:
  // The readers a fault can be injected into.
  enum class Reader { GrabSucceeded, Buffer, Width, Height, ImageNumber, ErrorCode, ErrorDescription };

  bool GrabSucceeded() const {
    check(Reader::GrabSucceeded);
    return m_succeeded;
  }
  void* GetBuffer() const {
    check(Reader::Buffer);
    return m_buffer;
  }
  uint32_t GetWidth() const {
    check(Reader::Width);
    return m_width;
  }
  uint32_t GetHeight() const {
    check(Reader::Height);
    return m_height;
  }
  // The camera's own count of the results it delivered since StartGrabbing, from 1.
  int64_t GetImageNumber() const {
    check(Reader::ImageNumber);
    return m_imageNumber;
  }
  // The device's id of the frame.
  uint64_t GetBlockID() const { return m_blockId; }
  uint32_t GetErrorCode() const {
    check(Reader::ErrorCode);
    return m_errorCode;
  }
  String_t GetErrorDescription() const {
    check(Reader::ErrorDescription);
    return String_t(m_errorDescription);
  }
  size_t GetPayloadSize() const { return m_payloadSize; }
  uint64_t GetTimeStamp() const { return m_timeStamp; }
  EPixelType GetPixelType() const { return m_pixelType; }

 private:
  friend class Internal::ResultSlot;

  void check(Reader reader) const {
    if (m_faults != nullptr) {
      throwIfFaulty(reader);
    }
  }
  void throwIfFaulty(Reader reader) const;

  bool m_succeeded = false;
  void* m_buffer = nullptr;
  uint32_t m_width = 0;
  uint32_t m_height = 0;
  int64_t m_imageNumber = 0;
  uint64_t m_blockId = 0;
  uint32_t m_errorCode = 0;
  const char* m_errorDescription = "";
  size_t m_payloadSize = 0;
  uint64_t m_timeStamp = 0;
  EPixelType m_pixelType = PixelType_Mono8;
  const Internal::ResultFaults* m_faults = nullptr;
};

}  // namespace Pylon
