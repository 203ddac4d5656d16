// Pylon::CImageEventHandler: called on the grab-loop thread for every grab result and for every
// report of skipped images. The camera deletes a handler registered with Cleanup_Delete through
// DestroyImageEventHandler.
#pragma once

#include <cstddef>
#include <cstdint>

#include "gcbase/Export.h"

namespace Pylon {

class CInstantCamera;
class CGrabResultPtr;

class ZAZOD_SDK_API CImageEventHandler {
 public:
  CImageEventHandler();
  CImageEventHandler(const CImageEventHandler&);
  CImageEventHandler& operator=(const CImageEventHandler&);

  virtual void OnImagesSkipped(CInstantCamera& camera, size_t countOfSkippedImages);
  virtual void OnImageGrabbed(CInstantCamera& camera, const CGrabResultPtr& grabResult);
  virtual void OnImageEventHandlerRegistered(CInstantCamera& camera);
  virtual void OnImageEventHandlerDeregistered(CInstantCamera& camera);
  // Deletes the handler; called by the camera for handlers it owns.
  virtual void DestroyImageEventHandler();
  virtual ~CImageEventHandler();

 private:
  long m_eventHandlerRegistrationCount;
};

}  // namespace Pylon
