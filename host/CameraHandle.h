// CameraHandle: owns one camera object of a loaded module and hands it back to the module's
// Camera_Delete when it goes, which stops and closes the camera first.
#pragma once

#include "ModuleLoader.h"

class CameraHandle {
 public:
  // Camera_Create of the loader's module; see ModuleLoader::create for its failures.
  CameraHandle(const ModuleLoader& loader, CameraConfig* config, ICameraFrameSink* sink);
  ~CameraHandle();
  CameraHandle(const CameraHandle&) = delete;
  CameraHandle& operator=(const CameraHandle&) = delete;

  ICameraObject* operator->() const { return m_camera; }
  ICameraObject* get() const { return m_camera; }
  // Deletes the camera now; afterwards get() is null.
  void reset();

 private:
  const ModuleLoader& m_loader;
  ICameraObject* m_camera;
};
