// Pylon::CInstantCamera: drives one attached device: opening and closing, the registered
// configuration and image event handlers, and grabbing, either with a grab-loop thread of its own
// (GrabLoop_ProvidedByInstantCamera) or by RetrieveResult on the caller's thread. Every operation
// on a camera without a device, or not open where it must be, raises a GenICam exception.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "gcbase/Export.h"
#include "genapi/INodeMap.h"
#include "pylon/ConfigurationEventHandler.h"
#include "pylon/DeviceInfo.h"
#include "pylon/GrabResultPtr.h"
#include "pylon/ImageEventHandler.h"
#include "pylon/PylonDevice.h"
#include "pylon/Types.h"

namespace Pylon {

class ZAZOD_SDK_API CInstantCamera {
 public:
  CInstantCamera();
  explicit CInstantCamera(IPylonDevice* device, ECleanup cleanupProcedure = Cleanup_Delete);
  // Stops grabbing, closes and destroys the device it owns, and deletes the handlers it owns.
  virtual ~CInstantCamera();
  CInstantCamera(const CInstantCamera&) = delete;
  CInstantCamera& operator=(const CInstantCamera&) = delete;

  // Attaching a device to a camera that holds one destroys the old one first (stopped and closed).
  virtual void Attach(IPylonDevice* device, ECleanup cleanupProcedure = Cleanup_Delete);
  virtual bool IsPylonDeviceAttached() const;
  virtual bool IsCameraDeviceRemoved() const;
  virtual IPylonDevice* DetachDevice();
  virtual void DestroyDevice();

  // Opens the device, then calls OnOpened of every configuration handler in registration order. An
  // exception from a handler leaves Open with the device closed again.
  virtual void Open();
  virtual bool IsOpen() const;
  virtual void Close();

  virtual GenApi::INodeMap& GetNodeMap();
  virtual const CDeviceInfo& GetDeviceInfo() const;

  virtual void RegisterConfiguration(CConfigurationEventHandler* handler, ERegistrationMode mode,
                                     ECleanup cleanupProcedure);
  virtual bool DeregisterConfiguration(CConfigurationEventHandler* handler);
  virtual void RegisterImageEventHandler(CImageEventHandler* handler, ERegistrationMode mode,
                                         ECleanup cleanupProcedure);
  virtual bool DeregisterImageEventHandler(CImageEventHandler* handler);

  virtual void StartGrabbing(EGrabStrategy strategy = GrabStrategy_OneByOne,
                             EGrabLoop grabLoopType = GrabLoop_ProvidedByUser);
  virtual void StartGrabbing(size_t maxImages, EGrabStrategy strategy = GrabStrategy_OneByOne,
                             EGrabLoop grabLoopType = GrabLoop_ProvidedByUser);
  // Retrieves the next result on the caller's thread (grab loop provided by the user). Returns
  // false on timeout with TimeoutHandling_Return.
  virtual bool RetrieveResult(unsigned int timeoutMs, CGrabResultPtr& grabResult,
                              ETimeoutHandling timeoutHandling = TimeoutHandling_ThrowException);
  // Stops grabbing and joins the grab-loop thread; from inside a handler on that thread it only
  // asks the loop to end, and the thread is joined by the next Start, Stop, Close or destruction.
  virtual void StopGrabbing();
  virtual bool IsGrabbing() const;

  virtual bool CanWaitForFrameTriggerReady() const;
  virtual bool WaitForFrameTriggerReady(unsigned int timeoutMs,
                                        ETimeoutHandling timeoutHandling = TimeoutHandling_ThrowException);
  virtual void ExecuteSoftwareTrigger();

  // Number of buffers the device grabs into.
  size_t MaxNumBuffer = 10;

  class Impl;

 private:
  std::unique_ptr<Impl> m_impl;
};

}  // namespace Pylon
