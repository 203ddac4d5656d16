// Zazod::Aravis::GvcpProbe: asks one GigE Vision device, by its address, who it is: a GVCP
// discovery command sent straight to that address (never broadcast), answered by the device's
// discovery acknowledge with its vendor, model and serial number. Only a whole acknowledge with an
// acceptable identity (GvcpDiscoveryAck) identifies it. Bounded in time: a few tries within the
// given timeout. Also finds the local address through which the device is reached (the
// address the device must stream to), without sending anything.
#pragma once

#include <string>

#include "DeviceIdentity.h"

namespace Zazod::Aravis {

class GvcpProbe {
 public:
  using Identity = DeviceIdentity;

  // True when the device at `address` (dotted IPv4) identified itself within timeoutMs. When it
  // answered but its answer was refused, `refusal` (if given) receives why; otherwise it is null.
  static bool identify(const std::string& address, unsigned int timeoutMs, Identity& identity,
                       const char** refusal = nullptr);
  // The local IPv4 address the kernel would use towards `address`; empty when there is no route.
  static std::string localAddressFor(const std::string& address);
};

}  // namespace Zazod::Aravis
