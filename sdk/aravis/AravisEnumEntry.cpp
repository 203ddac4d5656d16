// Zazod::Aravis::AravisEnumEntry: reading an entry's value.
#include "AravisEnumEntry.h"

#include <arv.h>

namespace Zazod::Aravis {

int64_t AravisEnumEntry::GetValue() const {
  AravisLink& link = m_feature.link();
  std::lock_guard<std::recursive_mutex> lock(link.mutex());
  const std::string where = m_feature.operation("GetValue");
  link.throwIfLost(where.c_str());
  GError* error = nullptr;
  const gint64 value = arv_gc_enum_entry_get_value(ARV_GC_ENUM_ENTRY(m_feature.node()), &error);
  link.check(error, where.c_str());
  return value;
}

}  // namespace Zazod::Aravis
