#include "EmulationEnvironment.h"

#include <unistd.h>

#include <QByteArray>
#include <QCoreApplication>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <vector>

#include "HostError.h"

void EmulationEnvironment::apply(const HostOptions& options) {
  if (options.verbose && qEnvironmentVariableIsEmpty("ZAZOD_SDK_DIAGNOSTICS")) {
    qputenv("ZAZOD_SDK_DIAGNOSTICS", "1");
  }
  if (options.emulate) {
    qputenv("ZAZOD_SDK_EMULATED_CAMERAS", QByteArray::number(*options.emulate));
  }
  const bool view = options.command == QLatin1String("view");
  if (!view && (options.command != QLatin1String("grab") || options.mode != GrabMode_HardwareTrigger)) {
    return;
  }
  if (view && options.mode != GrabMode_HardwareTrigger && options.emulate &&
      qEnvironmentVariableIsEmpty("ZAZOD_SDK_EMULATED_LINE1_HZ")) {
    // In the view --rate is the auto-snap rate until the page switches to hardware mode.
    qputenv("ZAZOD_SDK_EMULATED_LINE1_HZ", QByteArray::number(kDefaultLine1Hz, 'g', 10));
    return;
  }
  if (options.rate) {
    qputenv("ZAZOD_SDK_EMULATED_LINE1_HZ", QByteArray::number(*options.rate, 'g', 10));
  } else if (options.emulate && qEnvironmentVariableIsEmpty("ZAZOD_SDK_EMULATED_LINE1_HZ")) {
    qputenv("ZAZOD_SDK_EMULATED_LINE1_HZ", QByteArray::number(kDefaultLine1Hz, 'g', 10));
  }
}

void EmulationEnvironment::restartWithEmulatedCamera(const QStringList& arguments) {
  std::cout.flush();
  std::fflush(stdout);
  QStringList restarted = arguments;
  restarted << QStringLiteral("--emulate") << QStringLiteral("1");
  std::vector<QByteArray> storage;
  storage.reserve(static_cast<size_t>(restarted.size()));
  for (const QString& argument : restarted) {
    storage.push_back(argument.toLocal8Bit());
  }
  std::vector<char*> argv;
  argv.reserve(storage.size() + 1);
  for (QByteArray& argument : storage) {
    argv.push_back(argument.data());
  }
  argv.push_back(nullptr);
  const QByteArray program = QCoreApplication::applicationFilePath().toLocal8Bit();
  qputenv("ZAZOD_SDK_EMULATED_CAMERAS", "1");
  execv(program.constData(), argv.data());
  throw HostError(ExitCode::Camera,
                  QStringLiteral("no camera present, and starting again with an emulated camera failed: %1")
                      .arg(QString::fromLocal8Bit(std::strerror(errno))));
}
