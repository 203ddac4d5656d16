#include "ViewSink.h"

#include <algorithm>

namespace {

// Frames older than this do not count towards the frame rate.
constexpr std::chrono::seconds kRateSpan{2};

}  // namespace

ViewSink::ViewSink(DisplaySlot& slot) : m_slot(slot) {}

void ViewSink::OnCameraEvent(ICameraObject* /*camera*/, int /*event*/) {}

void ViewSink::OnCameraError(ICameraObject* /*camera*/, int /*code*/) {}

void ViewSink::OnFrameReady(ICameraObject* camera) {
  frameArrived(camera->m_frameBuffer.load(), camera->m_width.load(), camera->m_height.load(),
               camera->m_bitsPerPixel, camera->m_imageNumber.load(), Clock::now());
}

void ViewSink::frameArrived(const void* buffer, uint32_t width, uint32_t height, int32_t bitsPerPixel,
                            uint32_t imageNumber, Clock::time_point now) {
  // The copy happens here, while the buffer is valid; the slot's lock is held only for a swap.
  const bool copied = m_slot.offer(buffer, width, height, bitsPerPixel, imageNumber, now);
  std::lock_guard<std::mutex> lock(m_mutex);
  ++m_figures.delivered;
  if (copied) {
    ++m_figures.copied;
  }
  m_figures.imageNumber = imageNumber;
  m_figures.width = width;
  m_figures.height = height;
  m_frameTimes[m_frameTimeCount % kRateFrames] = now;
  ++m_frameTimeCount;
  answerSnap(now, true);
}

void ViewSink::onFailedGrab() {
  std::lock_guard<std::mutex> lock(m_mutex);
  ++m_figures.failed;
  answerSnap(Clock::now(), false);
}

void ViewSink::onSkippedImages(uint64_t count) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_figures.skipped += count;
}

void ViewSink::snapFired(Clock::time_point when) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_waitingSnaps.push_back(when);
}

void ViewSink::snapAnswered(bool accepted) {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (accepted) {
    ++m_figures.snapped;
    return;
  }
  ++m_figures.refused;
  // A refused snap triggers nothing. Its entry is the newest, unless a frame already took it,
  // which only a frame of the camera's own trigger can have done.
  if (!m_waitingSnaps.empty()) {
    m_waitingSnaps.pop_back();
  }
}

void ViewSink::forgetWaitingSnaps() {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_figures.unanswered += m_waitingSnaps.size();
  m_waitingSnaps.clear();
}

void ViewSink::expireSnaps(Clock::time_point now) {
  while (!m_waitingSnaps.empty() && now - m_waitingSnaps.front() > kAnswerWindow) {
    m_waitingSnaps.pop_front();
    ++m_figures.unanswered;
  }
}

void ViewSink::answerSnap(Clock::time_point now, bool delivered) {
  expireSnaps(now);
  if (m_waitingSnaps.empty()) {
    return;  // a frame of the camera's own trigger
  }
  const Clock::time_point fired = m_waitingSnaps.front();
  m_waitingSnaps.pop_front();
  if (delivered) {
    m_latencies[m_latencyCount % kLatencyWindow] =
        std::chrono::duration<double, std::milli>(now - fired).count();
    ++m_latencyCount;
  }
}

ViewSink::Figures ViewSink::figures(Clock::time_point now) {
  std::lock_guard<std::mutex> lock(m_mutex);
  expireSnaps(now);
  Figures figures = m_figures;
  figures.waiting = m_waitingSnaps.size();
  const size_t latencies = std::min(m_latencyCount, kLatencyWindow);
  figures.latency =
      LatencyStats::of(std::vector<double>(m_latencies.begin(), m_latencies.begin() + latencies));

  // Frames per second over the recent frames: (frames - 1) over the time from the first to now's
  // newest, counting only frames of the last kRateSpan.
  const uint64_t held = std::min<uint64_t>(m_frameTimeCount, kRateFrames);
  if (held >= 2) {
    const Clock::time_point newest = m_frameTimes[(m_frameTimeCount - 1) % kRateFrames];
    uint64_t used = 1;
    Clock::time_point oldest = newest;
    for (uint64_t back = 2; back <= held; ++back) {
      const Clock::time_point time = m_frameTimes[(m_frameTimeCount - back) % kRateFrames];
      if (now - time > kRateSpan) {
        break;
      }
      oldest = time;
      ++used;
    }
    const double span = std::chrono::duration<double>(newest - oldest).count();
    if (used >= 2 && span > 0 && now - newest <= kRateSpan) {
      figures.framesPerSecond = static_cast<double>(used - 1) / span;
    }
  }
  return figures;
}
