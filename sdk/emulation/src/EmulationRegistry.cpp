// Zazod::Emulation::EmulationRegistry: the emulated cameras of the process and the environment
// settings of the emulation.
#include "EmulationRegistry.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace Zazod::Emulation {

namespace {

constexpr long kMaxEnvironmentCameras = 999;

// A non-negative number from the environment, or `fallback` when unset; junk is reported.
double environmentNumber(const char* name, double fallback, double maximum) {
  const char* text = std::getenv(name);
  if (text == nullptr || *text == '\0') {
    return fallback;
  }
  char* end = nullptr;
  const double value = std::strtod(text, &end);
  if (end == text || *end != '\0' || !(value >= 0) || value > maximum) {
    std::fprintf(stderr, "zazod_sdk: %s=\"%s\" is not a number from 0 to %g; ignored\n", name, text, maximum);
    return fallback;
  }
  return value;
}

}  // namespace

EmulationRegistry& EmulationRegistry::instance() {
  static EmulationRegistry registry;
  return registry;
}

EmulationRegistry::EmulationRegistry() {
  m_line1Hz = environmentNumber("ZAZOD_SDK_EMULATED_LINE1_HZ", 0, 100000);
  const long count = static_cast<long>(
      environmentNumber("ZAZOD_SDK_EMULATED_CAMERAS", 0, static_cast<double>(kMaxEnvironmentCameras)));
  for (long i = 1; i <= count; ++i) {
    CameraDescription description;
    char serial[32];
    std::snprintf(serial, sizeof serial, "EMU%04ld", i);
    description.serialNumber = serial;
    description.journal = false;
    m_cameras.push_back(std::make_shared<EmulatedCamera::State>(description));
  }
}

std::shared_ptr<EmulatedCamera::State> EmulationRegistry::add(const CameraDescription& description) {
  auto state = std::make_shared<EmulatedCamera::State>(description);
  std::lock_guard<std::mutex> lock(m_mutex);
  m_cameras.push_back(state);
  return state;
}

void EmulationRegistry::remove(const std::string& serialNumber) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_cameras.erase(
      std::remove_if(m_cameras.begin(), m_cameras.end(),
                     [&](const auto& state) { return state->description().serialNumber == serialNumber; }),
      m_cameras.end());
}

void EmulationRegistry::removeAll() {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_cameras.clear();
}

std::vector<std::shared_ptr<EmulatedCamera::State>> EmulationRegistry::cameras() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_cameras;
}

void EmulationRegistry::globalOperation(const char* operation) {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_globalJournal.emplace_back(operation);
  }
  m_globalFaults.check(operation);
}

std::vector<std::string> EmulationRegistry::globalJournal() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_globalJournal;
}

void EmulationRegistry::clearGlobalJournal() {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_globalJournal.clear();
}

}  // namespace Zazod::Emulation
