// SdkCamera: an emulated camera driven through the SDK layer alone, with no module: an instant
// camera with a BareImageHandler, frame-start trigger on software, continuous acquisition, the
// instant camera's own grab loop, one ExecuteSoftwareTrigger per snap.
#pragma once

#include <pylon/PylonIncludes.h>

#include <string>

#include "BenchCamera.h"

class SdkCamera : public BenchCamera {
 public:
  explicit SdkCamera(const std::string& serialNumber);
  ~SdkCamera() override;
  SdkCamera(const SdkCamera&) = delete;
  SdkCamera& operator=(const SdkCamera&) = delete;

  // Opens, configures and starts grabbing; false if the SDK refused any step.
  bool start();
  bool snap() override;
  const FrameSignal& signal() const override { return m_signal; }

 private:
  std::string m_serialNumber;
  FrameSignal m_signal;
  Pylon::CInstantCamera m_camera;
};
