// Pylon::Internal::ReadyQueue: completed result slots waiting to be retrieved, in completion order.
// A ring of fixed capacity (the pool size), so queueing never allocates; the waiter can be woken by
// cancel (stop) or by the device's removal. Each queued slot carries the reference the device took.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <vector>

#include "ResultSlot.h"

namespace Pylon::Internal {

class ReadyQueue {
 public:
  enum class Status { Result, Timeout, Cancelled, Removed };
  static constexpr unsigned int kInfinite = 0xFFFFFFFFu;

  explicit ReadyQueue(size_t capacity = 0);
  ReadyQueue(const ReadyQueue&) = delete;
  ReadyQueue& operator=(const ReadyQueue&) = delete;

  // Empties the queue (releasing what it holds), resizes it and clears the cancel flag.
  void reset(size_t capacity);
  // Queues a slot; false (slot not taken) when the queue is full.
  bool push(ResultSlot* slot);
  // Waits for the next slot; the caller takes over its reference.
  Status wait(unsigned int timeoutMs, ResultSlot*& slot);
  // Wakes every waiter: they return Cancelled until reset.
  void cancel();
  // Wakes every waiter: from now on they return Removed at once, before any queued result.
  void markRemoved();
  // Releases every queued slot.
  void clear();

 private:
  std::mutex m_mutex;
  std::condition_variable m_changed;
  std::vector<ResultSlot*> m_ring;
  size_t m_head = 0;
  size_t m_count = 0;
  bool m_cancelled = false;
  bool m_removed = false;
};

}  // namespace Pylon::Internal
