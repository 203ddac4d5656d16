// Pylon::CDeviceInfo: what enumeration tells of one device (serial number, model, vendor, transport,
// full name). A value type; the transport that listed the device keeps what it needs to create it.
#pragma once

#include <memory>
#include <vector>

#include "gcbase/Export.h"
#include "pylon/Types.h"

namespace Pylon {

namespace Internal {
class DeviceDescriptor;
}

class ZAZOD_SDK_API CDeviceInfo {
 public:
  CDeviceInfo();
  explicit CDeviceInfo(std::shared_ptr<const Internal::DeviceDescriptor> descriptor);
  CDeviceInfo(const CDeviceInfo&);
  CDeviceInfo& operator=(const CDeviceInfo&);
  ~CDeviceInfo();

  String_t GetSerialNumber() const;
  String_t GetModelName() const;
  String_t GetVendorName() const;
  String_t GetDeviceClass() const;
  String_t GetFullName() const;
  String_t GetUserDefinedName() const;

  // The transport's own record of the device; null for a default-constructed info.
  const std::shared_ptr<const Internal::DeviceDescriptor>& Descriptor() const { return m_descriptor; }

 private:
  std::shared_ptr<const Internal::DeviceDescriptor> m_descriptor;
};

using DeviceInfoList_t = std::vector<CDeviceInfo>;
using DeviceInfoList = DeviceInfoList_t;

}  // namespace Pylon
