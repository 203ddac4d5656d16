// ViewSession: the camera the live view shows and the controls the page has over it. Every call
// into the camera object goes through one lock, whichever thread asks (a viewer's request, the
// auto-snap thread), because the module takes no lock of its own. The grab thread never takes it.
#pragma once

#include <GrabMode.h>

#include <QString>
#include <QStringList>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

#include "CameraHandle.h"
#include "ModuleLoader.h"
#include "ViewSink.h"

class ViewSession {
 public:
  struct State {
    QString key;
    bool opened = false;
    bool grabbing = false;
    GrabMode requestedMode = GrabMode_SoftwareTrigger;
    int32_t activeMode = GrabMode_None;
    uint32_t frameLimit = 0;
    int32_t bitsPerPixel = 0;
    double autoSnapHz = 0;
    QStringList keys;  // as the module listed them last
    QString problem;   // why the last control failed; empty after one that worked
  };

  // Result of one control: `ok` false with the reason in `problem`.
  struct Outcome {
    bool ok = true;
    QString problem;
  };

  ViewSession(const ModuleLoader& loader, ViewSink& sink, LogCapture& log);
  ~ViewSession();
  ViewSession(const ViewSession&) = delete;
  ViewSession& operator=(const ViewSession&) = delete;

  // Lists the cameras; the key to open when none is asked for is the first of them.
  QStringList listCameras();
  // Opens `key` and starts it in `mode` (with `limit` in counted mode).
  Outcome openAndStart(const QString& key, GrabMode mode, uint32_t limit);

  Outcome start();
  Outcome stop();
  // One snap; `ok` tells whether the module accepted it.
  Outcome snap();
  Outcome setAutoSnap(double hz);
  // Stops, sets the mode (and in counted mode the limit) and starts again. Hardware mode ends
  // auto-snap, whose snaps would switch the camera to software trigger.
  Outcome setMode(GrabMode mode, uint32_t limit);
  Outcome setLimit(uint32_t limit);
  // Closes the camera, opens `key` (one the module lists) and starts it in the same mode.
  Outcome choose(const QString& key);
  // Stops auto-snap, stops and closes the camera and deletes the camera object.
  void shutDown();

  State state();

  static const char* modeName(int32_t mode);

 private:
  Outcome openAndStartLocked(const QString& key);
  Outcome startLocked();
  void stopLocked();
  bool snapLocked();
  void autoSnapLoop();
  Outcome remember(Outcome outcome);

  const ModuleLoader& m_loader;
  ViewSink& m_sink;
  LogCapture& m_log;
  CameraConfig m_config;

  std::mutex m_cameraMutex;  // every call into the camera object, and the fields below
  std::unique_ptr<CameraHandle> m_camera;
  GrabMode m_mode = GrabMode_SoftwareTrigger;
  uint32_t m_limit = 0;
  QStringList m_keys;
  QString m_problem;

  std::mutex m_autoMutex;  // the auto-snap rate and the thread's wake-up
  std::condition_variable m_autoChanged;
  double m_autoSnapHz = 0;
  bool m_ending = false;
  std::thread m_autoSnapper;
};
