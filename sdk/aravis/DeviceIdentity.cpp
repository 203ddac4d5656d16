// Zazod::Aravis::DeviceIdentity: the rules for a device's names.
#include "DeviceIdentity.h"

namespace Zazod::Aravis {

namespace {

// Printable ASCII, optionally without the space; nothing else (no control characters, no bytes of
// other encodings).
bool printable(const std::string& text, bool spaceAllowed) {
  for (const char c : text) {
    const unsigned char byte = static_cast<unsigned char>(c);
    if (byte < (spaceAllowed ? 0x20 : 0x21) || byte > 0x7e) {
      return false;
    }
  }
  return true;
}

}  // namespace

const char* DeviceIdentity::refusal() const {
  if (vendor.empty() || model.empty() || serialNumber.empty()) {
    return "the device gave no vendor, model or serial number";
  }
  if (vendor.size() > kMaxLength || model.size() > kMaxLength || serialNumber.size() > kMaxLength ||
      userDefinedName.size() > kMaxLength) {
    return "the device gave a name longer than 64 bytes";
  }
  if (!printable(serialNumber, false)) {
    return "the device's serial number holds a space or a byte that is no printable ASCII";
  }
  if (!printable(vendor, true) || !printable(model, true) || !printable(userDefinedName, true)) {
    return "the device's vendor, model or user-defined name holds a byte that is no printable ASCII";
  }
  return nullptr;
}

}  // namespace Zazod::Aravis
