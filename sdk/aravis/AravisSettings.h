// Zazod::Aravis::AravisSettings: the Aravis transport's environment, read at every enumeration.
//   ZAZOD_SDK_ARAVIS_ADDRESSES  ip[,ip...]: talk to these GigE Vision addresses directly, with no
//                               broadcast discovery (and no USB3 Vision). Only dotted IPv4
//                               addresses count: a name is never resolved.
//   ZAZOD_SDK_ARAVIS_VENDORS    vendor[,vendor...] or "*": the vendors listed (compared without
//                               regard to case); default "Basler".
#pragma once

#include <string>
#include <vector>

namespace Zazod::Aravis {

class AravisSettings {
 public:
  static AravisSettings fromEnvironment();

  bool hasAddresses() const { return m_hasAddresses; }
  // The valid addresses, in the order given (duplicates dropped).
  const std::vector<std::string>& addresses() const { return m_addresses; }
  // The entries that are no IPv4 address (reported and ignored).
  const std::vector<std::string>& rejectedAddresses() const { return m_rejected; }
  bool acceptsVendor(const std::string& vendor) const;

  // Comma-separated items, blanks around each trimmed, empty items dropped.
  static std::vector<std::string> splitList(const std::string& text);

 private:
  bool m_hasAddresses = false;
  std::vector<std::string> m_addresses;
  std::vector<std::string> m_rejected;
  bool m_allVendors = false;
  std::vector<std::string> m_vendors;
};

}  // namespace Zazod::Aravis
