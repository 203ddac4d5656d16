// The host interface's own parts of ICameraObject: construction with the initial field values and
// the default operations, which touch no camera and change no state.
#include "ICameraObject.h"

namespace {

// Bits per pixel of an image-format code; codes without a fixed answer give 0.
int32_t bitsPerPixelOf(int32_t imageFormat) {
  switch (imageFormat) {
    case 1:
      return 8;
    case 2:
      return 24;
    case 3:
      return 32;
    case 4:
      return 16;
    default:
      return 0;
  }
}

}  // namespace

// A null record is tolerated: no format is known, so the bits per pixel are 0.
ICameraObject::ICameraObject(CameraConfig* config, ICameraFrameSink* sink)
    : m_config(config),
      m_bitsPerPixel(config != nullptr ? bitsPerPixelOf(config->imageFormat) : 0),
      m_frameSink(sink) {}

ICameraObject::~ICameraObject() = default;

QStringList ICameraObject::IEnumCameras() { return QStringList(); }

int ICameraObject::ISnapCamera(int /*unused*/) {
  if (!m_isGrabbing) {
    return 0;
  }
  if (m_config == nullptr) {
    return 0;
  }
  if (m_config->snapInhibited) {
    return 0;
  }
  if (m_activeGrabMode == GrabMode_SoftwareTriggerCounted && m_imageNumber >= m_frameLimit) {
    return 0;
  }
  return 1;
}

int ICameraObject::ITriggerCamera() { return ISnapCamera(0); }

int ICameraObject::ISoftTriggerCamera() { return 0; }

void ICameraObject::IAuxCameraOp3() {}

char* ICameraObject::IGetImageData() { return m_imageData.data(); }

void ICameraObject::IAuxCameraOp4() {}

int ICameraObject::IAuxCameraQuery() { return 0; }
