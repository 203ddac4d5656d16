// Zazod::Emulation::EmulatedEnumEntry: an entry's name in the GenApi style "EnumEntry_<node>_<entry>".
#include "EmulatedEnumEntry.h"

namespace Zazod::Emulation {

EmulatedEnumEntry::EmulatedEnumEntry(const std::string& nodeName, std::string symbolic,
                                     GenApi::EAccessMode access, int64_t value)
    : m_name("EnumEntry_" + nodeName + "_" + symbolic),
      m_symbolic(std::move(symbolic)),
      m_access(access),
      m_value(value) {}

GenICam::gcstring EmulatedEnumEntry::GetName() const { return GenICam::gcstring(m_name); }

}  // namespace Zazod::Emulation
