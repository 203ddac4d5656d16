// Pylon::Internal::DeviceDescriptor: a transport's record of one device it listed, behind
// CDeviceInfo. Reading a text may fail (a backend raises the GenICam exception); createDevice makes
// a new device handle for it.
#pragma once

#include <string>

#include "pylon/Types.h"

namespace Pylon {
class IPylonDevice;

namespace Internal {

class DeviceDescriptor {
 public:
  virtual ~DeviceDescriptor();
  virtual String_t serialNumber() const = 0;
  virtual String_t modelName() const = 0;
  virtual String_t vendorName() const = 0;
  // The transport's name ("emulation", ...).
  virtual String_t deviceClass() const = 0;
  virtual String_t fullName() const = 0;
  virtual String_t userDefinedName() const { return String_t(); }
  virtual IPylonDevice* createDevice() const = 0;
};

}  // namespace Internal
}  // namespace Pylon
