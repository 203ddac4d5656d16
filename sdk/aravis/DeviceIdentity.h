// Zazod::Aravis::DeviceIdentity: how a GigE Vision or USB3 Vision device names itself (vendor,
// model, serial number, user-defined name), as its discovery answer or Aravis's discovery reports
// it, and the rules such a name must keep before the device is listed. The device writes these
// bytes itself: they become camera keys, log lines and the serial number a device is opened by, so
// only short printable ASCII is taken, and a serial number has no space (a key "basler A B" would
// open the device whose serial number is "A").
#pragma once

#include <string>

namespace Zazod::Aravis {

struct DeviceIdentity {
  std::string vendor;
  std::string model;
  std::string serialNumber;
  std::string userDefinedName;

  // Longest name taken for any field, in bytes (the longest such field a device carries is 64).
  static constexpr size_t kMaxLength = 64;

  // Null when the identity may be listed; otherwise why not, as a short sentence that never quotes
  // the device's bytes.
  const char* refusal() const;
};

}  // namespace Zazod::Aravis
