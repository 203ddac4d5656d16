// ListCommand: `zazod-host list` prints one line per camera key the module's IEnumCameras
// returns, or "no camera present", and warns on stderr when the kernel's usbfs memory limit is
// below what the listed cameras' buffers need over USB3 Vision (UsbfsMemoryLimit).
#pragma once

#include <QStringList>

#include "HostCommandLine.h"
#include "LogCapture.h"

class ICameraObject;

class ListCommand {
 public:
  static int run(const HostOptions& options, LogCapture& log);
  // IEnumCameras of a camera object; an exception from the module becomes a HostError.
  static QStringList keysOf(ICameraObject* camera);
};
