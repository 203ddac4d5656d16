// Zazod::Aravis::AravisEnumeration: entries in description order, setting by symbolic name.
#include "AravisEnumeration.h"

#include <arv.h>

#include "gcbase/GCException.h"

namespace Zazod::Aravis {

AravisEnumeration::AravisEnumeration(AravisFeature feature)
    : AravisNode(std::move(feature), GenApi::intfIEnumeration) {
  const GSList* list = arv_gc_enumeration_get_entries(ARV_GC_ENUMERATION(m_feature.node()));
  for (const GSList* item = list; item != nullptr; item = item->next) {
    if (item->data != nullptr && ARV_IS_GC_ENUM_ENTRY(item->data)) {
      m_entries.push_back(std::make_unique<AravisEnumEntry>(
          AravisFeature(m_feature.sharedLink(), ARV_GC_FEATURE_NODE(item->data))));
    }
  }
  // Aravis prepends each entry while parsing: the description's order is the reverse.
  std::vector<std::unique_ptr<AravisEnumEntry>> ordered;
  ordered.reserve(m_entries.size());
  for (auto it = m_entries.rbegin(); it != m_entries.rend(); ++it) {
    ordered.push_back(std::move(*it));
  }
  m_entries.swap(ordered);
}

GenApi::IEnumEntry* AravisEnumeration::GetEntryByName(const GenICam::gcstring& symbolic) {
  m_feature.link().throwIfLost(m_feature.operation("GetEntryByName").c_str());
  for (const auto& entry : m_entries) {
    if (entry->GetName() == symbolic) {
      return entry.get();
    }
  }
  return nullptr;
}

void AravisEnumeration::GetEntries(GenApi::NodeList_t& entries) {
  m_feature.link().throwIfLost(m_feature.operation("GetEntries").c_str());
  for (const auto& entry : m_entries) {
    entries.push_back(entry.get());
  }
}

void AravisEnumeration::FromString(const GenICam::gcstring& value, bool verify) {
  AravisLink& link = m_feature.link();
  std::lock_guard<std::recursive_mutex> lock(link.mutex());
  const std::string where = m_feature.operation("FromString");
  link.throwIfLost(where.c_str());
  if (verify) {
    GenApi::IEnumEntry* entry = GetEntryByName(value);
    if (entry != nullptr && entry->GetAccessMode() <= GenApi::NA) {
      throw ACCESS_EXCEPTION("%s: the entry '%s' of %s is not available.", where.c_str(), value.c_str(),
                             m_feature.name().c_str());
    }
  }
  GError* error = nullptr;
  arv_gc_enumeration_set_string_value(ARV_GC_ENUMERATION(m_feature.node()), value.c_str(), &error);
  link.check(error, where.c_str());
  if (verify) {
    const GenICam::gcstring readBack = ToString(false, true);
    if (!(readBack == value)) {
      throw RUNTIME_EXCEPTION("%s: wrote '%s' but the device reads back '%s'.", where.c_str(), value.c_str(),
                              readBack.c_str());
    }
  }
}

GenICam::gcstring AravisEnumeration::ToString(bool /*verify*/, bool /*ignoreCache*/) {
  AravisLink& link = m_feature.link();
  std::lock_guard<std::recursive_mutex> lock(link.mutex());
  const std::string where = m_feature.operation("ToString");
  link.throwIfLost(where.c_str());
  GError* error = nullptr;
  const char* value = arv_gc_enumeration_get_string_value(ARV_GC_ENUMERATION(m_feature.node()), &error);
  link.check(error, where.c_str());
  return GenICam::gcstring(value != nullptr ? value : "");
}

GenApi::IEnumEntry* AravisEnumeration::GetCurrentEntry(bool verify, bool ignoreCache) {
  return GetEntryByName(ToString(verify, ignoreCache));
}

}  // namespace Zazod::Aravis
