// Zazod::Emulation::EmulatedNode: the name, access, values and shared checks of an emulated node.
#include "EmulatedNode.h"

#include "CameraState.h"

namespace Zazod::Emulation {

namespace {
const std::string kNoKey;
}

EmulatedNode::EmulatedNode(EmulatedCamera::State& state, NodeDescription description)
    : m_state(state), m_description(std::move(description)) {}

GenICam::gcstring EmulatedNode::GetName() const { return GenICam::gcstring(m_description.name); }

GenApi::EAccessMode EmulatedNode::GetAccessMode() const { return m_description.access; }

const std::string& EmulatedNode::key(const std::string& trigger) const {
  // The selector cannot hold one value per value of itself: a description that asks for it gets
  // one shared value (keying it by its own value would never end).
  if (!m_description.perTriggerSelector || m_description.name == "TriggerSelector") {
    return kNoKey;
  }
  return trigger.empty() ? m_state.selectedTrigger() : trigger;
}

const std::string& EmulatedNode::value(const std::string& trigger) const {
  auto it = m_values.find(key(trigger));
  return it != m_values.end() ? it->second : m_description.value;
}

void EmulatedNode::setValue(const std::string& value, const std::string& trigger) {
  m_values[key(trigger)] = value;
}

bool EmulatedNode::writable() const {
  return m_description.access == GenApi::RW || m_description.access == GenApi::WO;
}

void EmulatedNode::beforeAccess(const char* prefix) const {
  m_state.checkPresent(m_description.name.c_str());
  m_state.faults().check(prefix, m_description.name);
}

}  // namespace Zazod::Emulation
