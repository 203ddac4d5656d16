// BareImageHandler: the least an SDK user can do with a frame: an image event handler that checks
// the result, reads buffer, width, height and image number, and notes the arrival in a FrameSignal.
// The baseline against which the module's frame path is measured.
#pragma once

#include <pylon/PylonIncludes.h>

#include <cstdint>

#include "FrameSignal.h"

class BareImageHandler : public Pylon::CImageEventHandler {
 public:
  explicit BareImageHandler(FrameSignal& signal) : m_signal(signal) {}

  void OnImageGrabbed(Pylon::CInstantCamera& camera, const Pylon::CGrabResultPtr& grabResult) override;

 private:
  FrameSignal& m_signal;
  uint64_t m_checksum = 0;
};
