// Pylon::Internal::ResultPool: taking and returning pooled result slots.
#include "ResultPool.h"

#include <chrono>

namespace Pylon::Internal {

ResultPool* ResultPool::create(size_t slotCount, size_t bufferSize,
                               std::shared_ptr<const ResultFaults> faults) {
  return new ResultPool(slotCount, bufferSize, std::move(faults));
}

ResultPool::ResultPool(size_t slotCount, size_t bufferSize, std::shared_ptr<const ResultFaults> faults)
    : m_faults(std::move(faults)) {
  m_slots.reserve(slotCount);
  m_free.reserve(slotCount);
  for (size_t i = 0; i < slotCount; ++i) {
    m_slots.push_back(std::make_unique<ResultSlot>(this, bufferSize, m_faults.get()));
  }
  // Handed out from the back: the first slot first.
  for (size_t i = slotCount; i > 0; --i) {
    m_free.push_back(m_slots[i - 1].get());
  }
}

ResultSlot* ResultPool::take() {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (m_free.empty()) {
    return nullptr;
  }
  ResultSlot* slot = m_free.back();
  m_free.pop_back();
  slot->m_refs.store(1, std::memory_order_relaxed);
  m_refs.fetch_add(1, std::memory_order_relaxed);
  return slot;
}

bool ResultPool::waitForFree(unsigned int timeoutMs) {
  std::unique_lock<std::mutex> lock(m_mutex);
  return m_freed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return !m_free.empty(); });
}

size_t ResultPool::freeCount() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_free.size();
}

void ResultPool::giveBack(ResultSlot* slot) {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_free.push_back(slot);
  }
  m_freed.notify_all();
  dropReference();
}

void ResultPool::dropReference() {
  if (m_refs.fetch_sub(1, std::memory_order_acq_rel) == 1) {
    delete this;
  }
}

}  // namespace Pylon::Internal
