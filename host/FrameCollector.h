// FrameCollector: the host's frame sink. On the grab thread it counts every frame, notes when it
// came, and copies the pixels of the frames the host keeps (the buffer is valid only during
// OnFrameReady). Failed grabs and skipped images, which the module only logs, reach it from the log
// capture. The host's thread notes each snap it fires, waits on the collector with a timeout, and
// at the end pairs the snaps with the answers (SnapPairing).
#pragma once

#include <CameraInterface.h>

#include <QImage>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

#include "LogCapture.h"
#include "SnapPairing.h"

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

  // A snap is about to be fired. snapWithdrawn() takes it back when the module refuses the snap.
  void snapFired(Clock::time_point when);
  void snapWithdrawn();
  // Room for this many snaps and as many answers, so that a long run does not grow its records
  // while frames come.
  void reserve(size_t snaps);

  Counts counts() const;
  // Frames delivered plus failed grabs: the triggers that have been answered.
  uint64_t outcomes() const;
  // Waits until more than `seen` triggers have been answered, or until `deadline`.
  bool waitForMoreThan(uint64_t seen, Clock::time_point deadline);
  // The copied frames not taken yet, oldest first.
  std::vector<KeptFrame> takeKept();
  // The snaps fired so far paired with the answers so far; an answer belongs to a snap at most
  // `timeout` older.
  SnapPairing pairing(Clock::duration timeout) const;
  // When the last snap was fired; the epoch when none was.
  Clock::time_point lastSnap() const;

 private:
  const uint64_t m_keepEvery;
  const uint64_t m_keepLimit;
  mutable std::mutex m_mutex;
  std::condition_variable m_changed;
  Counts m_counts;
  std::vector<Clock::time_point> m_snaps;
  std::vector<SnapPairing::Answer> m_answers;
  std::vector<KeptFrame> m_kept;
};
