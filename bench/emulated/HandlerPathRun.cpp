// A fixed number of frames through the loaded module, one snap at a time, for callgrind: the
// instruction counts of the module's handler path are read from its output. Debug lines go to a
// message handler that discards them, as a real host's would.
//
//   valgrind --tool=callgrind handler_path_run FRAMES
#include <zazod/emulation/Emulation.h>

#include <QtGlobal>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "LoadedPlugin.h"
#include "ModuleCamera.h"

namespace {

void discardDebugLines(QtMsgType type, const QMessageLogContext& /*context*/, const QString& message) {
  if (type != QtDebugMsg) {
    std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
  }
}

}  // namespace

int main(int argc, char** argv) {
  const int frames = argc > 1 ? std::atoi(argv[1]) : 300;
  qInstallMessageHandler(&discardDebugLines);
  // Emulated cameras only, whatever the environment says: no other transport comes up here.
  setenv("ZAZOD_SDK_TRANSPORTS", "emulation", 1);
  if (!LoadedPlugin::instance().loaded()) {
    std::fprintf(stderr, "handler_path_run: %s\n", LoadedPlugin::instance().error().c_str());
    return 1;
  }
  Zazod::Emulation::Reset();
  Zazod::Emulation::CameraDescription description;
  description.serialNumber = "CALLGRIND";
  description.journal = false;
  Zazod::Emulation::AddCamera(description);
  int delivered = 0;
  {
    ModuleCamera camera("CALLGRIND");
    if (!camera.start()) {
      std::fprintf(stderr, "handler_path_run: the camera did not start\n");
      return 1;
    }
    for (int i = 0; i < frames; ++i) {
      const uint64_t seen = camera.signal().count();
      if (camera.snap() && camera.signal().waitBeyond(seen, std::chrono::seconds(10))) {
        ++delivered;
      }
    }
  }
  std::printf("frames %d delivered %d\n", frames, delivered);
  return delivered == frames ? 0 : 1;
}
