// A minimal camera module for the ABI check's own test: the two exports over a camera class that
// does nothing. Built once against the host interface as it is and once against each deliberately
// altered copy, so the test can show that the check reports what a host would trip over.
#include <CameraInterface.h>

#include "BareCamera.h"

extern "C" {

__attribute__((visibility("default"))) ICameraObject* Camera_Create(CameraConfig* config,
                                                                    ICameraFrameSink* sink) {
  return new BareCamera(config, sink);
}

__attribute__((visibility("default"))) void Camera_Delete(ICameraObject* camera) { delete camera; }
}
