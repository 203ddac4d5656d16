// Zazod::Emulation::EmulatedDescriptor: the transport's record of one emulated camera behind
// CDeviceInfo. Reading the serial number or model is journaled ("GetSerialNumber", "GetModelName")
// and can fail by injected fault; creating a device is journaled as "CreateDevice".
#pragma once

#include <memory>

#include "CameraState.h"
#include "DeviceDescriptor.h"

namespace Zazod::Emulation {

class EmulatedDescriptor : public Pylon::Internal::DeviceDescriptor {
 public:
  explicit EmulatedDescriptor(std::shared_ptr<EmulatedCamera::State> state) : m_state(std::move(state)) {}

  Pylon::String_t serialNumber() const override;
  Pylon::String_t modelName() const override;
  Pylon::String_t vendorName() const override;
  Pylon::String_t deviceClass() const override;
  Pylon::String_t fullName() const override;
  Pylon::IPylonDevice* createDevice() const override;

 private:
  std::shared_ptr<EmulatedCamera::State> m_state;
};

}  // namespace Zazod::Emulation
