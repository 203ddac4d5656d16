// Pylon::Internal::Device and Pylon::IPylonDevice: the out-of-line parts of the device interfaces.
#include "Device.h"

namespace Pylon {

IPylonDevice::~IPylonDevice() = default;

namespace Internal {

Device::~Device() = default;

void Device::beforeOperation(const char* /*operation*/) {}

}  // namespace Internal
}  // namespace Pylon
