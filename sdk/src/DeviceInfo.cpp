// Pylon::CDeviceInfo: device texts read through the transport's descriptor. An info without a
// descriptor (default-constructed) gives empty texts.
#include "pylon/DeviceInfo.h"

#include "DeviceDescriptor.h"

namespace Pylon {

namespace Internal {
DeviceDescriptor::~DeviceDescriptor() = default;
}

CDeviceInfo::CDeviceInfo() = default;
CDeviceInfo::CDeviceInfo(std::shared_ptr<const Internal::DeviceDescriptor> descriptor)
    : m_descriptor(std::move(descriptor)) {}
CDeviceInfo::CDeviceInfo(const CDeviceInfo&) = default;
CDeviceInfo& CDeviceInfo::operator=(const CDeviceInfo&) = default;
CDeviceInfo::~CDeviceInfo() = default;

String_t CDeviceInfo::GetSerialNumber() const {
  return m_descriptor ? m_descriptor->serialNumber() : String_t();
}
String_t CDeviceInfo::GetModelName() const { return m_descriptor ? m_descriptor->modelName() : String_t(); }
String_t CDeviceInfo::GetVendorName() const { return m_descriptor ? m_descriptor->vendorName() : String_t(); }
String_t CDeviceInfo::GetDeviceClass() const {
  return m_descriptor ? m_descriptor->deviceClass() : String_t();
}
String_t CDeviceInfo::GetFullName() const { return m_descriptor ? m_descriptor->fullName() : String_t(); }
String_t CDeviceInfo::GetUserDefinedName() const {
  return m_descriptor ? m_descriptor->userDefinedName() : String_t();
}

}  // namespace Pylon
