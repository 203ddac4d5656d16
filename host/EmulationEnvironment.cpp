#include "EmulationEnvironment.h"

#include <QByteArray>

void EmulationEnvironment::apply(const HostOptions& options) {
  if (options.emulate) {
    qputenv("ZAZOD_SDK_EMULATED_CAMERAS", QByteArray::number(*options.emulate));
  }
  if (options.command != QLatin1String("grab") || options.mode != GrabMode_HardwareTrigger) {
    return;
  }
  if (options.rate) {
    qputenv("ZAZOD_SDK_EMULATED_LINE1_HZ", QByteArray::number(*options.rate, 'g', 10));
  } else if (options.emulate && qEnvironmentVariableIsEmpty("ZAZOD_SDK_EMULATED_LINE1_HZ")) {
    qputenv("ZAZOD_SDK_EMULATED_LINE1_HZ", QByteArray::number(kDefaultLine1Hz, 'g', 10));
  }
}
