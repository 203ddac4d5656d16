// DisplaySlot: where the grab thread leaves frames for the live view. offer() runs inside
// OnFrameReady: it copies the pixels of at most about `maxPerSecond` frames a second into a buffer
// of its own and swaps it in under a lock held only for the swap, so the grab thread never waits
// for a viewer. take() hands the newest copy to one reader; a copy no reader took before the next
// one came is dropped (counted as overwritten).
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

struct DisplayPixels {
  uint64_t sequence = 0;  // 1 for the first copy; increases by one per copy
  uint32_t imageNumber = 0;
  uint32_t width = 0;
  uint32_t height = 0;
  int32_t bitsPerPixel = 0;
  std::chrono::system_clock::time_point time;
  std::vector<uint8_t> pixels;  // 8-bit grey, row after row; empty for other pixel sizes
};

class DisplaySlot {
 public:
  using Clock = std::chrono::steady_clock;

  explicit DisplaySlot(double maxPerSecond);

  // Grab thread. Copies the frame when the display rate allows it; returns whether it did.
  bool offer(const void* buffer, uint32_t width, uint32_t height, int32_t bitsPerPixel, uint32_t imageNumber,
             Clock::time_point now);

  // Waits until a copy newer than `after` is there, or until `deadline`; true when there is one.
  bool waitNewer(uint64_t after, Clock::time_point deadline);
  // Moves the newest copy into `into` (whose old buffer the slot reuses); false when no copy
  // newer than `after` is waiting.
  bool take(uint64_t after, DisplayPixels& into);
  // The sequence number of the newest copy, 0 before the first.
  uint64_t newest() const;
  uint64_t overwritten() const;
  // Ends every wait at once (the view is going).
  void close();

 private:
  const double m_maxPerSecond;
  // Grab thread only: the rate's credit and the buffer being filled.
  double m_credit = 1.0;
  Clock::time_point m_lastOffer;
  DisplayPixels m_filling;

  mutable std::mutex m_mutex;
  std::condition_variable m_arrived;
  DisplayPixels m_ready;
  bool m_readyTaken = true;
  uint64_t m_sequence = 0;
  uint64_t m_overwritten = 0;
  bool m_closed = false;
};
