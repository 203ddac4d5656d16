// Zazod::FakeUsb3::DeviceRegistry: the process's fake USB devices. A device object stands for one
// camera of one state file between a plug-in and its unplug; it stays the same object in every
// libusb context of the process (a hotplug callback compares device pointers) and is kept until
// the process ends, so a pointer a context once handed out never dangles. Each device object
// carries the camera's model for this process, made at first use.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <tuple>
#include <vector>

#include "DeviceModel.h"
#include "SharedState.h"

struct libusb_device;
struct libusb_context;

namespace Zazod::FakeUsb3 {

class DeviceRegistry {
 public:
  static DeviceRegistry& instance();

  // The state file named by ZAZOD_FAKE_USB3_STATE (mapped once per path), or null when it is unset
  // or unusable.
  std::shared_ptr<SharedState> stateFromEnvironment();
  // The device objects of the cameras plugged in now, in camera order.
  std::vector<libusb_device*> present(const std::shared_ptr<SharedState>& state);
  // Every device object of the state file made so far, plugged in or not.
  std::vector<libusb_device*> known(const std::shared_ptr<SharedState>& state);

 private:
  std::mutex m_mutex;
  std::map<std::string, std::shared_ptr<SharedState>> m_states;
  std::map<std::tuple<const SharedState*, size_t, uint32_t>, std::unique_ptr<libusb_device>> m_devices;
};

}  // namespace Zazod::FakeUsb3

// A device object (the libusb type is opaque to its users).
struct libusb_device {
  std::shared_ptr<Zazod::FakeUsb3::SharedState> state;
  size_t index = 0;
  uint32_t plugGeneration = 0;
  Zazod::FakeUsb3::CameraIdentity identity;
  uint8_t address = 0;
  std::shared_ptr<Zazod::FakeUsb3::DeviceModel> model;  // made at the first open
  libusb_context* listedBy = nullptr;                   // the context that listed it last
  std::mutex mutex;
};
