// Zazod::Emulation::EmulatedString: a string node of an emulated camera; writes are journaled as
// "<node>=<value>" once they succeed.
#pragma once

#include "EmulatedNode.h"
#include "genapi/IString.h"

namespace Zazod::Emulation {

class EmulatedString : public GenApi::IString, public EmulatedNode {
 public:
  EmulatedString(EmulatedCamera::State& state, NodeDescription description);

  GenApi::EInterfaceType GetPrincipalInterfaceType() const override { return GenApi::intfIString; }
  void SetValue(const GenICam::gcstring& value, bool verify = true) override;
  GenICam::gcstring GetValue(bool verify = false, bool ignoreCache = false) override;
};

}  // namespace Zazod::Emulation
