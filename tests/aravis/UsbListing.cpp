// UsbListing: a fresh look at Aravis's USB interface.
#include "UsbListing.h"

#include <arv.h>

bool UsbListing::find(const std::string& serialNumber, std::string& vendor, std::string& model) {
  ArvInterface* usb = arv_uv_interface_get_instance();
  arv_interface_update_device_list(usb);
  for (unsigned int i = 0; i < arv_interface_get_n_devices(usb); ++i) {
    const char* serial = arv_interface_get_device_serial_nbr(usb, i);
    if (serial != nullptr && serialNumber == serial) {
      const char* v = arv_interface_get_device_vendor(usb, i);
      const char* m = arv_interface_get_device_model(usb, i);
      vendor = v != nullptr ? v : "";
      model = m != nullptr ? m : "";
      return true;
    }
  }
  return false;
}
