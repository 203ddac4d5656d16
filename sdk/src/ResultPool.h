// Pylon::Internal::ResultPool: the fixed set of result slots a device grabs into, allocated once
// when streaming starts. A slot is free, queued or held by a CGrabResultPtr; released slots come
// back here. The pool counts itself as referenced by its owner and by every slot out of it, so a
// grab result kept after its device is gone stays valid, and the pool dies with the last of them.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <vector>

#include "ResultFaults.h"
#include "ResultSlot.h"

namespace Pylon::Internal {

class ResultPool {
 public:
  // Creates a pool with one reference, the creator's; give it up with release().
  static ResultPool* create(size_t slotCount, size_t bufferSize, std::shared_ptr<const ResultFaults> faults);
  ResultPool(const ResultPool&) = delete;
  ResultPool& operator=(const ResultPool&) = delete;

  void retain() { m_refs.fetch_add(1, std::memory_order_relaxed); }
  void release() { dropReference(); }

  // A free slot holding one reference, or null when every slot is in use.
  ResultSlot* take();
  // Waits up to timeoutMs for a free slot; true when one is free.
  bool waitForFree(unsigned int timeoutMs);
  size_t freeCount() const;
  size_t size() const { return m_slots.size(); }

 private:
  friend class ResultSlot;
  ResultPool(size_t slotCount, size_t bufferSize, std::shared_ptr<const ResultFaults> faults);
  ~ResultPool() = default;

  void giveBack(ResultSlot* slot);
  void dropReference();

  std::shared_ptr<const ResultFaults> m_faults;
  std::vector<std::unique_ptr<ResultSlot>> m_slots;
  mutable std::mutex m_mutex;
  std::condition_variable m_freed;
  std::vector<ResultSlot*> m_free;  // capacity reserved for every slot: pushing never allocates
  std::atomic<size_t> m_refs{1};
};

}  // namespace Pylon::Internal
