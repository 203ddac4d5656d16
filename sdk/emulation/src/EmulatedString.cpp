// Zazod::Emulation::EmulatedString: reading and writing an emulated string node.
#include "EmulatedString.h"

#include "CameraState.h"
#include "gcbase/GCException.h"

namespace Zazod::Emulation {

EmulatedString::EmulatedString(EmulatedCamera::State& state, NodeDescription description)
    : EmulatedNode(state, std::move(description)) {}

void EmulatedString::SetValue(const GenICam::gcstring& newValue, bool /*verify*/) {
  beforeAccess("FromString:");
  {
    std::lock_guard<std::recursive_mutex> lock(m_state.mutex());
    if (!writable()) {
      throw ACCESS_EXCEPTION("Node '%s' is not writable (access mode %u).", m_description.name.c_str(),
                             static_cast<unsigned>(m_description.access));
    }
    for (const std::string& refused : m_description.refusedValues) {
      if (refused == newValue.str()) {
        throw ACCESS_EXCEPTION("Node '%s' refuses the value '%s'.", m_description.name.c_str(),
                               newValue.c_str());
      }
    }
    setValue(newValue.str());
    m_state.journalEntry(m_description.name + "=" + newValue.str());
  }
  m_state.nodeChanged();
}

GenICam::gcstring EmulatedString::GetValue(bool /*verify*/, bool /*ignoreCache*/) {
  beforeAccess("ToString:");
  std::lock_guard<std::recursive_mutex> lock(m_state.mutex());
  return GenICam::gcstring(value());
}

}  // namespace Zazod::Emulation
