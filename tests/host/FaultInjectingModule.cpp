// A camera module for the host's tests: the real camera class, with faults of the emulated cameras
// set up through the emulation's control API before the host's calls, chosen by the environment
// variable ZAZOD_TEST_HOST_FAULT:
//   no-trigger-ready   the camera cannot report trigger readiness (IStartCamera warns, returns 0)
//   start-exception    StartGrabbing throws (IStartCamera logs it as critical, returns 0)
//   enum-exception     listing the devices throws (IEnumCameras lets it reach the host)
//   failed-results:N   the next N grab results fail
//   skipped:N          the next result is preceded by a report of N skipped images
//   ignore-every:N     every N-th snap is taken (returns 1) but never reaches the camera, as a
//                      camera that ignores a trigger
//   ignore-from:N      so is every snap from the N-th on
#include <CameraInterface.h>
#include <zazod/emulation/Emulation.h>

#include <QByteArray>

#include "CameraBasler.h"

namespace {

namespace Emulation = Zazod::Emulation;

QByteArray fault() { return qgetenv("ZAZOD_TEST_HOST_FAULT"); }

// The count after "<name>:" in the fault setting, or -1 when the setting is another one.
int faultCount(const char* name) {
  const QByteArray setting = fault();
  const QByteArray prefix = QByteArray(name) + ':';
  return setting.startsWith(prefix) ? setting.mid(prefix.size()).toInt() : -1;
}

class CFaultInjectingCamera : public CCameraBasler {
 public:
  using CCameraBasler::CCameraBasler;

  QStringList IEnumCameras() override {
    if (fault() == "enum-exception") {
      Emulation::FailNextGlobal("EnumerateDevices",
                                Emulation::Fault{"RuntimeException", "injected listing failure"});
    }
    return CCameraBasler::IEnumCameras();
  }

  int IStartCamera() override {
    for (Emulation::EmulatedCamera& camera : Emulation::Cameras()) {
      if (fault() == "no-trigger-ready") {
        camera.SetCanWaitForFrameTriggerReady(false);
      } else if (fault() == "start-exception") {
        camera.FailNext("StartGrabbing", Emulation::Fault{"RuntimeException", "injected start failure"});
      } else if (const int failed = faultCount("failed-results"); failed > 0) {
        camera.FailNextResults(failed, 0xE1000014u, "injected grab failure");
      } else if (const int skipped = faultCount("skipped"); skipped > 0) {
        camera.InjectSkippedImages(static_cast<uint64_t>(skipped));
      }
    }
    return CCameraBasler::IStartCamera();
  }

  int ISnapCamera(int argument) override {
    const int every = faultCount("ignore-every");
    const int from = faultCount("ignore-from");
    ++m_snaps;
    if ((every > 0 && m_snaps % every == 0) || (from > 0 && m_snaps >= from)) {
      return ICameraObject::ISnapCamera(argument);  // the precondition's answer, and no trigger
    }
    return CCameraBasler::ISnapCamera(argument);
  }

 private:
  int m_snaps = 0;
};

}  // namespace

extern "C" {

__attribute__((visibility("default"))) ICameraObject* Camera_Create(CameraConfig* config,
                                                                    ICameraFrameSink* sink) {
  return new CFaultInjectingCamera(config, sink);
}

__attribute__((visibility("default"))) void Camera_Delete(ICameraObject* camera) { delete camera; }
}
