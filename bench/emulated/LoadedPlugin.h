// LoadedPlugin: the camera module loaded the way a host loads it: dlopen of zaZod_190.so and its two
// exports, Camera_Create and Camera_Delete. Loaded once per process.
#pragma once

#include <CameraInterface.h>

#include <string>

class LoadedPlugin {
 public:
  static LoadedPlugin& instance();

  bool loaded() const { return m_create != nullptr && m_destroy != nullptr; }
  const std::string& error() const { return m_error; }
  ICameraObject* create(CameraConfig* config, ICameraFrameSink* sink) const { return m_create(config, sink); }
  void destroy(ICameraObject* camera) const { m_destroy(camera); }

 private:
  LoadedPlugin();

  std::string m_error;
  CameraCreateFunction m_create = nullptr;
  CameraDeleteFunction m_destroy = nullptr;
};
