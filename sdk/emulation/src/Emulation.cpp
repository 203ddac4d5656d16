// The control API of the emulated cameras: the default node map, the camera handle's operations
// and the process-wide functions, all forwarding to the camera states and the registry.
#include "zazod/emulation/Emulation.h"

#include "CameraState.h"
#include "EmulatedEnumeration.h"
#include "EmulationRegistry.h"

namespace Zazod::Emulation {

NodeMapDescription DefaultNodeMap() {
  NodeMapDescription nodes;
  auto enumeration = [](std::string name, std::vector<std::string> entries, std::string value,
                        bool perTrigger) {
    NodeDescription node;
    node.name = std::move(name);
    node.kind = NodeKind::Enumeration;
    for (std::string& entry : entries) {
      node.entries.push_back(EntryDescription{std::move(entry), GenApi::RW});
    }
    node.value = std::move(value);
    node.perTriggerSelector = perTrigger;
    return node;
  };
  nodes.push_back(enumeration("TriggerSelector", {"FrameStart", "AcquisitionStart"}, "FrameStart", false));
  nodes.push_back(enumeration("TriggerMode", {"Off", "On"}, "Off", true));
  nodes.push_back(enumeration("TriggerSource", {"Line1", "Software"}, "Line1", true));
  nodes.push_back(
      enumeration("AcquisitionMode", {"SingleFrame", "MultiFrame", "Continuous"}, "Continuous", false));
  NodeDescription command;
  command.name = "TriggerSoftware";
  command.kind = NodeKind::Command;
  command.access = GenApi::WO;
  nodes.push_back(command);
  for (const char* name : {"Width", "Height"}) {
    NodeDescription integer;
    integer.name = name;
    integer.kind = NodeKind::Integer;
    integer.access = GenApi::RO;
    nodes.push_back(integer);
  }
  return nodes;
}

EmulatedCamera::EmulatedCamera(std::shared_ptr<State> state) : m_state(std::move(state)) {}

std::string EmulatedCamera::SerialNumber() const { return m_state->description().serialNumber; }

void EmulatedCamera::FailNext(const std::string& operation, const Fault& fault, int count) {
  m_state->faults().arm(operation, fault, count);
}

void EmulatedCamera::ClearFaults() { m_state->faults().clear(); }

void EmulatedCamera::FailNextResults(int count, uint32_t errorCode, const std::string& description) {
  m_state->failNextResults(count, errorCode, description);
}

void EmulatedCamera::InjectSkippedImages(uint64_t count) { m_state->injectSkippedImages(count); }

void EmulatedCamera::SetNextImageNumber(int64_t imageNumber) { m_state->setNextImageNumber(imageNumber); }

void EmulatedCamera::SetCanWaitForFrameTriggerReady(bool can) {
  m_state->setCanWaitForFrameTriggerReady(can);
}

void EmulatedCamera::Unplug() { m_state->unplug(); }

void EmulatedCamera::Replug() { m_state->replug(); }

void EmulatedCamera::PulseLine1() { m_state->pulseLine1(); }

std::string EmulatedCamera::NodeValue(const std::string& node, const std::string& trigger) const {
  std::lock_guard<std::recursive_mutex> lock(m_state->mutex());
  const EmulatedNode* found = m_state->nodeMap().find(node);
  return found != nullptr ? found->value(trigger) : std::string();
}

void EmulatedCamera::SetNodeValue(const std::string& node, const std::string& value,
                                  const std::string& trigger) {
  {
    std::lock_guard<std::recursive_mutex> lock(m_state->mutex());
    if (EmulatedNode* found = m_state->nodeMap().find(node)) {
      found->setValue(value, trigger);
    }
  }
  m_state->nodeChanged();
}

void EmulatedCamera::RemoveNode(const std::string& node) {
  {
    std::lock_guard<std::recursive_mutex> lock(m_state->mutex());
    if (EmulatedNode* found = m_state->nodeMap().find(node)) {
      found->setRemoved();
    }
  }
  m_state->nodeChanged();
}

std::vector<std::string> EmulatedCamera::Journal() const { return m_state->journal(); }

void EmulatedCamera::ClearJournal() { m_state->clearJournal(); }

uint64_t EmulatedCamera::FramesProduced() const { return m_state->framesProduced.load(); }

uint64_t EmulatedCamera::FramesDropped() const { return m_state->framesDropped.load(); }

EmulatedCamera AddCamera(const CameraDescription& description) {
  return EmulatedCamera(EmulationRegistry::instance().add(description));
}

void RemoveCamera(const std::string& serialNumber) { EmulationRegistry::instance().remove(serialNumber); }

void RemoveAllCameras() { EmulationRegistry::instance().removeAll(); }

std::vector<EmulatedCamera> Cameras() {
  std::vector<EmulatedCamera> handles;
  for (auto& state : EmulationRegistry::instance().cameras()) {
    handles.emplace_back(state);
  }
  return handles;
}

void FailNextGlobal(const std::string& operation, const Fault& fault, int count) {
  EmulationRegistry::instance().globalFaults().arm(operation, fault, count);
}

void ClearGlobalFaults() { EmulationRegistry::instance().globalFaults().clear(); }

std::vector<std::string> GlobalJournal() { return EmulationRegistry::instance().globalJournal(); }

void ClearGlobalJournal() { EmulationRegistry::instance().clearGlobalJournal(); }

void Reset() {
  EmulationRegistry& registry = EmulationRegistry::instance();
  registry.removeAll();
  registry.globalFaults().clear();
  registry.clearGlobalJournal();
}

}  // namespace Zazod::Emulation
