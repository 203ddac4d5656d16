// SignalSink: a host frame sink that does what a host's sink minimally does: reads the four frame
// fields of the camera object, then notes the frame's arrival in a FrameSignal.
#pragma once

#include <ICameraFrameSink.h>

#include <cstdint>

#include "FrameSignal.h"

class SignalSink : public ICameraFrameSink {
 public:
  void OnCameraEvent(ICameraObject* /*camera*/, int /*event*/) override {}
  void OnCameraError(ICameraObject* /*camera*/, int /*code*/) override {}
  void OnFrameReady(ICameraObject* camera) override;

  const FrameSignal& signal() const { return m_signal; }
  // Sum of the fields read so far, so the reads cannot be dropped.
  uint64_t checksum() const { return m_checksum; }

 private:
  FrameSignal m_signal;
  uint64_t m_checksum = 0;
};
