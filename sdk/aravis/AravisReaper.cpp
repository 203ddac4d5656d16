// Zazod::Aravis::AravisReaper: the release thread and its queue.
#include "AravisReaper.h"

namespace Zazod::Aravis {

AravisReaper& AravisReaper::instance() {
  static AravisReaper reaper;
  return reaper;
}

AravisReaper::~AravisReaper() {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_stopping = true;
  }
  m_changed.notify_all();
  if (m_thread.joinable()) {
    m_thread.join();
  }
}

void AravisReaper::release(std::function<void()> work) {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_work.push_back(std::move(work));
    if (!m_thread.joinable()) {
      m_thread = std::thread(&AravisReaper::run, this);
    }
  }
  m_changed.notify_all();
}

void AravisReaper::drain() {
  std::unique_lock<std::mutex> lock(m_mutex);
  m_changed.wait(lock, [this] { return m_work.empty() && !m_busy; });
}

void AravisReaper::run() {
  std::unique_lock<std::mutex> lock(m_mutex);
  for (;;) {
    m_changed.wait(lock, [this] { return m_stopping || !m_work.empty(); });
    if (m_work.empty()) {
      return;  // stopping, and everything released
    }
    std::function<void()> work = std::move(m_work.front());
    m_work.pop_front();
    m_busy = true;
    lock.unlock();
    work();
    lock.lock();
    m_busy = false;
    m_changed.notify_all();
  }
}

}  // namespace Zazod::Aravis
