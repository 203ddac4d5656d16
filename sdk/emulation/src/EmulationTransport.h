// Zazod::Emulation::EmulationTransport: the transport "emulation": lists the present (not
// unplugged) emulated cameras in the order they were added and journals the SDK's process-wide
// operations in the emulation's global journal.
#pragma once

#include "Transport.h"

namespace Zazod::Emulation {

class EmulationTransport : public Pylon::Internal::Transport {
 public:
  const char* name() const override { return "emulation"; }
  void enumerate(Pylon::DeviceInfoList_t& list) override;
  void beforeGlobalOperation(const char* operation) override;
};

}  // namespace Zazod::Emulation
