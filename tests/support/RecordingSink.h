// RecordingSink: a host frame sink for tests. It records, for every OnFrameReady call, the frame
// fields the camera object holds at that moment, and lets a test wait for a number of frames.
#pragma once

#include <ICameraFrameSink.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

struct RecordedFrame {
  ICameraObject* camera;
  void* buffer;
  uint32_t width;
  uint32_t height;
  uint32_t imageNumber;
  uint8_t firstPixel;
};

class RecordingSink : public ICameraFrameSink {
 public:
  void OnCameraEvent(ICameraObject* /*camera*/, int /*event*/) override {}
  void OnCameraError(ICameraObject* /*camera*/, int /*code*/) override {}
  void OnFrameReady(ICameraObject* camera) override;

  // Runs on the grab thread for each frame, after its fields are read and before it is counted.
  void setAction(std::function<void(ICameraObject*)> action);

  std::vector<RecordedFrame> frames() const;
  size_t count() const;
  bool waitForFrames(size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(5)) const;

 private:
  mutable std::mutex m_mutex;
  mutable std::condition_variable m_changed;
  std::vector<RecordedFrame> m_frames;
  std::function<void(ICameraObject*)> m_action;
};
