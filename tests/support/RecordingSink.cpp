// Recording of frames delivered to the host.
#include "RecordingSink.h"

#include <ICameraObject.h>

void RecordingSink::OnFrameReady(ICameraObject* camera) {
  void* buffer = camera->m_frameBuffer;
  RecordedFrame frame{camera,
                      buffer,
                      camera->m_width,
                      camera->m_height,
                      camera->m_imageNumber,
                      buffer != nullptr ? *static_cast<uint8_t*>(buffer) : uint8_t{0}};
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_frames.push_back(frame);
  }
  if (m_action) {
    m_action(camera);
  }
  m_changed.notify_all();
}

std::vector<RecordedFrame> RecordingSink::frames() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_frames;
}

size_t RecordingSink::count() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_frames.size();
}

bool RecordingSink::waitForFrames(size_t count, std::chrono::milliseconds timeout) const {
  std::unique_lock<std::mutex> lock(m_mutex);
  return m_changed.wait_for(lock, timeout, [&] { return m_frames.size() >= count; });
}
