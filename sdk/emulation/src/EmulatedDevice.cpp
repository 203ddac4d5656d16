// Zazod::Emulation::EmulatedDevice: opening, streaming and frame production of an emulated device.
#include "EmulatedDevice.h"

#include <chrono>
#include <cstring>

#include "EmulatedDescriptor.h"
#include "EmulationRegistry.h"
#include "ResultFaults.h"
#include "gcbase/GCException.h"

namespace Zazod::Emulation {

namespace {

// Makes the grab-result readers fail as the camera's armed faults say.
class ReaderFaults : public Pylon::Internal::ResultFaults {
 public:
  explicit ReaderFaults(std::shared_ptr<EmulatedCamera::State> state) : m_state(std::move(state)) {}
  void check(Pylon::CGrabResultData::Reader reader) const override {
    using Reader = Pylon::CGrabResultData::Reader;
    switch (reader) {
      case Reader::GrabSucceeded:
        return m_state->faults().check("GrabSucceeded");
      case Reader::Buffer:
        return m_state->faults().check("GetBuffer");
      case Reader::Width:
        return m_state->faults().check("GetWidth");
      case Reader::Height:
        return m_state->faults().check("GetHeight");
      case Reader::ImageNumber:
        return m_state->faults().check("GetImageNumber");
      case Reader::ErrorCode:
        return m_state->faults().check("GetErrorCode");
      case Reader::ErrorDescription:
        return m_state->faults().check("GetErrorDescription");
    }
  }

 private:
  std::shared_ptr<EmulatedCamera::State> m_state;
};

uint64_t nowNs() {
  return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                   std::chrono::steady_clock::now().time_since_epoch())
                                   .count());
}

}  // namespace

EmulatedDevice::EmulatedDevice(std::shared_ptr<EmulatedCamera::State> state)
    : m_state(std::move(state)), m_info(std::make_shared<EmulatedDescriptor>(m_state)) {
  const uint32_t width = m_state->description().width;
  m_ramp.resize(256 + static_cast<size_t>(width));
  for (size_t i = 0; i < m_ramp.size(); ++i) {
    m_ramp[i] = static_cast<uint8_t>(i & 0xff);
  }
  m_state->addDevice(this);
}

EmulatedDevice::~EmulatedDevice() {
  m_state->removeDevice(this);
  stopStreaming();
}

void EmulatedDevice::beforeOperation(const char* operation) { m_state->operation(operation); }

void EmulatedDevice::open() {
  m_state->checkPresent("Open");
  m_open.store(true);
}

void EmulatedDevice::close() {
  stopStreaming();
  m_open.store(false);
}

GenApi::INodeMap& EmulatedDevice::nodeMap() { return m_state->nodeMap(); }

void EmulatedDevice::startStreaming(size_t /*bufferCount: the description's pool size is used*/) {
  std::lock_guard<std::mutex> control(m_controlMutex);
  m_state->checkPresent("StartGrabbing");
  if (m_streaming.load()) {
    return;
  }
  const CameraDescription& description = m_state->description();
  m_stream.start(description.bufferCount, static_cast<size_t>(description.width) * description.height,
                 std::make_shared<ReaderFaults>(m_state));
  {
    std::lock_guard<std::mutex> lock(m_wakeMutex);
    m_stopProducer = false;
    m_changed = false;
  }
  m_streaming.store(true);
  m_producer = std::thread(&EmulatedDevice::producerLoop, this);
}

void EmulatedDevice::stopStreaming() {
  std::lock_guard<std::mutex> control(m_controlMutex);
  m_streaming.store(false);
  {
    std::lock_guard<std::mutex> lock(m_wakeMutex);
    m_stopProducer = true;
  }
  m_wakeUp.notify_all();
  if (m_producer.joinable()) {
    m_producer.join();
  }
  m_stream.stop();
}

EmulatedDevice::WaitStatus EmulatedDevice::waitForResult(unsigned int timeoutMs,
                                                         Pylon::Internal::ResultSlot*& slot) {
  return m_stream.wait(timeoutMs, slot);
}

bool EmulatedDevice::canWaitForFrameTriggerReady() const { return m_state->canWaitForFrameTriggerReady(); }

bool EmulatedDevice::waitForFrameTriggerReady(unsigned int timeoutMs) {
  return m_streaming.load() && !m_removed.load() && m_stream.waitForFree(timeoutMs);
}

void EmulatedDevice::executeSoftwareTrigger() {
  if (m_streaming.load() && !m_removed.load() &&
      m_state->triggerConfiguration() == EmulatedCamera::State::Trigger::Software) {
    produce();
  }
}

void EmulatedDevice::onLine1Pulse() {
  if (m_streaming.load() && !m_removed.load() &&
      m_state->triggerConfiguration() == EmulatedCamera::State::Trigger::Line1) {
    produce();
  }
}

void EmulatedDevice::onUnplugged() {
  m_removed.store(true);
  m_stream.markRemoved();
  wake();
}

void EmulatedDevice::wake() {
  {
    std::lock_guard<std::mutex> lock(m_wakeMutex);
    m_changed = true;
  }
  m_wakeUp.notify_all();
}

void EmulatedDevice::produce() {
  Pylon::Internal::ResultSlot* slot = m_stream.take();
  if (slot == nullptr) {
    m_state->framesDropped.fetch_add(1);
    return;
  }
  const uint64_t blockId = m_frameId.fetch_add(1) + 1;
  if (m_state->fillOutcome(*slot, blockId, nowNs())) {
    const uint32_t width = m_state->description().width;
    const uint32_t height = m_state->description().height;
    uint8_t* row = slot->buffer();
    const size_t shift = static_cast<size_t>(3 * blockId);
    for (uint32_t y = 0; y < height; ++y, row += width) {
      std::memcpy(row, &m_ramp[(y + shift) & 0xff], width);
    }
  }
  m_state->framesProduced.fetch_add(1);
  m_stream.complete(slot);
}

void EmulatedDevice::producerLoop() {
  using Clock = std::chrono::steady_clock;
  const double lineHz = EmulationRegistry::instance().line1Hz();
  const double freeRunHz = m_state->description().freeRunHz;
  double currentHz = 0;
  bool hasDeadline = false;
  Clock::time_point deadline;
  std::unique_lock<std::mutex> lock(m_wakeMutex);
  while (!m_stopProducer) {
    m_changed = false;
    lock.unlock();
    EmulatedCamera::State::Trigger trigger = EmulatedCamera::State::Trigger::None;
    if (!m_removed.load()) {
      trigger = m_state->triggerConfiguration();
    }
    double hz = 0;
    if (trigger == EmulatedCamera::State::Trigger::FreeRun) {
      hz = freeRunHz;
    } else if (trigger == EmulatedCamera::State::Trigger::Line1) {
      hz = lineHz;
    }
    lock.lock();
    if (m_stopProducer) {
      break;
    }
    const auto period =
        std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(hz > 0 ? 1.0 / hz : 1.0));
    if (hz != currentHz) {
      currentHz = hz;
      hasDeadline = hz > 0;
      deadline = Clock::now() + period;
    }
    const auto woken = [this] { return m_stopProducer || m_changed; };
    if (!hasDeadline) {
      m_wakeUp.wait(lock, woken);
      continue;
    }
    if (m_wakeUp.wait_until(lock, deadline, woken)) {
      continue;  // stop, or a node changed: look again, keeping the deadline
    }
    lock.unlock();
    if (trigger == EmulatedCamera::State::Trigger::FreeRun) {
      if (m_state->triggerConfiguration() == EmulatedCamera::State::Trigger::FreeRun) {
        produce();
      }
    } else {
      onLine1Pulse();
    }
    lock.lock();
    deadline += period;
    const auto now = Clock::now();
    if (deadline < now) {
      deadline = now + period;  // fell behind: no burst of catch-up frames
    }
  }
}

}  // namespace Zazod::Emulation
