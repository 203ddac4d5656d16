// Loading the module through dlopen. The handle is kept for the life of the process.
#include "LoadedPlugin.h"

#include <dlfcn.h>

LoadedPlugin& LoadedPlugin::instance() {
  static LoadedPlugin plugin;
  return plugin;
}

LoadedPlugin::LoadedPlugin() {
  void* handle = dlopen(ZAZOD_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* reason = dlerror();
    m_error = reason != nullptr ? reason : "dlopen failed";
    return;
  }
  m_create = reinterpret_cast<CameraCreateFunction>(dlsym(handle, "Camera_Create"));
  m_destroy = reinterpret_cast<CameraDeleteFunction>(dlsym(handle, "Camera_Delete"));
  if (!loaded()) {
    m_error = "the module lacks Camera_Create or Camera_Delete";
  }
}
