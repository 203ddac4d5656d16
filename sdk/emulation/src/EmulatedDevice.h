// Zazod::Emulation::EmulatedDevice: a device created for an emulated camera, behind the SDK's
// internal device interface. Frames are Mono8 with a pattern that moves from frame to frame, drawn
// into buffers of a fixed pool. A software trigger produces its frame synchronously on the
// triggering thread; free-running frames and the Line1 rate of ZAZOD_SDK_EMULATED_LINE1_HZ come
// from a producer thread that exists while the device streams. A trigger finding no free buffer is
// dropped and counted.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "CameraState.h"
#include "Device.h"
#include "Stream.h"
#include "pylon/DeviceInfo.h"

namespace Zazod::Emulation {

class EmulatedDevice : public Pylon::Internal::Device {
 public:
  explicit EmulatedDevice(std::shared_ptr<EmulatedCamera::State> state);
  ~EmulatedDevice() override;

  const Pylon::CDeviceInfo& GetDeviceInfo() const override { return m_info; }
  void beforeOperation(const char* operation) override;

  void open() override;
  void close() override;
  bool isOpen() const override { return m_open.load(); }
  GenApi::INodeMap& nodeMap() override;

  void startStreaming(size_t bufferCount) override;
  void stopStreaming() override;
  bool isStreaming() const override { return m_streaming.load(); }
  WaitStatus waitForResult(unsigned int timeoutMs, Pylon::Internal::ResultSlot*& slot) override;
  void cancelWait() override { m_stream.cancel(); }

  bool canWaitForFrameTriggerReady() const override;
  bool waitForFrameTriggerReady(unsigned int timeoutMs) override;
  void executeSoftwareTrigger() override;
  bool isRemoved() const override { return m_removed.load(); }

  // Called by the camera state (with its mutex held).
  void onLine1Pulse();
  void onUnplugged();
  void wake();

 private:
  void producerLoop();
  void produce();

  std::shared_ptr<EmulatedCamera::State> m_state;
  Pylon::CDeviceInfo m_info;
  std::atomic<bool> m_open{false};
  std::atomic<bool> m_streaming{false};
  std::atomic<bool> m_removed{false};
  std::atomic<uint64_t> m_frameId{0};
  std::vector<uint8_t> m_ramp;  // 0, 1, ..., 255, 0, 1, ...: one row of a frame is a slice of it
  Pylon::Internal::Stream m_stream;

  std::mutex m_controlMutex;  // serialises start and stop
  std::mutex m_wakeMutex;
  std::condition_variable m_wakeUp;
  bool m_stopProducer = false;
  bool m_changed = false;
  std::thread m_producer;
};

}  // namespace Zazod::Emulation
