// Zazod::Emulation::EmulationTransport: enumeration of the emulated cameras, and the registration
// of the transport under the name "emulation".
#include "EmulationTransport.h"

#include "EmulatedDescriptor.h"
#include "EmulationRegistry.h"
#include "TransportRegistry.h"

namespace Zazod::Emulation {

void EmulationTransport::enumerate(Pylon::DeviceInfoList_t& list) {
  for (const auto& state : EmulationRegistry::instance().cameras()) {
    if (!state->unplugged()) {
      list.emplace_back(std::make_shared<EmulatedDescriptor>(state));
    }
  }
}

void EmulationTransport::beforeGlobalOperation(const char* operation) {
  EmulationRegistry::instance().globalOperation(operation);
}

namespace {

Pylon::Internal::Transport* createTransport() {
  static EmulationTransport transport;
  return &transport;
}

[[maybe_unused]] const bool g_registered =
    Pylon::Internal::TransportRegistry::instance().add("emulation", &createTransport);

}  // namespace

}  // namespace Zazod::Emulation
