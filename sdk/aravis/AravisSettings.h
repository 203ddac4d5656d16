// Zazod::Aravis::AravisSettings: the Aravis transport's environment, read at every enumeration.
//   ZAZOD_SDK_ARAVIS_ADDRESSES  ip[,ip...][,usb]: talk to these GigE Vision addresses directly, with
//                               no broadcast discovery; the item "usb" lists the USB3 Vision
//                               devices too, after them (USB enumeration sends nothing on a
//                               network). Only dotted IPv4 addresses count: a name is never
//                               resolved.
//   ZAZOD_SDK_ARAVIS_VENDORS    vendor[,vendor...] or "*": the vendors listed (compared without
//                               regard to case); default "Basler".
//   ZAZOD_SDK_ARAVIS_USB_MODE   "sync" (default) or "async": how Aravis moves a USB3 Vision
//                               stream through libusb (blocking transfers on its stream thread,
//                               or queued transfers). Any other value is reported and ignored.
#pragma once

#include <string>
#include <vector>

namespace Zazod::Aravis {

class AravisSettings {
 public:
  enum class UsbMode { Sync, Async };

  static AravisSettings fromEnvironment();

  bool hasAddresses() const { return m_hasAddresses; }
  // The valid addresses, in the order given (duplicates dropped).
  const std::vector<std::string>& addresses() const { return m_addresses; }
  // Whether the address list asks for the USB3 Vision devices too (its item "usb").
  bool listsUsb() const { return m_listsUsb; }
  // The entries that are no IPv4 address (reported and ignored).
  const std::vector<std::string>& rejectedAddresses() const { return m_rejected; }
  bool acceptsVendor(const std::string& vendor) const;
  UsbMode usbMode() const { return m_usbMode; }
  // The value of ZAZOD_SDK_ARAVIS_USB_MODE when it names no mode (reported and ignored), else empty.
  const std::string& rejectedUsbMode() const { return m_rejectedUsbMode; }

  // Comma-separated items, blanks around each trimmed, empty items dropped.
  static std::vector<std::string> splitList(const std::string& text);

 private:
  bool m_hasAddresses = false;
  bool m_listsUsb = false;
  std::vector<std::string> m_addresses;
  std::vector<std::string> m_rejected;
  bool m_allVendors = false;
  std::vector<std::string> m_vendors;
  UsbMode m_usbMode = UsbMode::Sync;
  std::string m_rejectedUsbMode;
};

}  // namespace Zazod::Aravis
