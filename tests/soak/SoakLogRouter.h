// SoakLogRouter: hands the failed grabs and skipped images that the module logs to the collector of
// the camera whose grab thread logged them. The module's failed-grab line names no camera, but it
// is written on that camera's grab thread, the same thread that delivers its frames: each frame
// binds its thread to its collector. A failed grab on a thread that has delivered no frame yet is
// counted apart.
#pragma once

#include <atomic>
#include <cstdint>

#include "FrameCollector.h"
#include "LogCapture.h"

class SoakLogRouter : public LogObserver {
 public:
  // Called on a grab thread for each of its frames.
  static void bindThread(FrameCollector* collector);

  void onFailedGrab() override;
  void onSkippedImages(uint64_t count) override;

  uint64_t unattributedFailed() const { return m_unattributedFailed.load(); }
  uint64_t unattributedSkipped() const { return m_unattributedSkipped.load(); }

 private:
  std::atomic<uint64_t> m_unattributedFailed{0};
  std::atomic<uint64_t> m_unattributedSkipped{0};
};
