#include "ListCommand.h"

#include <CameraInterface.h>

#include <iostream>

#include "CameraHandle.h"
#include "EmulationEnvironment.h"
#include "FrameCollector.h"
#include "HostError.h"
#include "ModuleLoader.h"

QStringList ListCommand::keysOf(ICameraObject* camera) {
  try {
    return camera->IEnumCameras();
  } catch (const std::exception& e) {
    throw HostError(
        ExitCode::ModuleException,
        QStringLiteral("listing the cameras raised an exception: %1").arg(QString::fromLocal8Bit(e.what())));
  } catch (...) {
    throw HostError(ExitCode::ModuleException,
                    QStringLiteral("listing the cameras raised an exception in the module"));
  }
}

int ListCommand::run(const HostOptions& options, LogCapture& log) {
  EmulationEnvironment::apply(options);
  ModuleLoader loader;
  loader.load(options.modulePath);
  const size_t mark = log.size();
  CameraConfig config;
  config.cameraName = QStringLiteral("zazod-host");
  FrameCollector sink(0, 0);
  QStringList keys;
  {
    CameraHandle camera(loader, &config, &sink);
    keys = keysOf(camera.get());
  }
  log.print(std::cerr, mark, options.verbose, "module ");
  if (keys.isEmpty()) {
    std::cout << "no camera present\n";
  }
  for (const QString& key : keys) {
    std::cout << key.toStdString() << '\n';
  }
  return static_cast<int>(ExitCode::Success);
}
