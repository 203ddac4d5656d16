// ListCommand: `zazod-host list` prints one line per camera key the module's IEnumCameras
// returns, or "no camera present".
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
