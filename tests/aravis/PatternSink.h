// PatternSink: a host frame sink that looks at every frame's pixels while they are valid (inside
// OnFrameReady) and compares them with the fake camera's test pattern. Without a pattern it only
// counts; told to learn, it takes the pattern from its first frame and checks the later ones. It
// counts frames, frames that match the pattern at no shift, and frames whose shift did not move on
// from the frame before (a frame delivered twice, or a stale buffer), and keeps the shifts.
#pragma once

#include <ICameraFrameSink.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

#include "TestPattern.h"

class PatternSink : public ICameraFrameSink {
 public:
  struct Tally {
    size_t frames = 0;
    size_t mismatched = 0;    // equal to the pattern at no shift
    size_t notAdvancing = 0;  // same shift as the frame before
    size_t wrongSize = 0;     // not the width and height expected
    std::vector<int> phases;  // per checked frame; -1 for a mismatch
  };

  void OnCameraEvent(ICameraObject* /*camera*/, int /*event*/) override {}
  void OnCameraError(ICameraObject* /*camera*/, int /*code*/) override {}
  void OnFrameReady(ICameraObject* camera) override;

  // Frames from now on are compared with `pattern` (null: only counted) and tallied afresh. With
  // `learnFirst`, the next frame teaches the pattern instead, and a frame that cannot counts as a
  // mismatch.
  void check(TestPattern* pattern, bool learnFirst, uint32_t width, uint32_t height);

  size_t count() const;
  Tally tally() const;
  bool waitForFrames(size_t count, std::chrono::milliseconds timeout) const;

 private:
  mutable std::mutex m_mutex;
  mutable std::condition_variable m_changed;
  TestPattern* m_pattern = nullptr;
  bool m_learnNext = false;
  uint32_t m_width = 0;
  uint32_t m_height = 0;
  int m_lastPhase = -1;
  Tally m_tally;
};
