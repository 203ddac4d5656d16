// Zazod::Aravis::GvcpProbe: asks one GigE Vision device, by its address, who it is: a GVCP
// discovery command sent straight to that address (never broadcast), answered by the device's
// discovery acknowledge with its vendor, model and serial number. Bounded in time: a few tries
// within the given timeout. Also finds the local address through which the device is reached (the
// address the device must stream to), without sending anything.
#pragma once

#include <string>

namespace Zazod::Aravis {

class GvcpProbe {
 public:
  struct Identity {
    std::string vendor;
    std::string model;
    std::string serialNumber;
    std::string userDefinedName;
  };

  // True when the device at `address` (dotted IPv4) answered within timeoutMs.
  static bool identify(const std::string& address, unsigned int timeoutMs, Identity& identity);
  // The local IPv4 address the kernel would use towards `address`; empty when there is no route.
  static std::string localAddressFor(const std::string& address);
};

}  // namespace Zazod::Aravis
