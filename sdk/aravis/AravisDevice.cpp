// Zazod::Aravis::AravisDevice: connection, control check, streaming into pooled slots, software
// triggers and their accounting, loss handling.
#include "AravisDevice.h"

#include <arv.h>

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "AravisReaper.h"
#include "AravisSettings.h"
#include "FrameLeader.h"
#include "GvcpProbe.h"
#include "PayloadLimit.h"
#include "StreamSocketSizer.h"
#include "gcbase/GCException.h"
#include "genapi/ICommand.h"

namespace Zazod::Aravis {

namespace {

// How long one pop waits before the waiter looks at cancellation and loss again.
constexpr unsigned int kWaitSliceMs = 20;
// How long Aravis keeps waiting for the missing packets of a frame.
constexpr unsigned int kFrameRetentionUs = 500000;
// Error codes of failed results: this base plus one plus Aravis's buffer status (UNKNOWN is -1),
// and codes of its own for a payload that is no single image and for the leader's judgement
// (FrameLeader).
constexpr uint32_t kBufferErrorBase = 0xE2000000u;
constexpr uint32_t kUnsupportedPayloadCode = kBufferErrorBase + 0x100u;
constexpr const char* kUnsupportedPayload =
    "The frame's payload is no single image in the buffer this SDK handed to Aravis.";

uint32_t errorCode(ArvBufferStatus status) { return kBufferErrorBase + static_cast<uint32_t>(status + 1); }

const char* statusDescription(ArvBufferStatus status) {
  switch (status) {
    case ARV_BUFFER_STATUS_MISSING_PACKETS:
      return "The frame is incomplete: packets are missing (Aravis buffer status MISSING_PACKETS).";
    case ARV_BUFFER_STATUS_WRONG_PACKET_ID:
      return "The frame is broken: a packet had an unexpected id (Aravis buffer status WRONG_PACKET_ID).";
    case ARV_BUFFER_STATUS_SIZE_MISMATCH:
      return "The frame does not fit the buffer (Aravis buffer status SIZE_MISMATCH).";
    case ARV_BUFFER_STATUS_TIMEOUT:
      return "The frame did not complete in time (Aravis buffer status TIMEOUT).";
    case ARV_BUFFER_STATUS_ABORTED:
      return "The frame was aborted (Aravis buffer status ABORTED).";
    case ARV_BUFFER_STATUS_CLEARED:
      return "The buffer was cleared before it received a frame (Aravis buffer status CLEARED).";
    case ARV_BUFFER_STATUS_FILLING:
      return "The frame was still being received (Aravis buffer status FILLING).";
    default:
      return "The frame failed for an unknown reason (Aravis buffer status UNKNOWN).";
  }
}

// Aravis builds a device's GenICam tree while it connects and frees it with the device's last
// reference, through state that two threads must not use at once: two cameras connecting at the
// same time crashed inside the parser's registration of feature nodes. So devices are made and
// released one at a time in the process.
std::mutex& deviceLifecycle() {
  static std::mutex mutex;
  return mutex;
}

void releaseDevice(ArvDevice* device) {
  std::lock_guard<std::mutex> lifecycle(deviceLifecycle());
  g_object_unref(device);
}

void onControlLost(ArvDevice* /*device*/, gpointer link) {
  static_cast<AravisLink*>(link)->markLost("Aravis reported that control of the device was lost");
}

}  // namespace

AravisDevice::AravisDevice(std::shared_ptr<const AravisDescriptor> descriptor)
    : m_descriptor(std::move(descriptor)), m_info(m_descriptor), m_link(std::make_shared<AravisLink>()) {}

AravisDevice::~AravisDevice() {
  try {
    close();
  } catch (...) {
    // Teardown never throws; close() itself swallows device errors.
  }
}

ArvDevice* AravisDevice::connect(const std::string& operation) {
  const AravisDescriptor::Fields& fields = m_descriptor->fields();
  GError* error = nullptr;
  ArvDevice* device = nullptr;
  if (m_descriptor->isGigEVision()) {
    const std::string local = GvcpProbe::localAddressFor(fields.address);
    if (local.empty()) {
      throw RUNTIME_EXCEPTION("%s: no route to the camera at %s.", operation.c_str(), fields.address.c_str());
    }
    GInetAddress* interfaceAddress = g_inet_address_new_from_string(local.c_str());
    GInetAddress* deviceAddress = g_inet_address_new_from_string(fields.address.c_str());
    if (interfaceAddress != nullptr && deviceAddress != nullptr) {
      std::lock_guard<std::mutex> lifecycle(deviceLifecycle());
      device = arv_gv_device_new(interfaceAddress, deviceAddress, &error);
    }
    if (interfaceAddress != nullptr) {
      g_object_unref(interfaceAddress);
    }
    if (deviceAddress != nullptr) {
      g_object_unref(deviceAddress);
    }
  } else {
    const AravisSettings settings = AravisSettings::fromEnvironment();
    if (!settings.rejectedUsbMode().empty()) {
      std::fprintf(stderr,
                   "zazod_sdk: ZAZOD_SDK_ARAVIS_USB_MODE: \"%s\" is neither sync nor async; sync used\n",
                   settings.rejectedUsbMode().c_str());
    }
    std::lock_guard<std::mutex> lifecycle(deviceLifecycle());
    device =
        arv_uv_device_new(fields.vendor.c_str(), fields.model.c_str(), fields.serialNumber.c_str(), &error);
    if (device != nullptr) {
      // Set before any stream exists: Aravis picks the stream's transfer scheme when it creates it.
      arv_uv_device_set_usb_mode(ARV_UV_DEVICE(device), settings.usbMode() == AravisSettings::UsbMode::Async
                                                            ? ARV_UV_USB_MODE_ASYNC
                                                            : ARV_UV_USB_MODE_SYNC);
    }
  }
  if (device == nullptr) {
    if (error != nullptr) {
      m_link->check(error, operation.c_str());
    }
    throw RUNTIME_EXCEPTION("%s: the camera %s could not be opened.", operation.c_str(),
                            fields.serialNumber.c_str());
  }
  return device;
}

void AravisDevice::open() {
  std::lock_guard<std::mutex> control(m_controlMutex);
  if (m_open.load()) {
    return;
  }
  m_link->clearLoss();
  std::lock_guard<std::recursive_mutex> lock(m_link->mutex());
  ArvDevice* device = connect("Open");
  if (ARV_IS_GV_DEVICE(device) && !arv_gv_device_is_controller(ARV_GV_DEVICE(device))) {
    // Releasing it writes to the device, which ignores a client without control: that waits for
    // Aravis's timeouts, so it happens on the reaper's thread.
    AravisReaper::instance().release([device] { releaseDevice(device); });
    throw ACCESS_EXCEPTION("Open: the camera %s is controlled by another application.",
                           m_descriptor->fields().serialNumber.c_str());
  }
  arv_device_set_access_check_policy(device, ARV_ACCESS_CHECK_POLICY_ENABLE);
  arv_device_set_range_check_policy(device, ARV_RANGE_CHECK_POLICY_ENABLE);
  if (ARV_IS_GV_DEVICE(device)) {
    // Aravis takes the packet socket whenever it may open one; the way chosen here is the one the
    // stream takes, and the one the diagnostics report.
    m_streamWay = StreamPath::current();
    if (m_streamWay != StreamPath::Way::PacketSocket) {
      arv_gv_device_set_stream_options(ARV_GV_DEVICE(device), ARV_GV_STREAM_OPTION_PACKET_SOCKET_DISABLED);
    }
  }
  ArvGc* genicam = arv_device_get_genicam(device);
  if (genicam == nullptr) {
    releaseDevice(device);
    throw RUNTIME_EXCEPTION("Open: the camera %s has no GenICam description.",
                            m_descriptor->fields().serialNumber.c_str());
  }
  m_lostHandler = g_signal_connect(device, "control-lost", G_CALLBACK(onControlLost), m_link.get());
  m_device = device;
  m_nodeMap = std::make_unique<AravisNodeMap>(m_link, genicam);
  m_open.store(true);
}

void AravisDevice::close() {
  std::lock_guard<std::mutex> control(m_controlMutex);
  stopStreamingLocked();
  std::lock_guard<std::recursive_mutex> lock(m_link->mutex());
  m_nodeMap.reset();
  if (m_device != nullptr) {
    if (m_lostHandler != 0) {
      g_signal_handler_disconnect(m_device, m_lostHandler);
      m_lostHandler = 0;
    }
    // Ends Aravis's heartbeat and gives control back (bounded by Aravis's own timeouts); for a
    // lost device that waits for every timeout, so it happens on the reaper's thread.
    ArvDevice* device = m_device;
    m_device = nullptr;
    if (m_link->lost()) {
      AravisReaper::instance().release([device] { releaseDevice(device); });
    } else {
      releaseDevice(device);
    }
  }
  m_open.store(false);
}

GenApi::INodeMap& AravisDevice::nodeMap() {
  m_link->throwIfLost("GetNodeMap");
  if (m_nodeMap == nullptr) {
    throw LOGICAL_ERROR_EXCEPTION("GetNodeMap: the camera device is not open.");
  }
  return *m_nodeMap;
}

void AravisDevice::startStreaming(size_t bufferCount) {
  std::lock_guard<std::mutex> control(m_controlMutex);
  stopStreamingLocked();
  GError* error = nullptr;
  {
    // The waiter's lock before the link's, in the order stopping takes them.
    std::lock_guard<std::mutex> wait(m_waitMutex);
    std::lock_guard<std::recursive_mutex> lock(m_link->mutex());
    startStreamingLocked(bufferCount, error);
  }
  if (error != nullptr) {
    stopStreamingLocked();
    std::lock_guard<std::recursive_mutex> lock(m_link->mutex());
    m_link->check(error, "StartGrabbing: AcquisitionStart");
  }
}

void AravisDevice::startStreamingLocked(size_t bufferCount, GError*& acquisitionError) {
  m_link->throwIfLost("StartGrabbing");
  if (m_device == nullptr) {
    throw LOGICAL_ERROR_EXCEPTION("StartGrabbing: the camera device is not open.");
  }
  GError* error = nullptr;
  const gint64 payload = arv_device_get_integer_feature_value(m_device, "PayloadSize", &error);
  m_link->check(error, "StartGrabbing: PayloadSize");
  const size_t count = std::max<size_t>(bufferCount, 2);
  Pylon::Internal::PayloadLimit::check("StartGrabbing", payload, count);
  ArvStream* stream = arv_device_create_stream(m_device, nullptr, nullptr, &error);
  if (stream == nullptr) {
    if (error != nullptr) {
      m_link->check(error, "StartGrabbing: creating the stream");
    }
    throw RUNTIME_EXCEPTION("StartGrabbing: Aravis could not create a stream.");
  }
  if (ARV_IS_GV_STREAM(stream)) {
    // A socket buffer that holds a couple of frames, set here before the start: Aravis's automatic
    // one is sized after the first frame, which it then loses. Aravis is told to leave the socket
    // alone (a fixed size of 0): when it applies a size of its own at the first frame it uses
    // plain SO_RCVBUF, which the kernel caps at net.core.rmem_max, and so undoes the larger size
    // set here; the kernel then drops packets of every frame that arrives while the one before is
    // still being read. An incomplete frame is kept for half a second, so a receiving thread that a
    // busy machine leaves waiting does not time out frames that are whole.
    // Through the packet socket nothing reads the UDP socket (it stays only so that the port is
    // taken), so it keeps the system's default buffer rather than hold two frames of stale packets.
    const gint64 socketBuffer = std::min<gint64>(std::max<gint64>(2 * payload + 65536, 1 << 20), 64 << 20);
    g_object_set(stream, "socket-buffer", ARV_GV_STREAM_SOCKET_BUFFER_FIXED, "socket-buffer-size", 0,
                 "frame-retention", static_cast<guint>(kFrameRetentionUs), nullptr);
    if (m_streamWay != StreamPath::Way::PacketSocket) {
      StreamSocketSizer::resize(arv_gv_stream_get_port(ARV_GV_STREAM(stream)),
                                static_cast<size_t>(socketBuffer));
    }
    if (StreamPath::diagnosticsEnabled()) {
      std::fprintf(stderr, "zazod_sdk: %s: the GigE Vision stream receives through %s\n",
                   StreamPath::shown(m_descriptor->fields().serialNumber.c_str()).c_str(),
                   StreamPath::describe(m_streamWay));
    }
  }
  m_pool.start(count, static_cast<size_t>(payload), nullptr);
  m_buffers.clear();
  m_buffers.reserve(count);
  for (Pylon::Internal::ResultSlot* slot = m_pool.take(); slot != nullptr; slot = m_pool.take()) {
    ArvBuffer* buffer = arv_buffer_new_full(slot->bufferSize(), slot->buffer(), slot, nullptr);
    m_buffers.push_back({slot, buffer, true});
    arv_stream_push_buffer(stream, buffer);
  }
  {
    std::lock_guard<std::mutex> triggers(m_triggerMutex);
    m_outstandingTriggers = 0;
  }
  m_cancelled.store(false);
  m_stream = stream;
  m_streaming.store(true);
  arv_device_execute_command(m_device, "AcquisitionStart", &acquisitionError);
}

void AravisDevice::stopStreaming() {
  std::lock_guard<std::mutex> control(m_controlMutex);
  stopStreamingLocked();
}

void AravisDevice::stopStreamingLocked() {
  m_cancelled.store(true);
  std::lock_guard<std::mutex> wait(m_waitMutex);  // the waiter leaves within one slice
  if (m_stream == nullptr) {
    return;
  }
  m_streaming.store(false);
  {
    std::lock_guard<std::recursive_mutex> lock(m_link->mutex());
    if (!m_link->lost() && m_device != nullptr) {
      GError* error = nullptr;
      arv_device_execute_command(m_device, "AcquisitionStop", &error);
      try {
        m_link->check(error, "StopGrabbing: AcquisitionStop");
      } catch (const GenICam::GenericException&) {
        // Stopping goes on; a timeout has marked the device lost.
      }
    }
  }
  ArvStream* stream = m_stream;
  m_stream = nullptr;
  std::vector<Buffer> buffers;
  buffers.swap(m_buffers);
  // Joins Aravis's receiving thread and drops the buffers Aravis holds; the slots Aravis held are
  // released only after that, so their memory outlives every write into it.
  auto release = [stream, buffers] {
    g_object_unref(stream);
    for (const Buffer& entry : buffers) {
      if (entry.queued) {
        entry.slot->release();
      } else {
        g_object_unref(entry.buffer);
      }
    }
  };
  if (m_link->lost()) {
    AravisReaper::instance().release(release);
  } else {
    release();
  }
  m_pool.stop();
  {
    std::lock_guard<std::mutex> triggers(m_triggerMutex);
    m_outstandingTriggers = 0;
  }
  m_triggerChanged.notify_all();
}

void AravisDevice::cancelWait() { m_cancelled.store(true); }

void AravisDevice::requeueFreeSlots() {
  for (Pylon::Internal::ResultSlot* slot = m_pool.take(); slot != nullptr; slot = m_pool.take()) {
    for (Buffer& entry : m_buffers) {
      if (entry.slot == slot) {
        entry.queued = true;
        arv_stream_push_buffer(m_stream, entry.buffer);
        break;
      }
    }
  }
}

void AravisDevice::fill(Buffer& entry) {
  ArvBuffer* buffer = entry.buffer;
  Pylon::Internal::ResultSlot* slot = entry.slot;
  const ArvBufferStatus status = arv_buffer_get_status(buffer);
  const uint64_t frameId = arv_buffer_get_frame_id(buffer);
  const uint64_t timeStamp = arv_buffer_get_timestamp(buffer);
  slot->setImageNumberHint(false, 0);
  slot->setSkippedBefore(0);
  if (status == ARV_BUFFER_STATUS_SUCCESS) {
    size_t size = 0;
    const void* data = arv_buffer_get_image_data(buffer, &size);
    const gint width = arv_buffer_get_image_width(buffer);
    const gint height = arv_buffer_get_image_height(buffer);
    if (data != slot->buffer() || width <= 0 || height <= 0) {
      slot->setFailed(kUnsupportedPayloadCode, kUnsupportedPayload, frameId, timeStamp);
      return;
    }
    const FrameLeader::Judgement judgement =
        FrameLeader::judge(static_cast<uint32_t>(width), static_cast<uint32_t>(height),
                           arv_buffer_get_image_pixel_format(buffer), std::min(size, slot->bufferSize()));
    if (!judgement.deliver) {
      slot->setFailed(judgement.errorCode, judgement.description, frameId, timeStamp);
      return;
    }
    slot->setSucceeded(static_cast<uint32_t>(width), static_cast<uint32_t>(height), judgement.pixelType, size,
                       frameId, timeStamp);
    return;
  }
  slot->setFailed(errorCode(status), statusDescription(status), frameId, timeStamp);
}

void AravisDevice::frameArrived() {
  bool changed = false;
  {
    std::lock_guard<std::mutex> triggers(m_triggerMutex);
    if (m_outstandingTriggers > 0) {
      --m_outstandingTriggers;
      changed = m_outstandingTriggers == 0;
    }
  }
  if (changed) {
    m_triggerChanged.notify_all();
  }
}

AravisDevice::WaitStatus AravisDevice::waitForResult(unsigned int timeoutMs,
                                                     Pylon::Internal::ResultSlot*& slot) {
  slot = nullptr;
  std::lock_guard<std::mutex> wait(m_waitMutex);
  using Clock = std::chrono::steady_clock;
  const bool infinite = timeoutMs == kInfinite;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(infinite ? 0 : timeoutMs);
  for (;;) {
    if (m_link->lost()) {
      return WaitStatus::Removed;
    }
    if (m_cancelled.load() || m_stream == nullptr) {
      return WaitStatus::Cancelled;
    }
    requeueFreeSlots();
    unsigned int sliceMs = kWaitSliceMs;
    if (!infinite) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      sliceMs = static_cast<unsigned int>(std::clamp<long long>(left, 0, kWaitSliceMs));
    }
    ArvBuffer* ready = arv_stream_timeout_pop_buffer(m_stream, static_cast<guint64>(sliceMs) * 1000u);
    if (ready == nullptr) {
      if (!infinite && Clock::now() >= deadline) {
        return WaitStatus::Timeout;
      }
      continue;
    }
    for (Buffer& entry : m_buffers) {
      if (entry.buffer == ready) {
        entry.queued = false;
        fill(entry);
        frameArrived();
        slot = entry.slot;
        return WaitStatus::Result;
      }
    }
  }
}

bool AravisDevice::waitForFrameTriggerReady(unsigned int timeoutMs) {
  std::unique_lock<std::mutex> triggers(m_triggerMutex);
  const auto ready = [this] { return m_outstandingTriggers == 0 || m_link->lost() || !m_streaming.load(); };
  if (timeoutMs == kInfinite) {
    m_triggerChanged.wait(triggers, ready);
  } else {
    m_triggerChanged.wait_for(triggers, std::chrono::milliseconds(timeoutMs), ready);
  }
  return m_outstandingTriggers == 0 && !m_link->lost() && m_streaming.load();
}

void AravisDevice::executeSoftwareTrigger() {
  std::lock_guard<std::recursive_mutex> lock(m_link->mutex());
  m_link->throwIfLost("ExecuteSoftwareTrigger");
  GenApi::INode* node = m_nodeMap != nullptr ? m_nodeMap->GetNode("TriggerSoftware") : nullptr;
  auto* command = dynamic_cast<GenApi::ICommand*>(node);
  if (command == nullptr) {
    throw RUNTIME_EXCEPTION("ExecuteSoftwareTrigger: the camera has no TriggerSoftware command.");
  }
  {
    std::lock_guard<std::mutex> triggers(m_triggerMutex);
    ++m_outstandingTriggers;  // counted first: the frame may arrive before Execute returns
  }
  try {
    command->Execute(true);
  } catch (...) {
    frameArrived();
    throw;
  }
}

}  // namespace Zazod::Aravis
