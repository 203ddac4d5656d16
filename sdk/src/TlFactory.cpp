// Pylon::CTlFactory: lists the devices of every enabled transport, in the order the transports are
// named and then each transport's own order, and creates or destroys devices.
#include "pylon/TlFactory.h"

#include "Device.h"
#include "DeviceDescriptor.h"
#include "TransportRegistry.h"
#include "gcbase/GCException.h"

namespace Pylon {

CTlFactory::CTlFactory() = default;
CTlFactory::~CTlFactory() = default;

CTlFactory& CTlFactory::GetInstance() {
  static CTlFactory factory;
  return factory;
}

int CTlFactory::EnumerateDevices(DeviceInfoList_t& list, bool addToList) {
  const std::vector<Internal::Transport*>& transports = Internal::TransportRegistry::instance().enabled();
  for (Internal::Transport* transport : transports) {
    transport->beforeGlobalOperation("EnumerateDevices");
  }
  DeviceInfoList_t found;
  for (Internal::Transport* transport : transports) {
    transport->enumerate(found);
  }
  if (!addToList) {
    list.clear();
  }
  list.insert(list.end(), found.begin(), found.end());
  return static_cast<int>(list.size());
}

IPylonDevice* CTlFactory::CreateDevice(const CDeviceInfo& info) {
  if (!info.Descriptor()) {
    throw INVALID_ARGUMENT_EXCEPTION("CreateDevice: the device info names no device of any transport.");
  }
  return info.Descriptor()->createDevice();
}

void CTlFactory::DestroyDevice(IPylonDevice* device) {
  if (device == nullptr) {
    return;
  }
  if (auto* internal = dynamic_cast<Internal::Device*>(device)) {
    try {
      internal->beforeOperation("DestroyDevice");
    } catch (...) {
      // The device is destroyed all the same; a destroy never fails halfway.
    }
    try {
      if (internal->isStreaming()) {
        internal->stopStreaming();
      }
      if (internal->isOpen()) {
        internal->close();
      }
    } catch (...) {
    }
  }
  delete device;
}

}  // namespace Pylon
