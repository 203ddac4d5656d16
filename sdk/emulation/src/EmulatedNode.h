// Zazod::Emulation::EmulatedNode: what every node of an emulated node map shares: its description,
// its value (one per trigger for nodes that follow "TriggerSelector"), whether it was removed, and
// the camera state it belongs to. Values are guarded by the camera state's mutex.
#pragma once

#include <map>
#include <string>

#include "genapi/INode.h"
#include "zazod/emulation/Emulation.h"

namespace Zazod::Emulation {

class EmulatedNode : public virtual GenApi::INode {
 public:
  EmulatedNode(EmulatedCamera::State& state, NodeDescription description);

  GenICam::gcstring GetName() const override;
  GenApi::EAccessMode GetAccessMode() const override;

  const NodeDescription& description() const { return m_description; }
  bool removed() const { return m_removed; }
  void setRemoved() { m_removed = true; }

  // The value for `trigger` ("" : the trigger selected now). Mutex held by the caller.
  const std::string& value(const std::string& trigger = std::string()) const;
  void setValue(const std::string& value, const std::string& trigger = std::string());

 protected:
  // The key of the value the node shows now: the selected trigger for per-trigger nodes.
  const std::string& key(const std::string& trigger) const;
  bool writable() const;
  // Raises the checks every access shares: the device present and the injected fault.
  void beforeAccess(const char* prefix) const;

  EmulatedCamera::State& m_state;
  NodeDescription m_description;
  std::map<std::string, std::string, std::less<>> m_values;
  bool m_removed = false;
};

}  // namespace Zazod::Emulation
