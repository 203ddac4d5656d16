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
    m_answers.push_back(SnapPairing::Answer{now, true});
  }
  m_changed.notify_all();
}

void FrameCollector::onFailedGrab() {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_counts.failed;
    m_answers.push_back(SnapPairing::Answer{Clock::now(), false});
  }
  m_changed.notify_all();
}

void FrameCollector::onSkippedImages(uint64_t count) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_counts.skipped += count;
}

void FrameCollector::snapFired(Clock::time_point when) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_snaps.push_back(when);
}

void FrameCollector::snapWithdrawn() {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (!m_snaps.empty()) {
    m_snaps.pop_back();
  }
}

void FrameCollector::reserve(size_t snaps) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_snaps.reserve(snaps);
  m_answers.reserve(snaps);
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

SnapPairing FrameCollector::pairing(Clock::duration timeout) const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return SnapPairing::of(m_snaps, m_answers, timeout);
}

FrameCollector::Clock::time_point FrameCollector::lastSnap() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_snaps.empty() ? Clock::time_point() : m_snaps.back();
}
