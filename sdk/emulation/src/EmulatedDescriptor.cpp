// Zazod::Emulation::EmulatedDescriptor: texts of an emulated camera and creation of its devices.
#include "EmulatedDescriptor.h"

#include "EmulatedDevice.h"
#include "gcbase/GCException.h"

namespace Zazod::Emulation {

Pylon::String_t EmulatedDescriptor::serialNumber() const {
  m_state->operation("GetSerialNumber");
  return Pylon::String_t(m_state->description().serialNumber);
}

Pylon::String_t EmulatedDescriptor::modelName() const {
  m_state->operation("GetModelName");
  return Pylon::String_t(m_state->description().modelName);
}

Pylon::String_t EmulatedDescriptor::vendorName() const {
  return Pylon::String_t(m_state->description().vendorName);
}

Pylon::String_t EmulatedDescriptor::deviceClass() const { return Pylon::String_t("emulation"); }

Pylon::String_t EmulatedDescriptor::fullName() const {
  return Pylon::String_t("emulation:" + m_state->description().serialNumber);
}

Pylon::IPylonDevice* EmulatedDescriptor::createDevice() const {
  m_state->operation("CreateDevice");
  m_state->checkPresent("CreateDevice");
  return new EmulatedDevice(m_state);
}

}  // namespace Zazod::Emulation
