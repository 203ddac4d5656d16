// Zazod::FakeUsb3::DeviceRegistry: device objects per camera and plug-in.
#include "DeviceRegistry.h"

#include <cstdio>
#include <cstdlib>

namespace Zazod::FakeUsb3 {

DeviceRegistry& DeviceRegistry::instance() {
  // Never destroyed: Aravis's threads may still call in while the process ends.
  static auto* registry = new DeviceRegistry;
  return *registry;
}

std::shared_ptr<SharedState> DeviceRegistry::stateFromEnvironment() {
  const char* path = std::getenv("ZAZOD_FAKE_USB3_STATE");
  if (path == nullptr || *path == '\0') {
    return nullptr;
  }
  std::lock_guard<std::mutex> lock(m_mutex);
  auto found = m_states.find(path);
  if (found != m_states.end()) {
    return found->second;
  }
  std::string error;
  auto state = std::make_shared<SharedState>(SharedState::map(path, error));
  if (!state->valid()) {
    std::fprintf(stderr, "fake libusb: ZAZOD_FAKE_USB3_STATE: %s; no devices\n", error.c_str());
    return nullptr;
  }
  m_states.emplace(path, state);
  return state;
}

std::vector<libusb_device*> DeviceRegistry::present(const std::shared_ptr<SharedState>& state) {
  std::vector<libusb_device*> devices;
  if (state == nullptr) {
    return devices;
  }
  std::lock_guard<std::mutex> lock(m_mutex);
  for (size_t i = 0; i < state->cameraCount(); ++i) {
    const CameraRecord* record = state->record(i);
    CameraIdentity identity;
    if (record == nullptr || load(record->present) == 0 || !state->identity(i, identity)) {
      continue;
    }
    const uint32_t generation = load(record->plugGeneration);
    std::unique_ptr<libusb_device>& device = m_devices[{state.get(), i, generation}];
    if (device == nullptr) {
      device = std::make_unique<libusb_device>();
      device->state = state;
      device->index = i;
      device->plugGeneration = generation;
      device->identity = identity;
      device->address = static_cast<uint8_t>(1 + (i * 16 + generation) % 127);
    }
    devices.push_back(device.get());
  }
  return devices;
}

std::vector<libusb_device*> DeviceRegistry::known(const std::shared_ptr<SharedState>& state) {
  std::vector<libusb_device*> devices;
  std::lock_guard<std::mutex> lock(m_mutex);
  for (const auto& [key, device] : m_devices) {
    if (std::get<0>(key) == state.get()) {
      devices.push_back(device.get());
    }
  }
  return devices;
}

}  // namespace Zazod::FakeUsb3
