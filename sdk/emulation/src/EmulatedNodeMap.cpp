// Zazod::Emulation::EmulatedNodeMap: building the nodes of a description and looking them up.
#include "EmulatedNodeMap.h"

#include "CameraState.h"
#include "EmulatedCommand.h"
#include "EmulatedEnumeration.h"
#include "EmulatedInteger.h"
#include "EmulatedString.h"

namespace Zazod::Emulation {

EmulatedNodeMap::EmulatedNodeMap(EmulatedCamera::State& state, const CameraDescription& description)
    : m_state(state) {
  for (NodeDescription node : description.nodes) {
    // Width and Height show the frame size unless the description says otherwise.
    if (node.kind == NodeKind::Integer && node.value.empty()) {
      if (node.name == "Width") {
        node.value = std::to_string(description.width);
      } else if (node.name == "Height") {
        node.value = std::to_string(description.height);
      } else {
        node.value = "0";
      }
    }
    if (node.kind == NodeKind::Enumeration && node.value.empty() && !node.entries.empty()) {
      node.value = node.entries.front().name;
    }
    switch (node.kind) {
      case NodeKind::Enumeration:
        m_nodes.push_back(std::make_unique<EmulatedEnumeration>(state, std::move(node)));
        break;
      case NodeKind::Integer:
        m_nodes.push_back(std::make_unique<EmulatedInteger>(state, std::move(node)));
        break;
      case NodeKind::Command:
        m_nodes.push_back(std::make_unique<EmulatedCommand>(state, std::move(node)));
        break;
      case NodeKind::String:
        m_nodes.push_back(std::make_unique<EmulatedString>(state, std::move(node)));
        break;
    }
  }
}

EmulatedNode* EmulatedNodeMap::find(const std::string& name) const {
  for (const auto& node : m_nodes) {
    if (node->description().name == name) {
      return node.get();
    }
  }
  return nullptr;
}

EmulatedNode* EmulatedNodeMap::present(const std::string& name) const {
  EmulatedNode* node = find(name);
  return node != nullptr && !node->removed() ? node : nullptr;
}

GenApi::INode* EmulatedNodeMap::GetNode(const GenICam::gcstring& name) const {
  std::lock_guard<std::recursive_mutex> lock(m_state.mutex());
  if (m_state.description().journalLookups) {
    m_state.journalEntry("GetNode:" + name.str());
  }
  return present(name.str());
}

void EmulatedNodeMap::GetNodes(GenApi::NodeList_t& nodes) const {
  std::lock_guard<std::recursive_mutex> lock(m_state.mutex());
  for (const auto& node : m_nodes) {
    if (!node->removed()) {
      nodes.push_back(node.get());
    }
  }
}

}  // namespace Zazod::Emulation
