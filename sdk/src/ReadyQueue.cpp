// Pylon::Internal::ReadyQueue: the ring of completed results and its waiting.
#include "ReadyQueue.h"

#include <chrono>

namespace Pylon::Internal {

ReadyQueue::ReadyQueue(size_t capacity) : m_ring(capacity, nullptr) {}

void ReadyQueue::reset(size_t capacity) {
  clear();
  std::lock_guard<std::mutex> lock(m_mutex);
  m_ring.assign(capacity, nullptr);
  m_head = 0;
  m_count = 0;
  m_cancelled = false;
}

bool ReadyQueue::push(ResultSlot* slot) {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_count == m_ring.size()) {
      return false;
    }
    m_ring[(m_head + m_count) % m_ring.size()] = slot;
    ++m_count;
  }
  m_changed.notify_all();
  return true;
}

ReadyQueue::Status ReadyQueue::wait(unsigned int timeoutMs, ResultSlot*& slot) {
  slot = nullptr;
  std::unique_lock<std::mutex> lock(m_mutex);
  const auto ready = [this] { return m_cancelled || m_removed || m_count > 0; };
  if (timeoutMs == kInfinite) {
    m_changed.wait(lock, ready);
  } else if (!m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready)) {
    return Status::Timeout;
  }
  if (m_removed) {
    return Status::Removed;
  }
  if (m_cancelled) {
    return Status::Cancelled;
  }
  slot = m_ring[m_head];
  m_ring[m_head] = nullptr;
  m_head = (m_head + 1) % m_ring.size();
  --m_count;
  return Status::Result;
}

void ReadyQueue::cancel() {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_cancelled = true;
  }
  m_changed.notify_all();
}

void ReadyQueue::markRemoved() {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_removed = true;
  }
  m_changed.notify_all();
}

void ReadyQueue::clear() {
  std::vector<ResultSlot*> queued;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    for (size_t i = 0; i < m_count; ++i) {
      ResultSlot*& entry = m_ring[(m_head + i) % m_ring.size()];
      queued.push_back(entry);
      entry = nullptr;
    }
    m_head = 0;
    m_count = 0;
  }
  for (ResultSlot* slot : queued) {
    slot->release();
  }
}

}  // namespace Pylon::Internal
