// Zazod::Aravis::AravisFeature: access modes of Aravis feature nodes in GenApi's codes.
#include "AravisFeature.h"

#include <arv.h>

namespace Zazod::Aravis {

AravisFeature::AravisFeature(std::shared_ptr<AravisLink> link, ArvGcFeatureNode* node)
    : m_link(std::move(link)), m_node(node) {
  const char* name = arv_gc_feature_node_get_name(node);
  m_name = name != nullptr ? name : "";
}

GenApi::EAccessMode AravisFeature::accessMode() const {
  std::lock_guard<std::recursive_mutex> lock(m_link->mutex());
  const std::string where = operation("GetAccessMode");
  m_link->throwIfLost(where.c_str());
  GError* error = nullptr;
  const gboolean implemented = arv_gc_feature_node_is_implemented(m_node, &error);
  m_link->check(error, where.c_str());
  if (!implemented) {
    return GenApi::NI;
  }
  const gboolean available = arv_gc_feature_node_is_available(m_node, &error);
  m_link->check(error, where.c_str());
  if (!available) {
    return GenApi::NA;
  }
  const gboolean locked = arv_gc_feature_node_is_locked(m_node, &error);
  m_link->check(error, where.c_str());
  switch (arv_gc_feature_node_get_actual_access_mode(m_node)) {
    case ARV_GC_ACCESS_MODE_RO:
      return GenApi::RO;
    case ARV_GC_ACCESS_MODE_WO:
      return locked ? GenApi::NA : GenApi::WO;
    case ARV_GC_ACCESS_MODE_RW:
      return locked ? GenApi::RO : GenApi::RW;
    default:
      return GenApi::_UndefinedAccesMode;
  }
}

}  // namespace Zazod::Aravis
