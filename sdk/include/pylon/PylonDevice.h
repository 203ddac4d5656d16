// Pylon::IPylonDevice: the handle of one created device, as the transport-layer factory hands it
// out. A camera attaches it; destroying it goes through the factory or the camera that owns it.
#pragma once

#include "gcbase/Export.h"
#include "pylon/DeviceInfo.h"

namespace Pylon {

class ZAZOD_SDK_API IPylonDevice {
 public:
  virtual ~IPylonDevice();
  virtual const CDeviceInfo& GetDeviceInfo() const = 0;
};

}  // namespace Pylon
