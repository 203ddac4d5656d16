// Zazod::Emulation::EmulatedEnumeration: an enumeration node of an emulated camera. FromString with
// verify refuses unknown entries (InvalidArgumentException), unavailable entries, refused values and
// a node that cannot be written (AccessException); a write that succeeds is journaled as
// "<node>=<value>", a refused one is not.
#pragma once

#include <memory>
#include <vector>

#include "EmulatedEnumEntry.h"
#include "EmulatedNode.h"
#include "genapi/IEnumeration.h"

namespace Zazod::Emulation {

class EmulatedEnumeration : public GenApi::IEnumeration, public EmulatedNode {
 public:
  EmulatedEnumeration(EmulatedCamera::State& state, NodeDescription description);

  GenApi::EInterfaceType GetPrincipalInterfaceType() const override { return GenApi::intfIEnumeration; }
  GenApi::IEnumEntry* GetEntryByName(const GenICam::gcstring& symbolic) override;
  void GetEntries(GenApi::NodeList_t& entries) override;
  void FromString(const GenICam::gcstring& value, bool verify = true) override;
  GenICam::gcstring ToString(bool verify = false, bool ignoreCache = false) override;
  GenApi::IEnumEntry* GetCurrentEntry(bool verify = false, bool ignoreCache = false) override;

  // The entry of that name, or null. Mutex not needed: entries never change.
  const EmulatedEnumEntry* entry(const std::string& symbolic) const;

 private:
  std::vector<std::unique_ptr<EmulatedEnumEntry>> m_entries;
};

}  // namespace Zazod::Emulation
