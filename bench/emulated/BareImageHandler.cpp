// One frame through the SDK layer alone.
#include "BareImageHandler.h"

void BareImageHandler::OnImageGrabbed(Pylon::CInstantCamera& /*camera*/,
                                      const Pylon::CGrabResultPtr& grabResult) {
  if (!grabResult->GrabSucceeded()) {
    return;
  }
  m_checksum += reinterpret_cast<uintptr_t>(grabResult->GetBuffer()) + grabResult->GetWidth() +
                grabResult->GetHeight() + static_cast<uint64_t>(grabResult->GetImageNumber());
  m_signal.arrived();
}
