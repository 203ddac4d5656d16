// Fuzz target: the camera key given to IOpenCamera. Any text opens exactly the camera whose serial
// number is its second blank-separated part, or nothing; nothing else happens to the cameras.
#include <CameraConfig.h>
#include <zazod/emulation/Emulation.h>

#include <QString>
#include <QStringList>
#include <algorithm>
#include <cstdlib>
#include <vector>

#include "CameraBasler.h"
#include "RecordingSink.h"

namespace emu = Zazod::Emulation;

namespace {

void quietHandler(QtMsgType, const QMessageLogContext&, const QString&) {}

struct Cameras {
  Cameras() {
    qInstallMessageHandler(quietHandler);
    for (const char* serial : {"EMU0001", "emu0001", "21054321", "", "A B"}) {
      emu::CameraDescription description;
      description.serialNumber = serial;
      devices.push_back(emu::AddCamera(description));
    }
  }
  std::vector<emu::EmulatedCamera> devices;
};

void check(bool condition) {
  if (!condition) {
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Cameras cameras;
  CameraConfig config;
  config.cameraKey = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<int>(size));
  RecordingSink sink;
  for (emu::EmulatedCamera& device : cameras.devices) {
    device.ClearJournal();
  }
  {
    CCameraBasler camera(&config, &sink);
    const int result = camera.IOpenCamera();
    const QStringList parts = config.cameraKey.split(' ', Qt::KeepEmptyParts);
    // The first listed camera with that serial number, if any, is the one that must be open.
    int expected = -1;
    if (parts.size() >= 2) {
      for (size_t i = 0; i < cameras.devices.size() && expected < 0; ++i) {
        if (parts.at(1) == cameras.devices[i].SerialNumber().c_str()) {
          expected = static_cast<int>(i);
        }
      }
    }
    check(result == (expected >= 0 ? 1 : 0));
    check(camera.m_isOpened == (result == 1));
    for (size_t i = 0; i < cameras.devices.size(); ++i) {
      const std::vector<std::string> journal = cameras.devices[i].Journal();
      const bool opened = std::find(journal.begin(), journal.end(), "Open") != journal.end();
      check(opened == (static_cast<int>(i) == expected));
    }
  }
  check(CCameraBasler::s_pylonUsers == 0);
  check(sink.count() == 0);
  return 0;
}
