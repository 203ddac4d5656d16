// Zazod::Aravis::AravisDescriptor: naming a listed device and creating its device handles.
#include "AravisDescriptor.h"

#include "AravisDevice.h"

namespace Zazod::Aravis {

Pylon::String_t AravisDescriptor::fullName() const {
  const std::string& where = isGigEVision() ? m_fields.address : m_fields.serialNumber;
  return Pylon::String_t("aravis:" + m_fields.protocol + ":" + where);
}

Pylon::IPylonDevice* AravisDescriptor::createDevice() const { return new AravisDevice(shared_from_this()); }

}  // namespace Zazod::Aravis
