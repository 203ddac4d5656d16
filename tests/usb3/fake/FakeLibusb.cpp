// The libusb-1.0 functions Aravis calls (and a few neighbours), answered by the fake USB3 Vision
// cameras of the state file named by ZAZOD_FAKE_USB3_STATE. Built as a library with the SONAME of
// libusb-1.0, so that a process finding it first on LD_LIBRARY_PATH never loads the real one.
// Synchronous transfers wait (on the shared state's change counter) until the camera has data,
// the timeout passes or the camera goes; asynchronous ones complete in handle_events_timeout, as
// do cancelled and failed ones, always with their callback. Hotplug DEVICE_LEFT callbacks are
// delivered from handle_events_timeout too.
#include <libusb-1.0/libusb.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <set>
#include <vector>

#include "DeviceModel.h"
#include "DeviceRegistry.h"

using Zazod::FakeUsb3::DeviceModel;
using Zazod::FakeUsb3::DeviceRegistry;
using Zazod::FakeUsb3::SharedState;
using Clock = std::chrono::steady_clock;

namespace {

constexpr uint16_t kVendorId = 0x2676;
constexpr uint16_t kProductId = 0xBA02;
constexpr uint8_t kControlOut = 0x01;
constexpr uint8_t kControlIn = 0x81;
constexpr uint8_t kEventIn = 0x82;
constexpr uint8_t kStreamIn = 0x83;
constexpr int kInterfaces = 3;

struct HotplugCallback {
  int handle;
  int events;
  libusb_hotplug_callback_fn callback;
  void* userData;
  std::set<libusb_device*> known;  // devices it has seen arrive (or that were there)
};

struct alignas(16) TransferState {
  libusb_device_handle* handle = nullptr;
  bool inFlight = false;
  bool cancelled = false;
  Clock::time_point submitted{};
  // Bumped after every completion: a transfer freed on another thread than the one that completed
  // it (its owner waits for the callback through means of its own) reads it first, which orders
  // the completion's writes before the free.
  std::atomic<uint32_t> completions{0};
};

TransferState* stateOf(libusb_transfer* transfer) {
  return reinterpret_cast<TransferState*>(reinterpret_cast<char*>(transfer) - sizeof(TransferState));
}

struct ConfigBlock {
  libusb_config_descriptor config;
  libusb_interface interfaces[kInterfaces];
  libusb_interface_descriptor settings[kInterfaces];
  libusb_endpoint_descriptor endpoints[4];
  unsigned char deviceInfo[20];
};

}  // namespace

struct libusb_context {
  std::shared_ptr<SharedState> state;
  std::mutex mutex;
  std::set<libusb_device_handle*> handles;
  std::vector<HotplugCallback> hotplug;
  int nextHotplugHandle = 1;
};

struct libusb_device_handle {
  libusb_context* context = nullptr;
  libusb_device* device = nullptr;
  std::shared_ptr<DeviceModel> model;
  unsigned claimed = 0;
  std::deque<libusb_transfer*> transfers;  // in flight, in submission order
};

namespace {

libusb_context* defaultContext = nullptr;  // the context of libusb_init(nullptr)
std::mutex defaultContextMutex;

libusb_context* contextOf(libusb_context* context) {
  if (context != nullptr) {
    return context;
  }
  std::lock_guard<std::mutex> lock(defaultContextMutex);
  return defaultContext;
}

bool lost(libusb_device_handle* handle) { return handle->model == nullptr || handle->model->lost(); }

int64_t nanosecondsUntil(Clock::time_point t) {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(t - Clock::now()).count();
}

Clock::time_point deadlineOf(unsigned int timeoutMs) {
  return timeoutMs == 0 ? Clock::time_point::max() : Clock::now() + std::chrono::milliseconds(timeoutMs);
}

// Waits for a change of the shared state or `until`, at most a second at a time.
void waitUntil(const SharedState& state, uint32_t seen, Clock::time_point until) {
  const int64_t ns = std::min<int64_t>(nanosecondsUntil(until), 1000000000);
  state.waitChange(seen, ns);
}

int streamTransfer(libusb_device_handle* handle, unsigned char* data, int length, int* transferred,
                   unsigned int timeoutMs) {
  const SharedState& state = *handle->device->state;
  const Clock::time_point deadline = deadlineOf(timeoutMs);
  for (;;) {
    const uint32_t seen = state.generation();
    Clock::time_point wake;
    switch (handle->model->streamRead(data, length, transferred, &wake)) {
      case DeviceModel::Stream::Data:
        return LIBUSB_SUCCESS;
      case DeviceModel::Stream::Stall:
        return LIBUSB_ERROR_PIPE;
      case DeviceModel::Stream::Overflow:
        return LIBUSB_ERROR_OVERFLOW;
      case DeviceModel::Stream::NoDevice:
        return LIBUSB_ERROR_NO_DEVICE;
      case DeviceModel::Stream::TimedOut:
        // The device sends nothing more for this transfer: it ends when its timeout does.
        while (Clock::now() < deadline && !handle->model->lost() && timeoutMs != 0) {
          waitUntil(state, state.generation(), deadline);
        }
        return handle->model->lost() ? LIBUSB_ERROR_NO_DEVICE : LIBUSB_ERROR_TIMEOUT;
      case DeviceModel::Stream::Wait:
        if (Clock::now() >= deadline) {
          return LIBUSB_ERROR_TIMEOUT;
        }
        waitUntil(state, seen, std::min(wake, deadline));
        break;
    }
  }
}

int controlRead(libusb_device_handle* handle, unsigned char* data, int length, int* transferred,
                unsigned int timeoutMs) {
  const SharedState& state = *handle->device->state;
  const Clock::time_point deadline = deadlineOf(timeoutMs);
  for (;;) {
    const uint32_t seen = state.generation();
    const int result = handle->model->controlIn(data, length, transferred);
    if (result != LIBUSB_ERROR_TIMEOUT) {
      return result;
    }
    if (Clock::now() >= deadline) {
      return LIBUSB_ERROR_TIMEOUT;
    }
    waitUntil(state, seen, deadline);
  }
}

}  // namespace

extern "C" {

int LIBUSB_CALL libusb_init(libusb_context** context) {
  auto* made = new libusb_context;
  made->state = DeviceRegistry::instance().stateFromEnvironment();
  if (context != nullptr) {
    *context = made;
  } else {
    std::lock_guard<std::mutex> lock(defaultContextMutex);
    if (defaultContext != nullptr) {
      delete made;
    } else {
      defaultContext = made;
    }
  }
  return LIBUSB_SUCCESS;
}

void LIBUSB_CALL libusb_exit(libusb_context* context) {
  if (context == nullptr) {
    std::lock_guard<std::mutex> lock(defaultContextMutex);
    context = defaultContext;
    defaultContext = nullptr;
  }
  if (context == nullptr) {
    return;
  }
  if (context->state != nullptr) {
    for (libusb_device* device : DeviceRegistry::instance().known(context->state)) {
      std::lock_guard<std::mutex> lock(device->mutex);
      if (device->listedBy == context) {
        device->listedBy = nullptr;
      }
    }
  }
  delete context;
}

int LIBUSB_CALL libusb_set_option(libusb_context* /*context*/, enum libusb_option /*option*/, ...) {
  return LIBUSB_SUCCESS;
}

ssize_t LIBUSB_CALL libusb_get_device_list(libusb_context* context, libusb_device*** list) {
  context = contextOf(context);
  if (list == nullptr) {
    return LIBUSB_ERROR_INVALID_PARAM;
  }
  std::vector<libusb_device*> devices;
  if (context != nullptr) {
    devices = DeviceRegistry::instance().present(context->state);
  }
  auto** array = static_cast<libusb_device**>(std::calloc(devices.size() + 1, sizeof(libusb_device*)));
  if (array == nullptr) {
    return LIBUSB_ERROR_NO_MEM;
  }
  std::copy(devices.begin(), devices.end(), array);
  for (libusb_device* device : devices) {
    std::lock_guard<std::mutex> lock(device->mutex);
    device->listedBy = context;
  }
  *list = array;
  return static_cast<ssize_t>(devices.size());
}

void LIBUSB_CALL libusb_free_device_list(libusb_device** list, int /*unrefDevices*/) { std::free(list); }

libusb_device* LIBUSB_CALL libusb_ref_device(libusb_device* device) { return device; }
void LIBUSB_CALL libusb_unref_device(libusb_device* /*device*/) {}
uint8_t LIBUSB_CALL libusb_get_bus_number(libusb_device* /*device*/) { return 1; }
uint8_t LIBUSB_CALL libusb_get_device_address(libusb_device* device) {
  return device != nullptr ? device->address : 0;
}
uint8_t LIBUSB_CALL libusb_get_port_number(libusb_device* device) {
  return libusb_get_device_address(device);
}
int LIBUSB_CALL libusb_get_device_speed(libusb_device* /*device*/) { return LIBUSB_SPEED_SUPER; }
int LIBUSB_CALL libusb_has_capability(uint32_t capability) {
  return capability == LIBUSB_CAP_HAS_HOTPLUG ? 1 : 0;
}

int LIBUSB_CALL libusb_get_device_descriptor(libusb_device* device,
                                             struct libusb_device_descriptor* descriptor) {
  if (device == nullptr || descriptor == nullptr) {
    return LIBUSB_ERROR_INVALID_PARAM;
  }
  *descriptor = libusb_device_descriptor{};
  descriptor->bLength = LIBUSB_DT_DEVICE_SIZE;
  descriptor->bDescriptorType = LIBUSB_DT_DEVICE;
  descriptor->bcdUSB = 0x0300;
  descriptor->bDeviceClass = 0xEF;  // miscellaneous, interface association
  descriptor->bDeviceSubClass = 0x02;
  descriptor->bDeviceProtocol = 0x01;
  descriptor->bMaxPacketSize0 = 9;
  descriptor->idVendor = kVendorId;
  descriptor->idProduct = kProductId;
  descriptor->bcdDevice = 0x0100;
  descriptor->iManufacturer = 1;
  descriptor->iProduct = 2;
  descriptor->iSerialNumber = 3;
  descriptor->bNumConfigurations = 1;
  return LIBUSB_SUCCESS;
}

int LIBUSB_CALL libusb_get_config_descriptor(libusb_device* device, uint8_t index,
                                             struct libusb_config_descriptor** config) {
  if (device == nullptr || config == nullptr) {
    return LIBUSB_ERROR_INVALID_PARAM;
  }
  if (index != 0) {
    return LIBUSB_ERROR_NOT_FOUND;
  }
  auto* block = static_cast<ConfigBlock*>(std::calloc(1, sizeof(ConfigBlock)));
  if (block == nullptr) {
    return LIBUSB_ERROR_NO_MEM;
  }
  const uint8_t endpointAddresses[4] = {kControlIn, kControlOut, kEventIn, kStreamIn};
  for (int i = 0; i < 4; ++i) {
    libusb_endpoint_descriptor& endpoint = block->endpoints[i];
    endpoint.bLength = LIBUSB_DT_ENDPOINT_SIZE;
    endpoint.bDescriptorType = LIBUSB_DT_ENDPOINT;
    endpoint.bEndpointAddress = endpointAddresses[i];
    endpoint.bmAttributes = LIBUSB_TRANSFER_TYPE_BULK;
    endpoint.wMaxPacketSize = 1024;
  }
  // The USB3 Vision device-info descriptor: GenCP and U3V versions, then string indices (the
  // GUID's at byte 11).
  unsigned char* info = block->deviceInfo;
  info[0] = sizeof(block->deviceInfo);
  info[1] = 0x24;
  info[2] = 0x01;
  info[5] = 1;  // GenCP 1.0
  info[9] = 1;  // U3V 1.0
  info[11] = 4;
  info[12] = 1;
  info[13] = 2;
  info[17] = 3;
  info[19] = 0x08;  // SuperSpeed
  const uint8_t protocols[kInterfaces] = {0x00, 0x01, 0x02};
  const int endpointStart[kInterfaces] = {0, 2, 3};
  const int endpointCount[kInterfaces] = {2, 1, 1};
  for (int i = 0; i < kInterfaces; ++i) {
    libusb_interface_descriptor& setting = block->settings[i];
    setting.bLength = LIBUSB_DT_INTERFACE_SIZE;
    setting.bDescriptorType = LIBUSB_DT_INTERFACE;
    setting.bInterfaceNumber = static_cast<uint8_t>(i);
    setting.bNumEndpoints = static_cast<uint8_t>(endpointCount[i]);
    setting.bInterfaceClass = 0xEF;
    setting.bInterfaceSubClass = 0x05;
    setting.bInterfaceProtocol = protocols[i];
    setting.endpoint = &block->endpoints[endpointStart[i]];
    if (i == 0) {
      setting.extra = block->deviceInfo;
      setting.extra_length = sizeof(block->deviceInfo);
    }
    block->interfaces[i].altsetting = &setting;
    block->interfaces[i].num_altsetting = 1;
  }
  libusb_config_descriptor& c = block->config;
  c.bLength = LIBUSB_DT_CONFIG_SIZE;
  c.bDescriptorType = LIBUSB_DT_CONFIG;
  c.bNumInterfaces = kInterfaces;
  c.bConfigurationValue = 1;
  c.bmAttributes = 0x80;
  c.MaxPower = 112;
  c.interface = block->interfaces;
  *config = &block->config;
  return LIBUSB_SUCCESS;
}

void LIBUSB_CALL libusb_free_config_descriptor(struct libusb_config_descriptor* config) {
  std::free(config);  // the first member of its block
}

int LIBUSB_CALL libusb_open(libusb_device* device, libusb_device_handle** handle) {
  if (device == nullptr || handle == nullptr) {
    return LIBUSB_ERROR_INVALID_PARAM;
  }
  std::shared_ptr<DeviceModel> model;
  libusb_context* context = nullptr;
  {
    std::lock_guard<std::mutex> lock(device->mutex);
    if (device->model == nullptr) {
      device->model = std::make_shared<DeviceModel>(*device->state, device->index, device->identity,
                                                    device->plugGeneration);
    }
    model = device->model;
    context = device->listedBy;
  }
  if (model->lost()) {
    return LIBUSB_ERROR_NO_DEVICE;
  }
  // The handle belongs to the context that listed the device (its transfers complete in that
  // context's handle_events), or to the default one.
  if (context == nullptr) {
    std::lock_guard<std::mutex> lock(defaultContextMutex);
    context = defaultContext;
  }
  auto* made = new libusb_device_handle;
  made->context = context;
  made->device = device;
  made->model = std::move(model);
  *handle = made;
  return LIBUSB_SUCCESS;
}

void LIBUSB_CALL libusb_close(libusb_device_handle* handle) {
  if (handle == nullptr) {
    return;
  }
  if (handle->context != nullptr) {
    std::lock_guard<std::mutex> lock(handle->context->mutex);
    handle->context->handles.erase(handle);
  }
  delete handle;
}

libusb_device* LIBUSB_CALL libusb_get_device(libusb_device_handle* handle) {
  return handle != nullptr ? handle->device : nullptr;
}

int LIBUSB_CALL libusb_get_string_descriptor_ascii(libusb_device_handle* handle, uint8_t index,
                                                   unsigned char* data, int length) {
  if (handle == nullptr || data == nullptr || length <= 0) {
    return LIBUSB_ERROR_INVALID_PARAM;
  }
  if (lost(handle)) {
    return LIBUSB_ERROR_NO_DEVICE;
  }
  const Zazod::FakeUsb3::CameraIdentity& identity = handle->device->identity;
  std::string text;
  switch (index) {
    case 1:
      text = identity.vendor;
      break;
    case 2:
      text = identity.model;
      break;
    case 3:
      text = identity.serial;
      break;
    case 4:
      text = "FAKEU3V" + identity.serial;  // the device GUID
      break;
    default:
      return LIBUSB_ERROR_INVALID_PARAM;
  }
  const size_t count = std::min(text.size(), static_cast<size_t>(length - 1));
  std::memcpy(data, text.data(), count);
  data[count] = 0;
  return static_cast<int>(count);
}

int LIBUSB_CALL libusb_set_auto_detach_kernel_driver(libusb_device_handle* handle, int /*enable*/) {
  return handle == nullptr ? LIBUSB_ERROR_INVALID_PARAM
         : lost(handle)    ? LIBUSB_ERROR_NO_DEVICE
                           : LIBUSB_SUCCESS;
}

int LIBUSB_CALL libusb_claim_interface(libusb_device_handle* handle, int number) {
  if (handle == nullptr) {
    return LIBUSB_ERROR_INVALID_PARAM;
  }
  if (lost(handle)) {
    return LIBUSB_ERROR_NO_DEVICE;
  }
  if (number < 0 || number >= kInterfaces) {
    return LIBUSB_ERROR_NOT_FOUND;
  }
  handle->claimed |= 1U << number;
  return LIBUSB_SUCCESS;
}

int LIBUSB_CALL libusb_release_interface(libusb_device_handle* handle, int number) {
  if (handle == nullptr || number < 0 || number >= kInterfaces) {
    return LIBUSB_ERROR_NOT_FOUND;
  }
  if ((handle->claimed & (1U << number)) == 0) {
    return LIBUSB_ERROR_NOT_FOUND;
  }
  handle->claimed &= ~(1U << number);
  return lost(handle) ? LIBUSB_ERROR_NO_DEVICE : LIBUSB_SUCCESS;
}

int LIBUSB_CALL libusb_clear_halt(libusb_device_handle* handle, unsigned char endpoint) {
  if (handle == nullptr) {
    return LIBUSB_ERROR_INVALID_PARAM;
  }
  if (lost(handle)) {
    return LIBUSB_ERROR_NO_DEVICE;
  }
  return endpoint == kControlIn || endpoint == kControlOut || endpoint == kEventIn || endpoint == kStreamIn
             ? LIBUSB_SUCCESS
             : LIBUSB_ERROR_NOT_FOUND;
}

int LIBUSB_CALL libusb_control_transfer(libusb_device_handle* handle, uint8_t requestType, uint8_t request,
                                        uint16_t value, uint16_t /*index*/, unsigned char* data,
                                        uint16_t length, unsigned int /*timeout*/) {
  if (handle == nullptr || (length > 0 && data == nullptr)) {
    return LIBUSB_ERROR_INVALID_PARAM;
  }
  if (lost(handle)) {
    return LIBUSB_ERROR_NO_DEVICE;
  }
  // Standard requests without data (SET_FEATURE / CLEAR_FEATURE ENDPOINT_HALT) are accepted;
  // anything else stalls, as a device that does not know it.
  const bool standard = (requestType & 0x60) == 0;
  if (standard && length == 0 &&
      (request == LIBUSB_REQUEST_SET_FEATURE || request == LIBUSB_REQUEST_CLEAR_FEATURE) && value == 0) {
    return 0;
  }
  return LIBUSB_ERROR_PIPE;
}

int LIBUSB_CALL libusb_bulk_transfer(libusb_device_handle* handle, unsigned char endpoint,
                                     unsigned char* data, int length, int* transferred,
                                     unsigned int timeout) {
  int ignored = 0;
  int* count = transferred != nullptr ? transferred : &ignored;
  *count = 0;
  if (handle == nullptr || length < 0 || (length > 0 && data == nullptr)) {
    return LIBUSB_ERROR_INVALID_PARAM;
  }
  if (lost(handle)) {
    return LIBUSB_ERROR_NO_DEVICE;
  }
  switch (endpoint) {
    case kControlOut:
    case kControlIn:
      if ((handle->claimed & 1U) == 0) {
        return LIBUSB_ERROR_NOT_FOUND;
      }
      if (endpoint == kControlIn) {
        return controlRead(handle, data, length, count, timeout);
      } else {
        const int result = handle->model->controlOut(data, length);
        *count = result == LIBUSB_SUCCESS ? length : 0;
        return result;
      }
    case kStreamIn:
      if ((handle->claimed & 4U) == 0) {
        return LIBUSB_ERROR_NOT_FOUND;
      }
      return streamTransfer(handle, data, length, count, timeout);
    default:
      return LIBUSB_ERROR_NOT_FOUND;
  }
}

struct libusb_transfer* LIBUSB_CALL libusb_alloc_transfer(int isoPackets) {
  if (isoPackets < 0 || isoPackets > 1024) {
    return nullptr;
  }
  const size_t size = sizeof(TransferState) + sizeof(libusb_transfer) +
                      static_cast<size_t>(isoPackets) * sizeof(libusb_iso_packet_descriptor);
  char* block = static_cast<char*>(std::calloc(1, size));
  if (block == nullptr) {
    return nullptr;
  }
  new (block) TransferState;
  auto* transfer = reinterpret_cast<libusb_transfer*>(block + sizeof(TransferState));
  transfer->num_iso_packets = isoPackets;
  return transfer;
}

void LIBUSB_CALL libusb_free_transfer(struct libusb_transfer* transfer) {
  if (transfer == nullptr) {
    return;
  }
  if ((transfer->flags & LIBUSB_TRANSFER_FREE_BUFFER) != 0) {
    std::free(transfer->buffer);
  }
  TransferState* state = stateOf(transfer);
  (void)state->completions.load(std::memory_order_acquire);
  state->~TransferState();
  std::free(state);
}

int LIBUSB_CALL libusb_submit_transfer(struct libusb_transfer* transfer) {
  if (transfer == nullptr || transfer->dev_handle == nullptr || transfer->length < 0 ||
      (transfer->length > 0 && transfer->buffer == nullptr) || transfer->type != LIBUSB_TRANSFER_TYPE_BULK) {
    return LIBUSB_ERROR_INVALID_PARAM;
  }
  libusb_device_handle* handle = transfer->dev_handle;
  if (lost(handle)) {
    return LIBUSB_ERROR_NO_DEVICE;
  }
  if (transfer->endpoint != kStreamIn || (handle->claimed & 4U) == 0) {
    return LIBUSB_ERROR_NOT_FOUND;  // only the stream is read asynchronously
  }
  libusb_context* context = handle->context;
  if (context == nullptr) {
    return LIBUSB_ERROR_NOT_SUPPORTED;
  }
  TransferState* state = stateOf(transfer);
  {
    std::lock_guard<std::mutex> lock(context->mutex);
    if (state->inFlight) {
      return LIBUSB_ERROR_BUSY;
    }
    state->handle = handle;
    state->inFlight = true;
    state->cancelled = false;
    state->submitted = Clock::now();
    transfer->actual_length = 0;
    handle->transfers.push_back(transfer);
    context->handles.insert(handle);
  }
  handle->device->state->bump();
  return LIBUSB_SUCCESS;
}

int LIBUSB_CALL libusb_cancel_transfer(struct libusb_transfer* transfer) {
  if (transfer == nullptr || transfer->dev_handle == nullptr || transfer->dev_handle->context == nullptr) {
    return LIBUSB_ERROR_NOT_FOUND;
  }
  libusb_device_handle* handle = transfer->dev_handle;
  TransferState* state = stateOf(transfer);
  {
    std::lock_guard<std::mutex> lock(handle->context->mutex);
    if (!state->inFlight || state->cancelled) {
      return LIBUSB_ERROR_NOT_FOUND;
    }
    state->cancelled = true;
  }
  handle->device->state->bump();
  return LIBUSB_SUCCESS;
}

int LIBUSB_CALL libusb_handle_events_timeout_completed(libusb_context* context, struct timeval* tv,
                                                       int* /*completed*/) {
  context = contextOf(context);
  if (context == nullptr) {
    return LIBUSB_ERROR_INVALID_PARAM;
  }
  const auto timeout = tv != nullptr
                           ? std::chrono::seconds(tv->tv_sec) + std::chrono::microseconds(tv->tv_usec)
                           : std::chrono::microseconds(0);
  const Clock::time_point deadline = Clock::now() + timeout;
  for (;;) {
    const uint32_t seen = context->state != nullptr ? context->state->generation() : 0;
    std::vector<libusb_transfer*> done;
    std::vector<std::pair<size_t, libusb_device*>> left;
    Clock::time_point wake = deadline;
    {
      std::lock_guard<std::mutex> lock(context->mutex);
      for (libusb_device_handle* handle : context->handles) {
        bool headWaits = false;
        for (auto it = handle->transfers.begin(); it != handle->transfers.end();) {
          libusb_transfer* transfer = *it;
          TransferState* state = stateOf(transfer);
          bool complete = true;
          if (state->cancelled) {
            transfer->status = LIBUSB_TRANSFER_CANCELLED;
          } else if (lost(handle)) {
            transfer->status = LIBUSB_TRANSFER_NO_DEVICE;
          } else if (transfer->timeout != 0 &&
                     Clock::now() >= state->submitted + std::chrono::milliseconds(transfer->timeout)) {
            transfer->status = LIBUSB_TRANSFER_TIMED_OUT;
          } else if (headWaits) {
            complete = false;
          } else {
            Clock::time_point ready;
            int count = 0;
            switch (handle->model->streamRead(transfer->buffer, transfer->length, &count, &ready)) {
              case DeviceModel::Stream::Data:
                transfer->status = LIBUSB_TRANSFER_COMPLETED;
                transfer->actual_length = count;
                break;
              case DeviceModel::Stream::Stall:
                transfer->status = LIBUSB_TRANSFER_STALL;
                break;
              case DeviceModel::Stream::Overflow:
                transfer->status = LIBUSB_TRANSFER_OVERFLOW;
                break;
              case DeviceModel::Stream::NoDevice:
                transfer->status = LIBUSB_TRANSFER_NO_DEVICE;
                break;
              case DeviceModel::Stream::TimedOut:
                transfer->status = LIBUSB_TRANSFER_TIMED_OUT;
                break;
              case DeviceModel::Stream::Wait:
                complete = false;
                headWaits = true;
                wake = std::min(wake, ready);
                if (transfer->timeout != 0) {
                  wake = std::min(wake, state->submitted + std::chrono::milliseconds(transfer->timeout));
                }
                break;
            }
          }
          if (complete) {
            state->inFlight = false;
            done.push_back(transfer);
            it = handle->transfers.erase(it);
          } else {
            ++it;
          }
        }
      }
      if (context->state != nullptr) {
        std::vector<libusb_device*> present = DeviceRegistry::instance().present(context->state);
        for (size_t i = 0; i < context->hotplug.size(); ++i) {
          HotplugCallback& callback = context->hotplug[i];
          for (auto it = callback.known.begin(); it != callback.known.end();) {
            libusb_device* device = *it;
            if (std::find(present.begin(), present.end(), device) == present.end()) {
              std::shared_ptr<DeviceModel> model;
              {
                std::lock_guard<std::mutex> deviceLock(device->mutex);
                model = device->model;
              }
              if ((callback.events & LIBUSB_HOTPLUG_EVENT_DEVICE_LEFT) != 0 && model != nullptr &&
                  model->reportsDeviceLeft()) {
                left.emplace_back(i, device);
              }
              it = callback.known.erase(it);
            } else {
              ++it;
            }
          }
          for (libusb_device* device : present) {
            callback.known.insert(device);
          }
        }
      }
    }
    for (libusb_transfer* transfer : done) {
      // Everything this thread reads of the transfer comes before the completion is published: from
      // the callback on, the transfer is Aravis's, which may hand it to another thread to free.
      const libusb_transfer_cb_fn callback = transfer->callback;
      stateOf(transfer)->completions.fetch_add(1, std::memory_order_release);
      if (callback != nullptr) {
        callback(transfer);
      }
    }
    std::vector<int> finished;
    for (const auto& [slot, device] : left) {
      HotplugCallback callback;
      {
        std::lock_guard<std::mutex> lock(context->mutex);
        if (slot >= context->hotplug.size()) {
          continue;
        }
        callback = context->hotplug[slot];
      }
      if (callback.callback(context, device, LIBUSB_HOTPLUG_EVENT_DEVICE_LEFT, callback.userData) != 0) {
        finished.push_back(callback.handle);
      }
    }
    if (!finished.empty()) {
      std::lock_guard<std::mutex> lock(context->mutex);
      auto& list = context->hotplug;
      list.erase(std::remove_if(list.begin(), list.end(),
                                [&](const HotplugCallback& c) {
                                  return std::find(finished.begin(), finished.end(), c.handle) !=
                                         finished.end();
                                }),
                 list.end());
    }
    if (!done.empty() || !left.empty() || Clock::now() >= deadline || context->state == nullptr) {
      return LIBUSB_SUCCESS;
    }
    waitUntil(*context->state, seen, wake);
  }
}

int LIBUSB_CALL libusb_handle_events_timeout(libusb_context* context, struct timeval* tv) {
  return libusb_handle_events_timeout_completed(context, tv, nullptr);
}

int LIBUSB_CALL libusb_handle_events(libusb_context* context) {
  timeval tv{60, 0};
  return libusb_handle_events_timeout_completed(context, &tv, nullptr);
}

int LIBUSB_CALL libusb_hotplug_register_callback(libusb_context* context, int events, int flags,
                                                 int /*vendorId*/, int /*productId*/, int /*deviceClass*/,
                                                 libusb_hotplug_callback_fn callback, void* userData,
                                                 libusb_hotplug_callback_handle* handle) {
  context = contextOf(context);
  if (context == nullptr || callback == nullptr || events == 0) {
    return LIBUSB_ERROR_INVALID_PARAM;
  }
  HotplugCallback entry{0, events, callback, userData, {}};
  std::vector<libusb_device*> present = DeviceRegistry::instance().present(context->state);
  entry.known.insert(present.begin(), present.end());
  {
    std::lock_guard<std::mutex> lock(context->mutex);
    entry.handle = context->nextHotplugHandle++;
    context->hotplug.push_back(entry);
  }
  if ((flags & LIBUSB_HOTPLUG_ENUMERATE) != 0 && (events & LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED) != 0) {
    for (libusb_device* device : present) {
      callback(context, device, LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED, userData);
    }
  }
  if (handle != nullptr) {
    *handle = entry.handle;
  }
  return LIBUSB_SUCCESS;
}

void LIBUSB_CALL libusb_hotplug_deregister_callback(libusb_context* context,
                                                    libusb_hotplug_callback_handle handle) {
  context = contextOf(context);
  if (context == nullptr) {
    return;
  }
  std::lock_guard<std::mutex> lock(context->mutex);
  auto& list = context->hotplug;
  list.erase(
      std::remove_if(list.begin(), list.end(), [&](const HotplugCallback& c) { return c.handle == handle; }),
      list.end());
}

const char* LIBUSB_CALL libusb_error_name(int code) {
  switch (code) {
    case LIBUSB_SUCCESS:
      return "LIBUSB_SUCCESS";
    case LIBUSB_ERROR_IO:
      return "LIBUSB_ERROR_IO";
    case LIBUSB_ERROR_INVALID_PARAM:
      return "LIBUSB_ERROR_INVALID_PARAM";
    case LIBUSB_ERROR_ACCESS:
      return "LIBUSB_ERROR_ACCESS";
    case LIBUSB_ERROR_NO_DEVICE:
      return "LIBUSB_ERROR_NO_DEVICE";
    case LIBUSB_ERROR_NOT_FOUND:
      return "LIBUSB_ERROR_NOT_FOUND";
    case LIBUSB_ERROR_BUSY:
      return "LIBUSB_ERROR_BUSY";
    case LIBUSB_ERROR_TIMEOUT:
      return "LIBUSB_ERROR_TIMEOUT";
    case LIBUSB_ERROR_OVERFLOW:
      return "LIBUSB_ERROR_OVERFLOW";
    case LIBUSB_ERROR_PIPE:
      return "LIBUSB_ERROR_PIPE";
    case LIBUSB_ERROR_INTERRUPTED:
      return "LIBUSB_ERROR_INTERRUPTED";
    case LIBUSB_ERROR_NO_MEM:
      return "LIBUSB_ERROR_NO_MEM";
    case LIBUSB_ERROR_NOT_SUPPORTED:
      return "LIBUSB_ERROR_NOT_SUPPORTED";
    default:
      return "LIBUSB_ERROR_OTHER";
  }
}

const char* LIBUSB_CALL libusb_strerror(int code) { return libusb_error_name(code); }

}  // extern "C"
