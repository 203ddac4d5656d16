// Frame arrival notes and the wait for them.
#include "FrameSignal.h"

void FrameSignal::arrived() {
  const Clock::time_point now = Clock::now();
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_count;
    m_lastArrival = now;
  }
  m_changed.notify_all();
}

uint64_t FrameSignal::count() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_count;
}

bool FrameSignal::waitBeyond(uint64_t seen, std::chrono::milliseconds timeout) const {
  std::unique_lock<std::mutex> lock(m_mutex);
  return m_changed.wait_for(lock, timeout, [&] { return m_count > seen; });
}

FrameSignal::Clock::time_point FrameSignal::lastArrival() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_lastArrival;
}
