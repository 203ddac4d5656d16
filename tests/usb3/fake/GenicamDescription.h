// Zazod::FakeUsb3::GenicamDescription: the fake camera's own GenICam description (served raw from
// its manifest) and the addresses of the feature registers it describes.
#pragma once

#include <cstdint>
#include <string>

namespace Zazod::FakeUsb3 {

class GenicamDescription {
 public:
  static constexpr uint64_t kFeatureBase = 0x10000;
  // Offsets of the feature registers from kFeatureBase (4 bytes each; the floats 8).
  enum Offset : uint32_t {
    Width = 0x00,
    Height = 0x04,
    WidthMax = 0x08,
    HeightMax = 0x0C,
    PixelFormat = 0x10,
    PayloadSize = 0x14,
    AcquisitionMode = 0x18,
    AcquisitionStart = 0x1C,
    AcquisitionStop = 0x20,
    TriggerSelector = 0x24,
    TriggerMode = 0x28,
    TriggerSource = 0x2C,
    TriggerSoftware = 0x30,
    OffsetX = 0x34,
    OffsetY = 0x38,
    BinningHorizontal = 0x3C,
    BinningVertical = 0x40,
    SensorWidth = 0x44,
    SensorHeight = 0x48,
    Reserved = 0x4C,
    AcquisitionFrameRate = 0x50,
    ExposureTime = 0x58,
    Gain = 0x60,
    End = 0x68,
  };
  static constexpr uint32_t kMono8 = 0x01080001;

  static const std::string& xml();
};

}  // namespace Zazod::FakeUsb3
