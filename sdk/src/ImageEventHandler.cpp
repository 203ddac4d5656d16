// Pylon::CImageEventHandler: the default (empty) notifications and the self-deletion the camera
// uses for handlers it owns.
#include "pylon/ImageEventHandler.h"

namespace Pylon {

CImageEventHandler::CImageEventHandler() : m_eventHandlerRegistrationCount(0) {}
CImageEventHandler::CImageEventHandler(const CImageEventHandler&) : m_eventHandlerRegistrationCount(0) {}
CImageEventHandler& CImageEventHandler::operator=(const CImageEventHandler&) { return *this; }
CImageEventHandler::~CImageEventHandler() = default;

void CImageEventHandler::OnImagesSkipped(CInstantCamera&, size_t) {}
void CImageEventHandler::OnImageGrabbed(CInstantCamera&, const CGrabResultPtr&) {}
void CImageEventHandler::OnImageEventHandlerRegistered(CInstantCamera&) {}
void CImageEventHandler::OnImageEventHandlerDeregistered(CInstantCamera&) {}
void CImageEventHandler::DestroyImageEventHandler() { delete this; }

}  // namespace Pylon
