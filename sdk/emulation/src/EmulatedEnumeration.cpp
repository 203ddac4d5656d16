// Zazod::Emulation::EmulatedEnumeration: entries, verified writes and reads of an emulated
// enumeration node.
#include "EmulatedEnumeration.h"

#include <algorithm>

#include "CameraState.h"
#include "gcbase/GCException.h"

namespace Zazod::Emulation {

EmulatedEnumeration::EmulatedEnumeration(EmulatedCamera::State& state, NodeDescription description)
    : EmulatedNode(state, std::move(description)) {
  int64_t index = 0;
  for (const EntryDescription& entry : m_description.entries) {
    m_entries.push_back(
        std::make_unique<EmulatedEnumEntry>(m_description.name, entry.name, entry.access, index++));
  }
}

const EmulatedEnumEntry* EmulatedEnumeration::entry(const std::string& symbolic) const {
  for (const auto& candidate : m_entries) {
    if (candidate->symbolic() == symbolic) {
      return candidate.get();
    }
  }
  return nullptr;
}

GenApi::IEnumEntry* EmulatedEnumeration::GetEntryByName(const GenICam::gcstring& symbolic) {
  return const_cast<EmulatedEnumEntry*>(entry(symbolic.str()));
}

void EmulatedEnumeration::GetEntries(GenApi::NodeList_t& entries) {
  for (const auto& candidate : m_entries) {
    entries.push_back(candidate.get());
  }
}

void EmulatedEnumeration::FromString(const GenICam::gcstring& value, bool verify) {
  beforeAccess("FromString:");
  const std::string& name = m_description.name;
  {
    std::lock_guard<std::recursive_mutex> lock(m_state.mutex());
    if (!writable()) {
      throw ACCESS_EXCEPTION("Node '%s' is not writable (access mode %u).", name.c_str(),
                             static_cast<unsigned>(m_description.access));
    }
    const EmulatedEnumEntry* target = entry(value.str());
    if (target == nullptr) {
      throw INVALID_ARGUMENT_EXCEPTION("Node '%s' has no entry '%s'.", name.c_str(), value.c_str());
    }
    if (verify && !target->available()) {
      throw ACCESS_EXCEPTION("Entry '%s' of node '%s' is not available.", value.c_str(), name.c_str());
    }
    const auto& refused = m_description.refusedValues;
    if (std::find(refused.begin(), refused.end(), value.str()) != refused.end()) {
      throw ACCESS_EXCEPTION("Node '%s' refuses the value '%s'.", name.c_str(), value.c_str());
    }
    setValue(value.str());
    m_state.journalEntry(name + "=" + value.str());
  }
  m_state.nodeChanged();
}

GenICam::gcstring EmulatedEnumeration::ToString(bool /*verify*/, bool /*ignoreCache*/) {
  beforeAccess("ToString:");
  std::lock_guard<std::recursive_mutex> lock(m_state.mutex());
  return GenICam::gcstring(value());
}

GenApi::IEnumEntry* EmulatedEnumeration::GetCurrentEntry(bool /*verify*/, bool /*ignoreCache*/) {
  beforeAccess("ToString:");
  std::lock_guard<std::recursive_mutex> lock(m_state.mutex());
  return const_cast<EmulatedEnumEntry*>(entry(value()));
}

}  // namespace Zazod::Emulation
