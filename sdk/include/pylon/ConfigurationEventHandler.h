// Pylon::CConfigurationEventHandler: notified around the camera's attach, open, grab, close and
// detach operations. Every notification does nothing by default; the camera deletes a handler that
// was registered with Cleanup_Delete through DestroyConfiguration.
#pragma once

#include "gcbase/Export.h"

namespace Pylon {

class CInstantCamera;

class ZAZOD_SDK_API CConfigurationEventHandler {
 public:
  CConfigurationEventHandler();
  CConfigurationEventHandler(const CConfigurationEventHandler&);
  CConfigurationEventHandler& operator=(const CConfigurationEventHandler&);

  virtual void OnAttach(CInstantCamera& camera);
  virtual void OnAttached(CInstantCamera& camera);
  virtual void OnDetach(CInstantCamera& camera);
  virtual void OnDetached(CInstantCamera& camera);
  virtual void OnDestroy(CInstantCamera& camera);
  virtual void OnDestroyed(CInstantCamera& camera);
  virtual void OnOpen(CInstantCamera& camera);
  virtual void OnOpened(CInstantCamera& camera);
  virtual void OnClose(CInstantCamera& camera);
  virtual void OnClosed(CInstantCamera& camera);
  virtual void OnGrabStart(CInstantCamera& camera);
  virtual void OnGrabStarted(CInstantCamera& camera);
  virtual void OnGrabStop(CInstantCamera& camera);
  virtual void OnGrabStopped(CInstantCamera& camera);
  virtual void OnGrabError(CInstantCamera& camera, const char* errorMessage);
  virtual void OnCameraDeviceRemoved(CInstantCamera& camera);
  virtual void OnConfigurationRegistered(CInstantCamera& camera);
  virtual void OnConfigurationDeregistered(CInstantCamera& camera);
  // Deletes the handler; called by the camera for handlers it owns.
  virtual void DestroyConfiguration();
  virtual ~CConfigurationEventHandler();

 private:
  long m_eventHandlerRegistrationCount;
};

}  // namespace Pylon
