// ViewSink: the frame sink of the live view. On the grab thread it counts each frame, pairs it
// with the oldest snap still waiting for one (snap-to-frame latency), keeps the times of the recent
// frames for the frame rate, and offers the frame to the display slot, all without waiting for a
// viewer. Failed grabs and skipped images reach it from the log capture. A snap that no frame
// answers within the answer window is counted as a trigger without a frame and no longer waits, so
// one lost trigger does not shift the pairing of every later one.
#pragma once

#include <CameraInterface.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

#include "DisplaySlot.h"
#include "LatencyStats.h"
#include "LogCapture.h"

class ViewSink : public ICameraFrameSink, public LogObserver {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr size_t kLatencyWindow = 1000;  // latencies over the last this many snapped frames
  static constexpr std::chrono::milliseconds kAnswerWindow{2000};

  struct Figures {
    uint64_t snapped = 0;     // snaps the module accepted
    uint64_t refused = 0;     // snaps the module refused
    uint64_t delivered = 0;   // frames that reached OnFrameReady
    uint64_t failed = 0;      // failed grabs the module logged
    uint64_t skipped = 0;     // images the module logged as skipped
    uint64_t unanswered = 0;  // snaps no frame or failed grab answered within the answer window
    uint64_t waiting = 0;     // snaps still waiting for their frame
    uint64_t copied = 0;      // frames copied for display
    double framesPerSecond = 0;
    LatencyStats latency;  // over the last kLatencyWindow frames that answered a snap
    uint32_t imageNumber = 0;
    uint32_t width = 0;
    uint32_t height = 0;
  };

  explicit ViewSink(DisplaySlot& slot);

  void OnCameraEvent(ICameraObject* camera, int event) override;
  void OnCameraError(ICameraObject* camera, int code) override;
  void OnFrameReady(ICameraObject* camera) override;
  void onFailedGrab() override;
  void onSkippedImages(uint64_t count) override;

  // Around each ISnapCamera: fired before the call, then accepted or refused with its result.
  void snapFired(Clock::time_point when);
  void snapAnswered(bool accepted);
  // The camera closed: no waiting snap will be answered any more.
  void forgetWaitingSnaps();

  // The frame as the grab thread reports it; OnFrameReady reads the camera's fields into it.
  void frameArrived(const void* buffer, uint32_t width, uint32_t height, int32_t bitsPerPixel,
                    uint32_t imageNumber, Clock::time_point now);
  Figures figures(Clock::time_point now);

 private:
  void expireSnaps(Clock::time_point now);
  void answerSnap(Clock::time_point now, bool delivered);

  DisplaySlot& m_slot;
  mutable std::mutex m_mutex;
  Figures m_figures;
  std::deque<Clock::time_point> m_waitingSnaps;
  std::array<double, kLatencyWindow> m_latencies{};
  size_t m_latencyCount = 0;  // of all time; the window holds the last kLatencyWindow
  static constexpr size_t kRateFrames = 64;
  std::array<Clock::time_point, kRateFrames> m_frameTimes{};
  uint64_t m_frameTimeCount = 0;
};
