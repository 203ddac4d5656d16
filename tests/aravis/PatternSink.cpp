// PatternSink: counting and pattern checking inside the frame callback.
#include "PatternSink.h"

#include <CameraInterface.h>

void PatternSink::OnFrameReady(ICameraObject* camera) {
  const auto* pixels = static_cast<const uint8_t*>(camera->m_frameBuffer.load());
  const uint32_t width = camera->m_width;
  const uint32_t height = camera->m_height;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_tally.frames;
    if (m_pattern != nullptr) {
      if (width != m_width || height != m_height) {
        ++m_tally.wrongSize;
      } else if (m_learnNext) {
        m_learnNext = false;
        if (m_pattern->learn(pixels, width, height)) {
          m_lastPhase = 0;
          m_tally.phases.push_back(0);
        } else {
          ++m_tally.mismatched;
          m_tally.phases.push_back(-1);
        }
      } else {
        const int phase = m_pattern->phaseOf(pixels, width, height);
        m_tally.phases.push_back(phase);
        if (phase < 0) {
          ++m_tally.mismatched;
        } else {
          if (m_lastPhase >= 0 && TestPattern::advance(m_lastPhase, phase) == 0) {
            ++m_tally.notAdvancing;
          }
          m_lastPhase = phase;
        }
      }
    }
  }
  m_changed.notify_all();
}

void PatternSink::check(TestPattern* pattern, bool learnFirst, uint32_t width, uint32_t height) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_pattern = pattern;
  m_learnNext = learnFirst;
  m_width = width;
  m_height = height;
  m_lastPhase = -1;
  m_tally = Tally{};
}

size_t PatternSink::count() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_tally.frames;
}

PatternSink::Tally PatternSink::tally() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_tally;
}

bool PatternSink::waitForFrames(size_t count, std::chrono::milliseconds timeout) const {
  std::unique_lock<std::mutex> lock(m_mutex);
  return m_changed.wait_for(lock, timeout, [&] { return m_tally.frames >= count; });
}
