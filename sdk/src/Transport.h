// Pylon::Internal::Transport: one device backend as the transport-layer factory sees it: it lists
// its present devices (each with a descriptor that can create the device) and is told of the
// SDK's process-wide operations, so a backend can journal them or fail them.
#pragma once

#include "pylon/DeviceInfo.h"

namespace Pylon::Internal {

class Transport {
 public:
  virtual ~Transport();
  virtual const char* name() const = 0;
  // Appends an info for every present device, in a stable order.
  virtual void enumerate(DeviceInfoList_t& list) = 0;
  // Called before "PylonInitialize", "PylonTerminate" and "EnumerateDevices"; may throw.
  virtual void beforeGlobalOperation(const char* operation);
};

}  // namespace Pylon::Internal
