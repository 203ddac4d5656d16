// Zazod::Emulation::EmulatedEnumEntry: one entry of an emulated enumeration: symbolic name, value
// (its position) and access mode.
#pragma once

#include <cstdint>
#include <string>

#include "genapi/IEnumEntry.h"

namespace Zazod::Emulation {

class EmulatedEnumEntry : public GenApi::IEnumEntry {
 public:
  EmulatedEnumEntry(const std::string& nodeName, std::string symbolic, GenApi::EAccessMode access,
                    int64_t value);

  GenICam::gcstring GetName() const override;
  GenApi::EInterfaceType GetPrincipalInterfaceType() const override { return GenApi::intfIEnumEntry; }
  GenApi::EAccessMode GetAccessMode() const override { return m_access; }
  GenICam::gcstring GetSymbolic() const override { return GenICam::gcstring(m_symbolic); }
  int64_t GetValue() const override { return m_value; }

  const std::string& symbolic() const { return m_symbolic; }
  // Access codes 0 (not implemented) and 1 (not available) make an entry unavailable.
  bool available() const { return m_access > GenApi::NA; }

 private:
  std::string m_name;
  std::string m_symbolic;
  GenApi::EAccessMode m_access;
  int64_t m_value;
};

}  // namespace Zazod::Emulation
