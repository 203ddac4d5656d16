// ModuleLoader: loads a camera module at run time and resolves its two exports, Camera_Create and
// Camera_Delete. Camera objects it creates are handed back through destroy(), never deleted here.
#pragma once

#include <CameraInterface.h>

#include <QLibrary>
#include <QString>

class ModuleLoader {
 public:
  ModuleLoader() = default;
  ModuleLoader(const ModuleLoader&) = delete;
  ModuleLoader& operator=(const ModuleLoader&) = delete;

  // Loads the module; throws HostError (ExitCode::Module) when the file is missing, cannot be
  // loaded or lacks one of the exports. The module stays loaded for the rest of the process.
  void load(const QString& path);

  // Camera_Create of the module. An exception the module lets through becomes a HostError
  // (ExitCode::ModuleException).
  ICameraObject* create(CameraConfig* config, ICameraFrameSink* sink) const;
  void destroy(ICameraObject* camera) const;

  QString path() const { return m_library.fileName(); }

 private:
  QLibrary m_library;
  CameraCreateFunction m_create = nullptr;
  CameraDeleteFunction m_delete = nullptr;
};
