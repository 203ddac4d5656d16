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
  std::function<void(ICameraObject*)> action;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    action = m_action;
  }
  // Before the frame is counted: a test that waits for the frame sees what its action did.
  if (action) {
    action(camera);
  }
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_frames.push_back(frame);
  }
  m_changed.notify_all();
}

void RecordingSink::setAction(std::function<void(ICameraObject*)> action) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_action = std::move(action);
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
