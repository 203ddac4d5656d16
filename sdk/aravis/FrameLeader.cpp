// Zazod::Aravis::FrameLeader: the table of declarable pixel formats and the leader's judgement.
#include "FrameLeader.h"

#include "ImageExtent.h"

namespace Zazod::Aravis {

namespace {

using namespace Pylon;

// Every format the SDK names (each of at least 8 bits per pixel, its size width x height x bits).
constexpr EPixelType kDeclarable[] = {
    PixelType_Mono8,
    PixelType_Mono10,
    PixelType_Mono10Packed,
    PixelType_Mono12,
    PixelType_Mono12Packed,
    PixelType_Mono14,
    PixelType_Mono16,
    PixelType_Mono10p,
    PixelType_Mono12p,
    PixelType_BayerGR8,
    PixelType_BayerRG8,
    PixelType_BayerGB8,
    PixelType_BayerBG8,
    PixelType_BayerGR10,
    PixelType_BayerRG10,
    PixelType_BayerGB10,
    PixelType_BayerBG10,
    PixelType_BayerGR12,
    PixelType_BayerRG12,
    PixelType_BayerGB12,
    PixelType_BayerBG12,
    PixelType_BayerGR16,
    PixelType_BayerRG16,
    PixelType_BayerGB16,
    PixelType_BayerBG16,
    PixelType_BayerGR10Packed,
    PixelType_BayerRG10Packed,
    PixelType_BayerGB10Packed,
    PixelType_BayerBG10Packed,
    PixelType_BayerGR12Packed,
    PixelType_BayerRG12Packed,
    PixelType_BayerGB12Packed,
    PixelType_BayerBG12Packed,
    PixelType_BayerBG10p,
    PixelType_BayerGB10p,
    PixelType_BayerGR10p,
    PixelType_BayerRG10p,
    PixelType_BayerBG12p,
    PixelType_BayerGB12p,
    PixelType_BayerGR12p,
    PixelType_BayerRG12p,
    PixelType_RGB8,
    PixelType_BGR8,
    PixelType_RGBa8,
    PixelType_BGRa8,
    PixelType_RGB10,
    PixelType_BGR10,
    PixelType_RGB12,
    PixelType_BGR12,
    PixelType_RGB16,
    PixelType_RGB8_Planar,
    PixelType_RGB10_Planar,
    PixelType_RGB12_Planar,
    PixelType_RGB16_Planar,
    PixelType_YUV411_8_UYYVYY,
    PixelType_YUV422_8_UYVY,
    PixelType_YUV422_8,
    PixelType_YUV8_UYV,
};

uint32_t bitsPerPixel(uint32_t pixelFormat) { return (pixelFormat >> 16) & 0xffu; }

}  // namespace

EPixelType FrameLeader::declarable(uint32_t pixelFormat) {
  for (const EPixelType type : kDeclarable) {
    if (type == pixelFormat) {
      return type;
    }
  }
  return PixelType_Undefined;
}

FrameLeader::Judgement FrameLeader::judge(uint32_t width, uint32_t height, uint32_t pixelFormat,
                                          size_t received) {
  const EPixelType type = declarable(pixelFormat);
  if (type == PixelType_Undefined || bitsPerPixel(type) < 8) {
    return {false, PixelType_Undefined, kUndeclarablePixelFormatCode, kUndeclarablePixelFormat};
  }
  if (!ImageExtent::fits(width, height, bitsPerPixel(type), received)) {
    return {false, PixelType_Undefined, kImageBeyondDataCode, kImageBeyondData};
  }
  return {true, type, 0, nullptr};
}

}  // namespace Zazod::Aravis
