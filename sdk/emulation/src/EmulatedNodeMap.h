// Zazod::Emulation::EmulatedNodeMap: the node map of one emulated camera, built from its
// description. Removed nodes stay alive (pointers to them remain valid) but GetNode no longer
// finds them.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "EmulatedNode.h"
#include "genapi/INodeMap.h"

namespace Zazod::Emulation {

class EmulatedNodeMap : public GenApi::INodeMap {
 public:
  EmulatedNodeMap(EmulatedCamera::State& state, const CameraDescription& description);

  GenApi::INode* GetNode(const GenICam::gcstring& name) const override;
  void GetNodes(GenApi::NodeList_t& nodes) const override;

  // The node of that name, removed or not, or null. Mutex held by the caller.
  EmulatedNode* find(const std::string& name) const;
  // The node of that name unless removed, or null. Mutex held by the caller.
  EmulatedNode* present(const std::string& name) const;

 private:
  EmulatedCamera::State& m_state;
  std::vector<std::unique_ptr<EmulatedNode>> m_nodes;
};

}  // namespace Zazod::Emulation
