// Pylon::Internal::Stream: pool and ready queue of one streaming device.
#include "Stream.h"

#include <algorithm>
#include <cstdint>

#include "PayloadLimit.h"

namespace Pylon::Internal {

Stream::~Stream() { stop(); }

void Stream::start(size_t slotCount, size_t bufferSize, std::shared_ptr<const ResultFaults> faults) {
  stop();
  if (slotCount == 0) {
    slotCount = 1;
  }
  PayloadLimit::check("StartGrabbing", static_cast<int64_t>(std::min<size_t>(bufferSize, INT64_MAX)),
                      slotCount);
  ResultPool* pool = ResultPool::create(slotCount, bufferSize, std::move(faults));
  m_queue.reset(slotCount);
  std::lock_guard<std::mutex> lock(m_mutex);
  m_pool = pool;
}

void Stream::stop() {
  ResultPool* pool = nullptr;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    pool = m_pool;
    m_pool = nullptr;
  }
  m_queue.cancel();
  m_queue.clear();
  if (pool != nullptr) {
    pool->release();
  }
}

bool Stream::active() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_pool != nullptr;
}

ResultSlot* Stream::take() {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_pool != nullptr ? m_pool->take() : nullptr;
}

void Stream::complete(ResultSlot* slot) {
  if (!m_queue.push(slot)) {
    slot->release();
  }
}

bool Stream::waitForFree(unsigned int timeoutMs) {
  ResultPool* pool = nullptr;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    pool = m_pool;
    if (pool == nullptr) {
      return false;
    }
    pool->retain();  // alive while waiting without the lock, even if the stream stops meanwhile
  }
  const bool free = pool->waitForFree(timeoutMs);
  pool->release();
  return free;
}

}  // namespace Pylon::Internal
