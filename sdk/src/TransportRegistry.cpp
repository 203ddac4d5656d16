// Pylon::Internal::TransportRegistry: registration of the built-in backends and the choice of the
// enabled ones from ZAZOD_SDK_TRANSPORTS.
#include "TransportRegistry.h"

#include <cstdio>
#include <cstdlib>

namespace Pylon::Internal {

Transport::~Transport() = default;
void Transport::beforeGlobalOperation(const char* /*operation*/) {}

TransportRegistry& TransportRegistry::instance() {
  static TransportRegistry registry;
  return registry;
}

bool TransportRegistry::add(const char* name, Factory factory) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_factories.emplace_back(name, factory);
  return true;
}

const std::vector<Transport*>& TransportRegistry::enabled() {
  std::call_once(m_enabledOnce, [this] {
    const char* setting = std::getenv("ZAZOD_SDK_TRANSPORTS");
    const std::string names = setting != nullptr ? setting : "emulation";
    std::lock_guard<std::mutex> lock(m_mutex);
    size_t start = 0;
    while (start <= names.size()) {
      size_t end = names.find(',', start);
      if (end == std::string::npos) {
        end = names.size();
      }
      std::string name = names.substr(start, end - start);
      const size_t first = name.find_first_not_of(" \t");
      const size_t last = name.find_last_not_of(" \t");
      name = first == std::string::npos ? std::string() : name.substr(first, last - first + 1);
      if (!name.empty()) {
        bool found = false;
        for (const auto& [registered, factory] : m_factories) {
          if (registered == name) {
            found = true;
            bool duplicate = false;
            Transport* transport = nullptr;
            for (Transport* existing : m_enabled) {
              duplicate = duplicate || name == existing->name();
            }
            if (!duplicate && (transport = factory()) != nullptr) {
              m_enabled.push_back(transport);
            }
          }
        }
        if (!found) {
          std::fprintf(stderr, "zazod_sdk: ZAZOD_SDK_TRANSPORTS names an unknown transport \"%s\"; ignored\n",
                       name.c_str());
        }
      }
      start = end + 1;
    }
  });
  return m_enabled;
}

}  // namespace Pylon::Internal
