// Pylon::CTlFactory: the process-wide transport-layer factory. Lists the devices of every enabled
// transport (ZAZOD_SDK_TRANSPORTS) in a stable order and creates devices from their infos.
#pragma once

#include "gcbase/Export.h"
#include "pylon/DeviceInfo.h"
#include "pylon/PylonDevice.h"

namespace Pylon {

class ZAZOD_SDK_API CTlFactory {
 public:
  static CTlFactory& GetInstance();

  // Fills the list (appending when addToList is set, replacing otherwise); returns the number of
  // entries in the list.
  int EnumerateDevices(DeviceInfoList_t& list, bool addToList = false);
  IPylonDevice* CreateDevice(const CDeviceInfo& info);
  void DestroyDevice(IPylonDevice* device);

  CTlFactory(const CTlFactory&) = delete;
  CTlFactory& operator=(const CTlFactory&) = delete;

 private:
  CTlFactory();
  ~CTlFactory();
};

}  // namespace Pylon
