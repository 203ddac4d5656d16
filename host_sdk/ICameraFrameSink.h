// ICameraFrameSink: the host's receiver of frames. A camera module calls OnFrameReady, the third
// operation of its virtual table, once per good frame on the camera SDK's grab thread, after the
// camera object's frame fields hold that frame. The pixel buffer is valid only during that call.
#pragma once

class ICameraObject;

class ICameraFrameSink {
 public:
  virtual void OnCameraEvent(ICameraObject* camera, int event) = 0;
  virtual void OnCameraError(ICameraObject* camera, int code) = 0;
  virtual void OnFrameReady(ICameraObject* camera) = 0;

 protected:
  ~ICameraFrameSink() = default;
};
