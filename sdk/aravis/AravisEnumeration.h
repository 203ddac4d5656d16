// Zazod::Aravis::AravisEnumeration: an Aravis enumeration node as a GenApi IEnumeration. Entries
// are listed in the order of the device's description (Aravis keeps them reversed). FromString
// hands the value to Aravis, whose range and access checks refuse a value that is no entry and a
// node that cannot be written; with verify it also refuses an entry that is not available and reads
// the value back.
#pragma once

#include <memory>
#include <vector>

#include "AravisEnumEntry.h"
#include "AravisNode.h"
#include "genapi/IEnumeration.h"

namespace Zazod::Aravis {

class AravisEnumeration : public GenApi::IEnumeration, public AravisNode {
 public:
  explicit AravisEnumeration(AravisFeature feature);

  GenApi::IEnumEntry* GetEntryByName(const GenICam::gcstring& symbolic) override;
  void GetEntries(GenApi::NodeList_t& entries) override;
  void FromString(const GenICam::gcstring& value, bool verify = true) override;
  GenICam::gcstring ToString(bool verify = false, bool ignoreCache = false) override;
  GenApi::IEnumEntry* GetCurrentEntry(bool verify = false, bool ignoreCache = false) override;

 private:
  std::vector<std::unique_ptr<AravisEnumEntry>> m_entries;
};

}  // namespace Zazod::Aravis
