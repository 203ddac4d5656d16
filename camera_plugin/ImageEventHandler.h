// ZODOzizoZavozEzazodu: the image event handler a CCameraBasler registers with its SDK camera.
// Good results go to the camera object; failed grabs and skipped images are only logged.
#pragma once

#include <pylon/PylonIncludes.h>

class CCameraBasler;

class ZODOzizoZavozEzazodu : public Pylon::CImageEventHandler {
 public:
  explicit ZODOzizoZavozEzazodu(CCameraBasler* owner);
  ~ZODOzizoZavozEzazodu() override;

  void OnImagesSkipped(Pylon::CInstantCamera& camera, size_t countOfSkippedImages) override;
  void OnImageGrabbed(Pylon::CInstantCamera& camera, const Pylon::CGrabResultPtr& grabResult) override;

 private:
  CCameraBasler* const m_owner;
};
