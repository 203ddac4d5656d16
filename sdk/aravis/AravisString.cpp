// Zazod::Aravis::AravisString: reading and writing string nodes.
#include "AravisString.h"

#include <arv.h>

namespace Zazod::Aravis {

void AravisString::SetValue(const GenICam::gcstring& value, bool /*verify*/) {
  AravisLink& link = m_feature.link();
  std::lock_guard<std::recursive_mutex> lock(link.mutex());
  const std::string where = m_feature.operation("SetValue");
  link.throwIfLost(where.c_str());
  GError* error = nullptr;
  arv_gc_string_set_value(ARV_GC_STRING(m_feature.node()), value.c_str(), &error);
  link.check(error, where.c_str());
}

GenICam::gcstring AravisString::GetValue(bool /*verify*/, bool /*ignoreCache*/) {
  AravisLink& link = m_feature.link();
  std::lock_guard<std::recursive_mutex> lock(link.mutex());
  const std::string where = m_feature.operation("GetValue");
  link.throwIfLost(where.c_str());
  GError* error = nullptr;
  const char* value = arv_gc_string_get_value(ARV_GC_STRING(m_feature.node()), &error);
  link.check(error, where.c_str());
  return GenICam::gcstring(value != nullptr ? value : "");
}

}  // namespace Zazod::Aravis
