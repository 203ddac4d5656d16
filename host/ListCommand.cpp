#include "ListCommand.h"

#include <CameraInterface.h>

#include <iostream>

#include "CameraHandle.h"
#include "EmulationEnvironment.h"
#include "FrameCollector.h"
#include "HostError.h"
#include "ModuleLoader.h"
#include "UsbfsMemoryLimit.h"

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
  std::cout.flush();
  const QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  const int usb3Vision = UsbfsMemoryLimit::usb3VisionCandidates(environment, static_cast<int>(keys.size()));
  if (usb3Vision > 0) {
    const QString path = UsbfsMemoryLimit::path(environment);
    for (const QString& line : UsbfsMemoryLimit::read(path).warning(usb3Vision, path)) {
      std::cerr << "zazod-host: " << line.toStdString() << '\n';
    }
  }
  return static_cast<int>(ExitCode::Success);
}
