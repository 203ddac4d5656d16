// Zazod::Aravis::AravisDescriptor: the record of one device the Aravis transport listed: its
// protocol ("GigEVision" or "USB3Vision"), its address (the device's IPv4 address for GigE
// Vision), vendor, model and serial number. Only such records, made by discovery or for an
// address the user listed, ever create a device.
#pragma once

#include <memory>
#include <string>

#include "DeviceDescriptor.h"

namespace Zazod::Aravis {

class AravisDescriptor : public Pylon::Internal::DeviceDescriptor,
                         public std::enable_shared_from_this<AravisDescriptor> {
 public:
  struct Fields {
    std::string protocol;
    std::string address;
    std::string vendor;
    std::string model;
    std::string serialNumber;
    std::string userDefinedName;
  };

  explicit AravisDescriptor(Fields fields) : m_fields(std::move(fields)) {}

  const Fields& fields() const { return m_fields; }
  bool isGigEVision() const { return m_fields.protocol == "GigEVision"; }

  Pylon::String_t serialNumber() const override { return Pylon::String_t(m_fields.serialNumber); }
  Pylon::String_t modelName() const override { return Pylon::String_t(m_fields.model); }
  Pylon::String_t vendorName() const override { return Pylon::String_t(m_fields.vendor); }
  Pylon::String_t deviceClass() const override { return Pylon::String_t("aravis"); }
  // "aravis:<protocol>:<address or serial number>".
  Pylon::String_t fullName() const override;
  Pylon::String_t userDefinedName() const override { return Pylon::String_t(m_fields.userDefinedName); }
  Pylon::IPylonDevice* createDevice() const override;

 private:
  Fields m_fields;
};

}  // namespace Zazod::Aravis
