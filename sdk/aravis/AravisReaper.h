// Zazod::Aravis::AravisReaper: releases the Aravis objects of a lost device away from the caller.
// Aravis does not know that a device is gone: releasing its stream and device still writes to the
// device's registers, each write waiting for Aravis's full timeout (seconds). Handed here, that
// happens on one process-wide thread, in the order handed over, and closing a lost camera returns
// at once. The thread is started on first use and joined when the library is unloaded.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace Zazod::Aravis {

class AravisReaper {
 public:
  static AravisReaper& instance();
  ~AravisReaper();
  AravisReaper(const AravisReaper&) = delete;
  AravisReaper& operator=(const AravisReaper&) = delete;

  void release(std::function<void()> work);
  // Waits until everything handed over so far has been released.
  void drain();

 private:
  AravisReaper() = default;
  void run();

  std::mutex m_mutex;
  std::condition_variable m_changed;
  std::deque<std::function<void()>> m_work;
  bool m_busy = false;
  bool m_stopping = false;
  std::thread m_thread;
};

}  // namespace Zazod::Aravis
