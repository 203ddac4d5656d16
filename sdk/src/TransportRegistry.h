// Pylon::Internal::TransportRegistry: the backends built into the SDK library, each registered by
// name from its own source file, and the ones enabled for this process by ZAZOD_SDK_TRANSPORTS
// (comma-separated names, default "emulation"; unknown names are reported on stderr and ignored).
// A new backend is one more registration; nothing here changes.
#pragma once

#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "Transport.h"

namespace Pylon::Internal {

class TransportRegistry {
 public:
  // Returns the backend's transport, which lives for the rest of the process.
  using Factory = Transport* (*)();

  static TransportRegistry& instance();

  // Registers a backend; returns true so that it can initialise a static flag.
  bool add(const char* name, Factory factory);
  // The enabled transports in the order named, created on the first call.
  const std::vector<Transport*>& enabled();

 private:
  TransportRegistry() = default;

  std::mutex m_mutex;
  std::vector<std::pair<std::string, Factory>> m_factories;
  std::once_flag m_enabledOnce;
  std::vector<Transport*> m_enabled;
};

}  // namespace Pylon::Internal
