#include "DisplaySlot.h"

#include <algorithm>
#include <cstring>

namespace {

// A frame may come a little early and still be shown: up to half a frame of credit is kept, and a
// frame whose credit falls short by a rounding's worth (a camera at exactly the display rate) is
// copied all the same.
constexpr double kCreditCap = 1.5;
constexpr double kCreditNeeded = 0.95;

}  // namespace

DisplaySlot::DisplaySlot(double maxPerSecond) : m_maxPerSecond(maxPerSecond) {}

bool DisplaySlot::offer(const void* buffer, uint32_t width, uint32_t height, int32_t bitsPerPixel,
                        uint32_t imageNumber, Clock::time_point now) {
  if (m_lastOffer != Clock::time_point()) {
    const double elapsed = std::chrono::duration<double>(now - m_lastOffer).count();
    m_credit = std::min(kCreditCap, m_credit + std::max(0.0, elapsed) * m_maxPerSecond);
  }
  m_lastOffer = now;
  if (m_credit < kCreditNeeded) {
    return false;
  }
  m_credit -= 1.0;

  m_filling.imageNumber = imageNumber;
  m_filling.width = width;
  m_filling.height = height;
  m_filling.bitsPerPixel = bitsPerPixel;
  m_filling.time = std::chrono::system_clock::now();
  const bool grey8 = buffer != nullptr && bitsPerPixel == 8 && width > 0 && height > 0;
  // resize() keeps the capacity, so once the buffers have the frame's size nothing is allocated.
  m_filling.pixels.resize(grey8 ? static_cast<size_t>(width) * height : 0);
  if (grey8) {
    std::memcpy(m_filling.pixels.data(), buffer, m_filling.pixels.size());
  }
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_readyTaken) {
      ++m_overwritten;
    }
    m_filling.sequence = ++m_sequence;
    std::swap(m_filling, m_ready);
    m_readyTaken = false;
  }
  m_arrived.notify_all();
  return true;
}

bool DisplaySlot::waitNewer(uint64_t after, Clock::time_point deadline) {
  std::unique_lock<std::mutex> lock(m_mutex);
  return m_arrived.wait_until(lock, deadline, [&] { return m_closed || m_sequence > after; }) &&
         m_sequence > after;
}

bool DisplaySlot::take(uint64_t after, DisplayPixels& into) {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (m_readyTaken || m_ready.sequence <= after) {
    return false;
  }
  std::swap(m_ready, into);
  m_readyTaken = true;
  return true;
}

uint64_t DisplaySlot::newest() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_sequence;
}

uint64_t DisplaySlot::overwritten() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_overwritten;
}

void DisplaySlot::close() {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_closed = true;
  }
  m_arrived.notify_all();
}
