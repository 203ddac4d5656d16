// LoadedModule: the camera module loaded as a host loads it (dlopen, the two exports), once per
// test process, and the camera objects it hands out.
#pragma once

#include <CameraInterface.h>

class LoadedModule {
 public:
  static LoadedModule& instance();

  bool loaded() const { return m_create != nullptr && m_destroy != nullptr; }
  const char* error() const { return m_error; }
  ICameraObject* create(CameraConfig* config, ICameraFrameSink* sink) const { return m_create(config, sink); }
  void destroy(ICameraObject* camera) const { m_destroy(camera); }

 private:
  LoadedModule();

  void* m_handle = nullptr;
  const char* m_error = nullptr;
  CameraCreateFunction m_create = nullptr;
  CameraDeleteFunction m_destroy = nullptr;
};
