// Zazod::Aravis::AravisSettings: parsing the address and vendor lists and the USB mode.
#include "AravisSettings.h"

#include <arpa/inet.h>
#include <strings.h>

#include <algorithm>
#include <cstdlib>

namespace Zazod::Aravis {

std::vector<std::string> AravisSettings::splitList(const std::string& text) {
  std::vector<std::string> items;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find(',', start);
    if (end == std::string::npos) {
      end = text.size();
    }
    const std::string item = text.substr(start, end - start);
    const size_t first = item.find_first_not_of(" \t");
    if (first != std::string::npos) {
      items.push_back(item.substr(first, item.find_last_not_of(" \t") - first + 1));
    }
    start = end + 1;
  }
  return items;
}

AravisSettings AravisSettings::fromEnvironment() {
  AravisSettings settings;
  if (const char* addresses = std::getenv("ZAZOD_SDK_ARAVIS_ADDRESSES"); addresses != nullptr) {
    settings.m_hasAddresses = true;
    for (const std::string& address : splitList(addresses)) {
      in_addr parsed{};
      if (strcasecmp(address.c_str(), "usb") == 0) {
        settings.m_listsUsb = true;
      } else if (inet_pton(AF_INET, address.c_str(), &parsed) != 1) {
        settings.m_rejected.push_back(address);
      } else if (std::find(settings.m_addresses.begin(), settings.m_addresses.end(), address) ==
                 settings.m_addresses.end()) {
        settings.m_addresses.push_back(address);
      }
    }
  }
  const char* vendors = std::getenv("ZAZOD_SDK_ARAVIS_VENDORS");
  settings.m_vendors = splitList(vendors != nullptr ? vendors : "Basler");
  settings.m_allVendors =
      std::find(settings.m_vendors.begin(), settings.m_vendors.end(), "*") != settings.m_vendors.end();
  if (const char* mode = std::getenv("ZAZOD_SDK_ARAVIS_USB_MODE"); mode != nullptr) {
    const std::vector<std::string> items = splitList(mode);
    const std::string value = items.size() == 1 ? items.front() : std::string();
    if (strcasecmp(value.c_str(), "async") == 0) {
      settings.m_usbMode = UsbMode::Async;
    } else if (strcasecmp(value.c_str(), "sync") != 0) {
      // At most a line's worth of what was given goes into the report.
      settings.m_rejectedUsbMode = std::string(mode).substr(0, 64);
    }
  }
  return settings;
}

bool AravisSettings::acceptsVendor(const std::string& vendor) const {
  if (m_allVendors) {
    return true;
  }
  return std::any_of(m_vendors.begin(), m_vendors.end(), [&](const std::string& wanted) {
    return strcasecmp(wanted.c_str(), vendor.c_str()) == 0;
  });
}

}  // namespace Zazod::Aravis
