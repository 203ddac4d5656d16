// A camera object of the loaded module over one emulated camera.
#include "ModuleCamera.h"

#include "LoadedPlugin.h"

ModuleCamera::ModuleCamera(const std::string& serialNumber) {
  m_config.cameraKey = QString::fromStdString("basler " + serialNumber);
  m_config.imageFormat = 1;
  m_camera = LoadedPlugin::instance().create(&m_config, &m_sink);
}

ModuleCamera::~ModuleCamera() {
  if (m_camera != nullptr) {
    m_camera->IStopCamera();
    m_camera->ICloseCamera();
    LoadedPlugin::instance().destroy(m_camera);
  }
}

bool ModuleCamera::start() {
  if (m_camera == nullptr || m_camera->IOpenCamera() != 1) {
    return false;
  }
  m_camera->m_requestedGrabMode = GrabMode_SoftwareTrigger;
  return m_camera->IStartCamera() == 1;
}

bool ModuleCamera::snap() { return m_camera->ISnapCamera(0) == 1; }
