// Pylon::Internal::Stream: what every device backend needs to stream: a fixed pool of result
// slots (made at start, given up at stop) and the queue of completed results. The producer takes a
// free slot, fills it and completes it; the consumer waits for it. No allocation per frame.
#pragma once

#include <cstddef>
#include <memory>
#include <mutex>

#include "ReadyQueue.h"
#include "ResultFaults.h"
#include "ResultPool.h"
#include "ResultSlot.h"

namespace Pylon::Internal {

class Stream {
 public:
  using Status = ReadyQueue::Status;

  Stream() = default;
  ~Stream();
  Stream(const Stream&) = delete;
  Stream& operator=(const Stream&) = delete;

  // Throws (PayloadLimit) before anything is allocated when the buffers would be too large.
  void start(size_t slotCount, size_t bufferSize, std::shared_ptr<const ResultFaults> faults);
  // Drops every queued result and gives up the pool (held results stay valid until released).
  void stop();
  bool active() const;

  // A free slot (one reference) or null when none is free or the stream is stopped.
  ResultSlot* take();
  // Hands a filled slot (and its reference) to the consumer.
  void complete(ResultSlot* slot);
  Status wait(unsigned int timeoutMs, ResultSlot*& slot) { return m_queue.wait(timeoutMs, slot); }
  void cancel() { m_queue.cancel(); }
  void markRemoved() { m_queue.markRemoved(); }
  // Waits up to timeoutMs for a free slot.
  bool waitForFree(unsigned int timeoutMs);

 private:
  mutable std::mutex m_mutex;
  ResultPool* m_pool = nullptr;
  ReadyQueue m_queue;
};

}  // namespace Pylon::Internal
