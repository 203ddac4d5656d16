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

// Pixel formats by their GenICam pixel format naming convention (PFNC) codes: bits 16 to 23 of a
// code are the bits one pixel occupies. A successful result carries the format its camera declared
// for it; a failed one carries PixelType_Undefined.
enum EPixelType : uint32_t {
  PixelType_Undefined = 0,
  PixelType_Mono8 = 0x01080001,
  PixelType_Mono10 = 0x01100003,
  PixelType_Mono10Packed = 0x010c0004,
  PixelType_Mono12 = 0x01100005,
  PixelType_Mono12Packed = 0x010c0006,
  PixelType_Mono14 = 0x01100025,
  PixelType_Mono16 = 0x01100007,
  PixelType_Mono10p = 0x010a0046,
  PixelType_Mono12p = 0x010c0047,
  PixelType_BayerGR8 = 0x01080008,
  PixelType_BayerRG8 = 0x01080009,
  PixelType_BayerGB8 = 0x0108000a,
  PixelType_BayerBG8 = 0x0108000b,
  PixelType_BayerGR10 = 0x0110000c,
  PixelType_BayerRG10 = 0x0110000d,
  PixelType_BayerGB10 = 0x0110000e,
  PixelType_BayerBG10 = 0x0110000f,
  PixelType_BayerGR12 = 0x01100010,
  PixelType_BayerRG12 = 0x01100011,
  PixelType_BayerGB12 = 0x01100012,
  PixelType_BayerBG12 = 0x01100013,
  PixelType_BayerGR16 = 0x0110002e,
  PixelType_BayerRG16 = 0x0110002f,
  PixelType_BayerGB16 = 0x01100030,
  PixelType_BayerBG16 = 0x01100031,
  PixelType_BayerGR10Packed = 0x010c0026,
  PixelType_BayerRG10Packed = 0x010c0027,
  PixelType_BayerGB10Packed = 0x010c0028,
  PixelType_BayerBG10Packed = 0x010c0029,
  PixelType_BayerGR12Packed = 0x010c002a,
  PixelType_BayerRG12Packed = 0x010c002b,
  PixelType_BayerGB12Packed = 0x010c002c,
  PixelType_BayerBG12Packed = 0x010c002d,
  PixelType_BayerBG10p = 0x010a0052,
  PixelType_BayerGB10p = 0x010a0054,
  PixelType_BayerGR10p = 0x010a0056,
  PixelType_BayerRG10p = 0x010a0058,
  PixelType_BayerBG12p = 0x010c0053,
  PixelType_BayerGB12p = 0x010c0055,
  PixelType_BayerGR12p = 0x010c0057,
  PixelType_BayerRG12p = 0x010c0059,
  PixelType_RGB8 = 0x02180014,
  PixelType_BGR8 = 0x02180015,
  PixelType_RGBa8 = 0x02200016,
  PixelType_BGRa8 = 0x02200017,
  PixelType_RGB10 = 0x02300018,
  PixelType_BGR10 = 0x02300019,
  PixelType_RGB12 = 0x0230001a,
  PixelType_BGR12 = 0x0230001b,
  PixelType_RGB16 = 0x02300033,
  PixelType_RGB8_Planar = 0x02180021,
  PixelType_RGB10_Planar = 0x02300022,
  PixelType_RGB12_Planar = 0x02300023,
  PixelType_RGB16_Planar = 0x02300024,
  PixelType_YUV411_8_UYYVYY = 0x020c001e,
  PixelType_YUV422_8_UYVY = 0x0210001f,
  PixelType_YUV422_8 = 0x02100032,
  PixelType_YUV8_UYV = 0x02180020,
};

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
  // The format of the pixels in the buffer (see EPixelType).
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
