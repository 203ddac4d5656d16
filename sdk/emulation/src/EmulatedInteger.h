// Zazod::Emulation::EmulatedInteger: an integer node of an emulated camera (value kept as text);
// writes are journaled as "<node>=<value>" once they succeed.
#pragma once

#include "EmulatedNode.h"
#include "genapi/IInteger.h"

namespace Zazod::Emulation {

class EmulatedInteger : public GenApi::IInteger, public EmulatedNode {
 public:
  EmulatedInteger(EmulatedCamera::State& state, NodeDescription description);

  GenApi::EInterfaceType GetPrincipalInterfaceType() const override { return GenApi::intfIInteger; }
  int64_t GetValue(bool verify = false, bool ignoreCache = false) override;
  void SetValue(int64_t value, bool verify = true) override;
};

}  // namespace Zazod::Emulation
