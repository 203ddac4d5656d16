// FrameCollector: the host's frame sink. On the grab thread it counts every frame, takes the time
// from the snap that triggered it, and copies the pixels of the frames the host keeps (the buffer is
// valid only during OnFrameReady). Failed grabs and skipped images, which the module only logs,
// reach it from the log capture. The host's thread waits on it with a timeout.
#pragma once

#include <CameraInterface.h>

#include <QImage>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

#include "LogCapture.h"

struct KeptFrame {
  uint64_t ordinal;      // 0 for the first frame delivered
  uint32_t imageNumber;  // the camera's number of the frame
  QImage image;          // a deep copy of the pixels
};

class FrameCollector : public ICameraFrameSink, public LogObserver {
 public:
  using Clock = std::chrono::steady_clock;

  struct Counts {
    uint64_t delivered = 0;
    uint64_t failed = 0;      // failed grabs the module logged
    uint64_t skipped = 0;     // images the module logged as skipped
    uint64_t unreadable = 0;  // frames with no buffer, no size or a pixel size other than 8 bits
    Clock::time_point lastFrame;
    uint32_t width = 0;  // of the last frame
    uint32_t height = 0;
  };

  // Copies the frames whose ordinal is below `keepLimit` and a multiple of `keepEvery`; with
  // `keepEvery` 0 no frame is copied.
  FrameCollector(uint64_t keepEvery, uint64_t keepLimit);

  void OnCameraEvent(ICameraObject* camera, int event) override;
  void OnCameraError(ICameraObject* camera, int code) override;
  void OnFrameReady(ICameraObject* camera) override;

  void onFailedGrab() override;
  void onSkippedImages(uint64_t count) override;

  // A snap is about to be fired: the next frame or failed grab is its answer. snapWithdrawn()
  // takes it back when the module refuses the snap.
  void snapFired(Clock::time_point when);
  void snapWithdrawn();

  Counts counts() const;
  // Frames delivered plus failed grabs: the triggers that have been answered.
  uint64_t outcomes() const;
  // Waits until more than `seen` triggers have been answered, or until `deadline`.
  bool waitForMoreThan(uint64_t seen, Clock::time_point deadline);
  // The copied frames not taken yet, oldest first.
  std::vector<KeptFrame> takeKept();
  // Snap-to-frame latencies in milliseconds, one per frame that answered a snap.
  std::vector<double> latenciesMs() const;

 private:
  void answerSnap(Clock::time_point now, bool delivered);

  const uint64_t m_keepEvery;
  const uint64_t m_keepLimit;
  mutable std::mutex m_mutex;
  std::condition_variable m_changed;
  Counts m_counts;
  std::deque<Clock::time_point> m_pendingSnaps;
  std::vector<double> m_latenciesMs;
  std::vector<KeptFrame> m_kept;
};
