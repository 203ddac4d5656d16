// Zazod::Aravis::AravisNode: a GenApi node over an Aravis feature node: name, access mode and
// principal interface type. Nodes of types without an adapter of their own (booleans, floats,
// categories, registers) are plain AravisNodes; the typed adapters derive from it.
#pragma once

#include "AravisFeature.h"
#include "genapi/INode.h"

namespace Zazod::Aravis {

class AravisNode : public virtual GenApi::INode {
 public:
  AravisNode(AravisFeature feature, GenApi::EInterfaceType type)
      : m_feature(std::move(feature)), m_type(type) {}

  GenICam::gcstring GetName() const override { return GenICam::gcstring(m_feature.name().c_str()); }
  GenApi::EAccessMode GetAccessMode() const override { return m_feature.accessMode(); }
  GenApi::EInterfaceType GetPrincipalInterfaceType() const override { return m_type; }

 protected:
  AravisFeature m_feature;

 private:
  GenApi::EInterfaceType m_type;
};

}  // namespace Zazod::Aravis
