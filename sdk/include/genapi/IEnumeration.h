// GenApi::IEnumeration: an enumeration node; set and read by symbolic name, entries listed in order.
#pragma once

#include "genapi/IEnumEntry.h"

namespace GenApi {

class ZAZOD_SDK_API IEnumeration : public virtual INode {
 public:
  ~IEnumeration() override;
  // The entry of that symbolic name, or null.
  virtual IEnumEntry* GetEntryByName(const GenICam::gcstring& symbolic) = 0;
  // Appends every entry, in the node's order.
  virtual void GetEntries(NodeList_t& entries) = 0;
  // Sets the value by symbolic name; with verify, an unknown or unavailable entry is refused.
  virtual void FromString(const GenICam::gcstring& value, bool verify = true) = 0;
  virtual GenICam::gcstring ToString(bool verify = false, bool ignoreCache = false) = 0;
  virtual IEnumEntry* GetCurrentEntry(bool verify = false, bool ignoreCache = false) = 0;
};

}  // namespace GenApi
