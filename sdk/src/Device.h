// Pylon::Internal::Device: the SDK's internal device interface, behind every IPylonDevice a
// transport creates. The instant camera drives a device only through it: open and close, the node
// map, streaming into a fixed pool of result slots, waiting for completed results, trigger
// readiness and software triggers. Before every operation that reaches the device the camera calls
// beforeOperation, where a backend may journal the call or raise an injected fault.
#pragma once

#include <cstddef>

#include "ReadyQueue.h"
#include "ResultSlot.h"
#include "genapi/INodeMap.h"
#include "pylon/PylonDevice.h"

namespace Pylon::Internal {

class Device : public IPylonDevice {
 public:
  using WaitStatus = ReadyQueue::Status;
  static constexpr unsigned int kInfinite = ReadyQueue::kInfinite;

  ~Device() override;

  // Called before every operation the camera forwards (names as "Open", "StartGrabbing", ...).
  virtual void beforeOperation(const char* operation);

  virtual void open() = 0;
  virtual void close() = 0;
  virtual bool isOpen() const = 0;
  virtual GenApi::INodeMap& nodeMap() = 0;

  // Starts streaming into a pool of buffers (the count is a request; a backend may use its own).
  virtual void startStreaming(size_t bufferCount) = 0;
  // Stops producing and joins any producer thread; queued results are dropped.
  virtual void stopStreaming() = 0;
  virtual bool isStreaming() const = 0;
  // The next completed result; the caller takes over the slot's reference.
  virtual WaitStatus waitForResult(unsigned int timeoutMs, ResultSlot*& slot) = 0;
  // Makes a waiter return Cancelled (until the next start).
  virtual void cancelWait() = 0;

  virtual bool canWaitForFrameTriggerReady() const = 0;
  virtual bool waitForFrameTriggerReady(unsigned int timeoutMs) = 0;
  virtual void executeSoftwareTrigger() = 0;

  // True once the device is gone (cable pulled); most operations then fail.
  virtual bool isRemoved() const = 0;
};

}  // namespace Pylon::Internal
