// FrameSignal: where a frame callback (the host's sink or a bare SDK image handler) notes the
// arrival of each frame, on the grab-loop thread, and where the thread that snapped waits for it.
// The arrival time is taken inside the callback, so the waiter's wake-up is not part of a latency.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

class FrameSignal {
 public:
  using Clock = std::chrono::steady_clock;

  // Called once per delivered frame, on the thread that delivers it.
  void arrived();

  uint64_t count() const;
  // Waits until more than `seen` frames have arrived; false on timeout.
  bool waitBeyond(uint64_t seen, std::chrono::milliseconds timeout) const;
  // Arrival time of the latest frame.
  Clock::time_point lastArrival() const;

 private:
  mutable std::mutex m_mutex;
  mutable std::condition_variable m_changed;
  uint64_t m_count = 0;
  Clock::time_point m_lastArrival;
};
