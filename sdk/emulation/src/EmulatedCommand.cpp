// Zazod::Emulation::EmulatedCommand: executing an emulated command node.
#include "EmulatedCommand.h"

#include "CameraState.h"
#include "gcbase/GCException.h"

namespace Zazod::Emulation {

EmulatedCommand::EmulatedCommand(EmulatedCamera::State& state, NodeDescription description)
    : EmulatedNode(state, std::move(description)) {}

void EmulatedCommand::Execute(bool /*verify*/) {
  beforeAccess("Execute:");
  if (!writable()) {
    throw ACCESS_EXCEPTION("Command '%s' cannot be executed (access mode %u).", m_description.name.c_str(),
                           static_cast<unsigned>(m_description.access));
  }
  m_state.journalEntry("Execute:" + m_description.name);
  if (m_description.name == "TriggerSoftware") {
    m_state.softwareTrigger();
  }
}

}  // namespace Zazod::Emulation
