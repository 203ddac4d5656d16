#include "FrameCollector.h"

FrameCollector::FrameCollector(uint64_t keepEvery, uint64_t keepLimit)
    : m_keepEvery(keepEvery), m_keepLimit(keepLimit) {}

void FrameCollector::OnCameraEvent(ICameraObject* /*camera*/, int /*event*/) {}

void FrameCollector::OnCameraError(ICameraObject* /*camera*/, int /*code*/) {}

void FrameCollector::OnFrameReady(ICameraObject* camera) {
  const Clock::time_point now = Clock::now();
  const void* buffer = camera->m_frameBuffer.load();
  const uint32_t width = camera->m_width.load();
  const uint32_t height = camera->m_height.load();
  const uint32_t imageNumber = camera->m_imageNumber.load();
  // The host asks for 8-bit grey (CameraConfig::imageFormat 1); other pixel sizes are not drawn.
  const bool readable = buffer != nullptr && width > 0 && height > 0 && camera->m_bitsPerPixel == 8;

  uint64_t ordinal = 0;
  bool keep = false;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    ordinal = m_counts.delivered;
    keep = readable && m_keepEvery > 0 && ordinal < m_keepLimit && ordinal % m_keepEvery == 0;
  }
  QImage copy;
  if (keep) {
    // Copied outside the lock: the waiting thread is not held up by the pixels.
    copy = QImage(static_cast<const uchar*>(buffer), static_cast<int>(width), static_cast<int>(height),
                  static_cast<int>(width), QImage::Format_Grayscale8)
               .copy();
  }
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_counts.delivered;
    if (!readable) {
      ++m_counts.unreadable;
    }
    m_counts.lastFrame = now;
    m_counts.width = width;
    m_counts.height = height;
    if (keep) {
      m_kept.push_back(KeptFrame{ordinal, imageNumber, std::move(copy)});
    }
    answerSnap(now, true);
  }
  m_changed.notify_all();
}

void FrameCollector::onFailedGrab() {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_counts.failed;
    answerSnap(Clock::now(), false);
  }
  m_changed.notify_all();
}

void FrameCollector::onSkippedImages(uint64_t count) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_counts.skipped += count;
}

void FrameCollector::snapFired(Clock::time_point when) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_pendingSnaps.push_back(when);
}

void FrameCollector::snapWithdrawn() {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (!m_pendingSnaps.empty()) {
    m_pendingSnaps.pop_back();
  }
}

void FrameCollector::answerSnap(Clock::time_point now, bool delivered) {
  if (m_pendingSnaps.empty()) {
    return;  // a frame of the camera's own trigger
  }
  const Clock::time_point fired = m_pendingSnaps.front();
  m_pendingSnaps.pop_front();
  if (delivered) {
    m_latenciesMs.push_back(std::chrono::duration<double, std::milli>(now - fired).count());
  }
}

FrameCollector::Counts FrameCollector::counts() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_counts;
}

uint64_t FrameCollector::outcomes() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_counts.delivered + m_counts.failed;
}

bool FrameCollector::waitForMoreThan(uint64_t seen, Clock::time_point deadline) {
  std::unique_lock<std::mutex> lock(m_mutex);
  return m_changed.wait_until(lock, deadline, [&] { return m_counts.delivered + m_counts.failed > seen; });
}

std::vector<KeptFrame> FrameCollector::takeKept() {
  std::lock_guard<std::mutex> lock(m_mutex);
  std::vector<KeptFrame> taken;
  taken.swap(m_kept);
  return taken;
}

std::vector<double> FrameCollector::latenciesMs() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_latenciesMs;
}
