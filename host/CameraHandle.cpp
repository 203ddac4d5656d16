#include "CameraHandle.h"

CameraHandle::CameraHandle(const ModuleLoader& loader, CameraConfig* config, ICameraFrameSink* sink)
    : m_loader(loader), m_camera(loader.create(config, sink)) {}

CameraHandle::~CameraHandle() { reset(); }

void CameraHandle::reset() {
  if (m_camera != nullptr) {
    ICameraObject* camera = m_camera;
    m_camera = nullptr;
    m_loader.destroy(camera);
  }
}
