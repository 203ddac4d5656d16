// The module's two exports: creating and deleting Basler camera objects for the host.
#include <CameraInterface.h>

#include "CameraBasler.h"

extern "C" {

__attribute__((visibility("default"))) ICameraObject* Camera_Create(CameraConfig* config,
                                                                    ICameraFrameSink* sink) {
  return new CCameraBasler(config, sink);
}

__attribute__((visibility("default"))) void Camera_Delete(ICameraObject* camera) { delete camera; }
}
