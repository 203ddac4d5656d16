// UsbListing: what Aravis's USB listing says of a USB3 Vision device, found by its serial number.
// Aravis opens such a device by vendor, model and serial number; test clients and the bare bench
// client take the first two from here, as the SDK layer takes them from its enumeration.
#pragma once

#include <string>

class UsbListing {
 public:
  // False when no listed USB3 Vision device has this serial number.
  static bool find(const std::string& serialNumber, std::string& vendor, std::string& model);
};
