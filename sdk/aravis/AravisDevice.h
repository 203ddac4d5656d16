// Zazod::Aravis::AravisDevice: a real GenICam camera (GigE Vision or USB3 Vision) driven through
// Aravis, behind the SDK's internal device interface.
//
// Opening connects to the address the transport listed (never by name), checks that this client
// holds control of the device (AccessException otherwise), switches on Aravis's access and range
// checks and, for GigE Vision, chooses the way its stream receives (StreamPath: the packet socket
// where permitted). Streaming receives straight into the pixel buffers of a fixed pool of result slots:
// each slot's buffer is wrapped once in an ArvBuffer when streaming starts, a slot released by its
// consumer goes back to Aravis on the next wait, and nothing is allocated per frame. The waiter pops
// Aravis's completed buffers itself (no Aravis callback runs our code, so a handler may stop
// grabbing from anywhere). Trigger readiness comes from the count of software triggers whose frame
// has not arrived yet. A lost device (Aravis's control-lost signal, or the first timeout) makes
// waits return Removed and every device access fail at once; teardown then skips the device.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "AravisDescriptor.h"
#include "AravisLink.h"
#include "AravisNodeMap.h"
#include "Device.h"
#include "Stream.h"
#include "StreamPath.h"
#include "pylon/DeviceInfo.h"

typedef struct _ArvDevice ArvDevice;
typedef struct _ArvStream ArvStream;
typedef struct _ArvBuffer ArvBuffer;

namespace Zazod::Aravis {

class AravisDevice : public Pylon::Internal::Device {
 public:
  explicit AravisDevice(std::shared_ptr<const AravisDescriptor> descriptor);
  ~AravisDevice() override;

  const Pylon::CDeviceInfo& GetDeviceInfo() const override { return m_info; }

  void open() override;
  void close() override;
  bool isOpen() const override { return m_open.load(); }
  GenApi::INodeMap& nodeMap() override;

  void startStreaming(size_t bufferCount) override;
  void stopStreaming() override;
  bool isStreaming() const override { return m_streaming.load(); }
  WaitStatus waitForResult(unsigned int timeoutMs, Pylon::Internal::ResultSlot*& slot) override;
  void cancelWait() override;

  bool canWaitForFrameTriggerReady() const override { return m_open.load(); }
  bool waitForFrameTriggerReady(unsigned int timeoutMs) override;
  void executeSoftwareTrigger() override;
  bool isRemoved() const override { return m_link->lost(); }

 private:
  struct Buffer {
    Pylon::Internal::ResultSlot* slot;
    ArvBuffer* buffer;
    bool queued;  // handed to Aravis (which then owns the ArvBuffer and we keep the slot's reference)
  };

  ArvDevice* connect(const std::string& operation);
  // With the waiter's and the link's locks held: creates the stream, hands it the buffers and
  // starts acquisition; a failure of AcquisitionStart is left in `acquisitionError`.
  void startStreamingLocked(size_t bufferCount, GError*& acquisitionError);
  void stopStreamingLocked();
  void requeueFreeSlots();
  void fill(Buffer& entry);
  void frameArrived();

  std::shared_ptr<const AravisDescriptor> m_descriptor;
  Pylon::CDeviceInfo m_info;
  std::shared_ptr<AravisLink> m_link;

  std::mutex m_controlMutex;  // open, close, start and stop
  ArvDevice* m_device = nullptr;
  unsigned long m_lostHandler = 0;
  std::unique_ptr<AravisNodeMap> m_nodeMap;
  StreamPath::Way m_streamWay = StreamPath::Way::SocketBySetting;  // chosen at each open
  std::atomic<bool> m_open{false};

  std::mutex m_waitMutex;  // held by the waiter; stopping waits for it to leave
  ArvStream* m_stream = nullptr;
  Pylon::Internal::Stream m_pool;
  std::vector<Buffer> m_buffers;
  std::atomic<bool> m_streaming{false};
  std::atomic<bool> m_cancelled{false};

  std::mutex m_triggerMutex;
  std::condition_variable m_triggerChanged;
  uint64_t m_outstandingTriggers = 0;
};

}  // namespace Zazod::Aravis
