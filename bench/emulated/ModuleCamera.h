// ModuleCamera: an emulated camera driven through the loaded module as a host drives it:
// Camera_Create with a settings record and a SignalSink, IOpenCamera, software-trigger grab mode,
// IStartCamera, ISnapCamera per frame; stopped, closed and deleted with the object.
#pragma once

#include <CameraInterface.h>

#include <string>

#include "BenchCamera.h"
#include "SignalSink.h"

class ModuleCamera : public BenchCamera {
 public:
  explicit ModuleCamera(const std::string& serialNumber);
  ~ModuleCamera() override;
  ModuleCamera(const ModuleCamera&) = delete;
  ModuleCamera& operator=(const ModuleCamera&) = delete;

  // Opens and starts the camera; false (with the module's log lines as the reason) if it refused.
  bool start();
  bool snap() override;
  const FrameSignal& signal() const override { return m_sink.signal(); }

 private:
  CameraConfig m_config;
  SignalSink m_sink;
  ICameraObject* m_camera = nullptr;
};
