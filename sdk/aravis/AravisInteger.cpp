// Zazod::Aravis::AravisInteger: reading and writing integer nodes.
#include "AravisInteger.h"

#include <arv.h>

#include "gcbase/GCException.h"

namespace Zazod::Aravis {

int64_t AravisInteger::GetValue(bool /*verify*/, bool /*ignoreCache*/) {
  AravisLink& link = m_feature.link();
  std::lock_guard<std::recursive_mutex> lock(link.mutex());
  const std::string where = m_feature.operation("GetValue");
  link.throwIfLost(where.c_str());
  GError* error = nullptr;
  const gint64 value = arv_gc_integer_get_value(ARV_GC_INTEGER(m_feature.node()), &error);
  link.check(error, where.c_str());
  return value;
}

void AravisInteger::SetValue(int64_t value, bool verify) {
  AravisLink& link = m_feature.link();
  std::lock_guard<std::recursive_mutex> lock(link.mutex());
  const std::string where = m_feature.operation("SetValue");
  link.throwIfLost(where.c_str());
  GError* error = nullptr;
  arv_gc_integer_set_value(ARV_GC_INTEGER(m_feature.node()), value, &error);
  link.check(error, where.c_str());
  if (verify) {
    const int64_t readBack = GetValue(false, true);
    if (readBack != value) {
      throw RUNTIME_EXCEPTION("%s: wrote %lld but the device reads back %lld.", where.c_str(),
                              static_cast<long long>(value), static_cast<long long>(readBack));
    }
  }
}

}  // namespace Zazod::Aravis
