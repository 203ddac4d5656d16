// BenchCamera: one emulated camera, grabbing in software-trigger mode, as the benchmarks drive it:
// snap, then wait on its FrameSignal for the frame. Implemented through the loaded module
// (ModuleCamera) and through the SDK layer alone (SdkCamera).
#pragma once

#include "FrameSignal.h"

class BenchCamera {
 public:
  virtual ~BenchCamera() = default;
  // Fires one software trigger; false if it was refused.
  virtual bool snap() = 0;
  virtual const FrameSignal& signal() const = 0;
};
