// Zazod::Emulation::EmulatedInteger: reading and writing an emulated integer node.
#include "EmulatedInteger.h"

#include <cstdlib>
#include <string>

#include "CameraState.h"
#include "gcbase/GCException.h"

namespace Zazod::Emulation {

EmulatedInteger::EmulatedInteger(EmulatedCamera::State& state, NodeDescription description)
    : EmulatedNode(state, std::move(description)) {}

int64_t EmulatedInteger::GetValue(bool /*verify*/, bool /*ignoreCache*/) {
  beforeAccess("ToString:");
  std::lock_guard<std::recursive_mutex> lock(m_state.mutex());
  return std::strtoll(value().c_str(), nullptr, 10);
}

void EmulatedInteger::SetValue(int64_t newValue, bool /*verify*/) {
  beforeAccess("FromString:");
  const std::string text = std::to_string(newValue);
  {
    std::lock_guard<std::recursive_mutex> lock(m_state.mutex());
    if (!writable()) {
      throw ACCESS_EXCEPTION("Node '%s' is not writable (access mode %u).", m_description.name.c_str(),
                             static_cast<unsigned>(m_description.access));
    }
    for (const std::string& refused : m_description.refusedValues) {
      if (refused == text) {
        throw ACCESS_EXCEPTION("Node '%s' refuses the value '%s'.", m_description.name.c_str(), text.c_str());
      }
    }
    setValue(text);
    m_state.journalEntry(m_description.name + "=" + text);
  }
  m_state.nodeChanged();
}

}  // namespace Zazod::Emulation
