// LoadedModule: loading the module and looking up its exports.
#include "LoadedModule.h"

#include <dlfcn.h>

LoadedModule& LoadedModule::instance() {
  static LoadedModule module;
  return module;
}

LoadedModule::LoadedModule() : m_handle(dlopen(ZAZOD_MODULE_PATH, RTLD_NOW | RTLD_LOCAL)) {
  if (m_handle == nullptr) {
    m_error = dlerror();
    return;
  }
  m_create = reinterpret_cast<CameraCreateFunction>(dlsym(m_handle, "Camera_Create"));
  m_destroy = reinterpret_cast<CameraDeleteFunction>(dlsym(m_handle, "Camera_Delete"));
}
