#include "ModuleLoader.h"

#include <QFileInfo>

#include "HostError.h"

void ModuleLoader::load(const QString& path) {
  const QFileInfo file(path);
  if (!file.exists()) {
    throw HostError(ExitCode::Module, QStringLiteral("the module %1 does not exist").arg(path));
  }
  if (!file.isFile()) {
    throw HostError(ExitCode::Module, QStringLiteral("the module %1 is not a file").arg(path));
  }
  // An absolute path keeps QLibrary from searching or adding suffixes to the name.
  m_library.setFileName(file.absoluteFilePath());
  if (!m_library.load()) {
    throw HostError(ExitCode::Module,
                    QStringLiteral("cannot load the module %1: %2").arg(path, m_library.errorString()));
  }
  m_create = reinterpret_cast<CameraCreateFunction>(m_library.resolve("Camera_Create"));
  m_delete = reinterpret_cast<CameraDeleteFunction>(m_library.resolve("Camera_Delete"));
  const char* missing = m_create == nullptr   ? "Camera_Create"
                        : m_delete == nullptr ? "Camera_Delete"
                                              : nullptr;
  if (missing != nullptr) {
    throw HostError(ExitCode::Module,
                    QStringLiteral("%1 is not a camera module: it lacks the export %2").arg(path, missing));
  }
}

ICameraObject* ModuleLoader::create(CameraConfig* config, ICameraFrameSink* sink) const {
  ICameraObject* camera = nullptr;
  try {
    camera = m_create(config, sink);
  } catch (const std::exception& e) {
    throw HostError(
        ExitCode::ModuleException,
        QStringLiteral("Camera_Create raised an exception: %1").arg(QString::fromLocal8Bit(e.what())));
  } catch (...) {
    throw HostError(ExitCode::ModuleException, QStringLiteral("Camera_Create raised an exception"));
  }
  if (camera == nullptr) {
    throw HostError(ExitCode::ModuleException, QStringLiteral("Camera_Create returned no camera object"));
  }
  return camera;
}

void ModuleLoader::destroy(ICameraObject* camera) const { m_delete(camera); }
