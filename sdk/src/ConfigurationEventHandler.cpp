// Pylon::CConfigurationEventHandler: the default (empty) notifications and the self-deletion the
// camera uses for handlers it owns.
#include "pylon/ConfigurationEventHandler.h"

namespace Pylon {

CConfigurationEventHandler::CConfigurationEventHandler() : m_eventHandlerRegistrationCount(0) {}
CConfigurationEventHandler::CConfigurationEventHandler(const CConfigurationEventHandler&)
    : m_eventHandlerRegistrationCount(0) {}
CConfigurationEventHandler& CConfigurationEventHandler::operator=(const CConfigurationEventHandler&) {
  return *this;
}
CConfigurationEventHandler::~CConfigurationEventHandler() = default;

void CConfigurationEventHandler::OnAttach(CInstantCamera&) {}
void CConfigurationEventHandler::OnAttached(CInstantCamera&) {}
void CConfigurationEventHandler::OnDetach(CInstantCamera&) {}
void CConfigurationEventHandler::OnDetached(CInstantCamera&) {}
void CConfigurationEventHandler::OnDestroy(CInstantCamera&) {}
void CConfigurationEventHandler::OnDestroyed(CInstantCamera&) {}
void CConfigurationEventHandler::OnOpen(CInstantCamera&) {}
void CConfigurationEventHandler::OnOpened(CInstantCamera&) {}
void CConfigurationEventHandler::OnClose(CInstantCamera&) {}
void CConfigurationEventHandler::OnClosed(CInstantCamera&) {}
void CConfigurationEventHandler::OnGrabStart(CInstantCamera&) {}
void CConfigurationEventHandler::OnGrabStarted(CInstantCamera&) {}
void CConfigurationEventHandler::OnGrabStop(CInstantCamera&) {}
void CConfigurationEventHandler::OnGrabStopped(CInstantCamera&) {}
void CConfigurationEventHandler::OnGrabError(CInstantCamera&, const char*) {}
void CConfigurationEventHandler::OnCameraDeviceRemoved(CInstantCamera&) {}
void CConfigurationEventHandler::OnConfigurationRegistered(CInstantCamera&) {}
void CConfigurationEventHandler::OnConfigurationDeregistered(CInstantCamera&) {}
void CConfigurationEventHandler::DestroyConfiguration() { delete this; }

}  // namespace Pylon
