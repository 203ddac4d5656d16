// Zazod::Aravis::AravisEnumEntry: one entry of an Aravis enumeration node as a GenApi IEnumEntry:
// its symbolic name (the entry's name) and integer value.
#pragma once

#include "AravisNode.h"
#include "genapi/IEnumEntry.h"

namespace Zazod::Aravis {

class AravisEnumEntry : public GenApi::IEnumEntry, public AravisNode {
 public:
  explicit AravisEnumEntry(AravisFeature feature) : AravisNode(std::move(feature), GenApi::intfIEnumEntry) {}

  GenICam::gcstring GetSymbolic() const override { return GetName(); }
  int64_t GetValue() const override;
};

}  // namespace Zazod::Aravis
