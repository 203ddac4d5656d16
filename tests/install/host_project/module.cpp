// example-module: a camera module built outside the source tree against the installed interface
// and its default operations (ZazodHost::Interface). Its one camera opens and starts and never
// delivers a frame; the snap precondition and the rest come from the interface's static library.
#include <CameraInterface.h>

namespace {

class ExampleCamera : public ICameraObject {
 public:
  using ICameraObject::ICameraObject;
  int IOpenCamera() override {
    m_isOpened = true;
    return 1;
  }
  void ICloseCamera() override {
    IStopCamera();
    m_isOpened = false;
  }
  int IStartCamera() override {
    if (!m_isOpened) {
      return 0;
    }
    m_isGrabbing = true;
    m_activeGrabMode = m_requestedGrabMode;
    return 1;
  }
  void IStopCamera() override { m_isGrabbing = false; }
  void IAuxCameraOp1() override {}
  void IAuxCameraOp2() override {}
  QStringList IEnumCameras() override { return {QStringLiteral("example 0001")}; }
};

}  // namespace

extern "C" {

__attribute__((visibility("default"))) ICameraObject* Camera_Create(CameraConfig* config,
                                                                    ICameraFrameSink* sink) {
  return new ExampleCamera(config, sink);
}

__attribute__((visibility("default"))) void Camera_Delete(ICameraObject* camera) { delete camera; }
}
