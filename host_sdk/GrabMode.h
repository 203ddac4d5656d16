// GrabMode: the codes a host stores in m_requestedGrabMode and a camera module keeps in
// m_activeGrabMode. Any other value may be stored; only 1 to 3 configure a camera.
#pragma once

#include <cstdint>

enum GrabMode : int32_t {
  GrabMode_None = 0,                    // nothing configured
  GrabMode_HardwareTrigger = 1,         // frames triggered by the camera's input line "Line1"
  GrabMode_SoftwareTrigger = 2,         // frames triggered by the host's snaps
  GrabMode_SoftwareTriggerCounted = 3,  // as 2, snaps admitted while m_imageNumber < m_frameLimit
  GrabMode_SwitchedToSoftware = 4       // a mode-1 camera that a snap switched to software trigger
};
