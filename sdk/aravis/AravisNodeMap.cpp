// Zazod::Aravis::AravisNodeMap: lookup of feature nodes and the choice of their adapter type.
#include "AravisNodeMap.h"

#include <arv.h>

#include "AravisCommand.h"
#include "AravisEnumEntry.h"
#include "AravisEnumeration.h"
#include "AravisInteger.h"
#include "AravisNode.h"
#include "AravisString.h"

namespace Zazod::Aravis {

AravisNodeMap::AravisNodeMap(std::shared_ptr<AravisLink> link, ArvGc* genicam)
    : m_link(std::move(link)), m_genicam(genicam) {}

AravisNodeMap::~AravisNodeMap() = default;

GenApi::INode* AravisNodeMap::GetNode(const GenICam::gcstring& name) const {
  std::lock_guard<std::recursive_mutex> lock(m_link->mutex());
  m_link->throwIfLost("GetNode");
  return adapter(name.c_str());
}

void AravisNodeMap::GetNodes(GenApi::NodeList_t& nodes) const {
  std::lock_guard<std::recursive_mutex> lock(m_link->mutex());
  m_link->throwIfLost("GetNodes");
  ArvDomElement* root = arv_dom_document_get_document_element(ARV_DOM_DOCUMENT(m_genicam));
  if (root == nullptr) {
    return;
  }
  for (ArvDomNode* child = arv_dom_node_get_first_child(ARV_DOM_NODE(root)); child != nullptr;
       child = arv_dom_node_get_next_sibling(child)) {
    if (ARV_IS_GC_FEATURE_NODE(child)) {
      const char* name = arv_gc_feature_node_get_name(ARV_GC_FEATURE_NODE(child));
      if (name != nullptr) {
        if (GenApi::INode* node = adapter(name)) {
          nodes.push_back(node);
        }
      }
    }
  }
}

GenApi::INode* AravisNodeMap::adapter(const std::string& name) const {
  auto found = m_nodes.find(name);
  if (found != m_nodes.end()) {
    return found->second.get();
  }
  ArvGcNode* node = arv_gc_get_node(m_genicam, name.c_str());
  if (node == nullptr || !ARV_IS_GC_FEATURE_NODE(node)) {
    return nullptr;
  }
  AravisFeature feature(m_link, ARV_GC_FEATURE_NODE(node));
  std::unique_ptr<AravisNode> made;
  if (ARV_IS_GC_ENUMERATION(node)) {
    made = std::make_unique<AravisEnumeration>(std::move(feature));
  } else if (ARV_IS_GC_ENUM_ENTRY(node)) {
    made = std::make_unique<AravisEnumEntry>(std::move(feature));
  } else if (ARV_IS_GC_COMMAND(node)) {
    made = std::make_unique<AravisCommand>(std::move(feature));
  } else if (ARV_IS_GC_INTEGER(node)) {
    made = std::make_unique<AravisInteger>(std::move(feature));
  } else if (ARV_IS_GC_STRING(node)) {
    made = std::make_unique<AravisString>(std::move(feature));
  } else if (ARV_IS_GC_BOOLEAN(node)) {
    made = std::make_unique<AravisNode>(std::move(feature), GenApi::intfIBoolean);
  } else if (ARV_IS_GC_FLOAT(node)) {
    made = std::make_unique<AravisNode>(std::move(feature), GenApi::intfIFloat);
  } else if (ARV_IS_GC_CATEGORY(node)) {
    made = std::make_unique<AravisNode>(std::move(feature), GenApi::intfICategory);
  } else {
    made = std::make_unique<AravisNode>(std::move(feature), GenApi::intfIValue);
  }
  GenApi::INode* result = made.get();
  m_nodes.emplace(name, std::move(made));
  return result;
}

}  // namespace Zazod::Aravis
