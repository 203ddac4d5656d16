// SoakCamera: the host's side of one camera in the soak, on a thread of its own, written as a host
// drives the module: open the camera a key names, start it in software-trigger mode and snap at a
// fixed rate. A refused snap, or snaps that nothing answers for a while, mean the camera is gone:
// the host closes and deletes the camera object, then opens a fresh one by the same key until the
// camera is back, starts it in the same mode and goes on. (A fresh object each time: a second
// successful open of the same object would register a second frame handler beside the first.)
#pragma once

#include <CameraInterface.h>

#include <QString>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "CameraHandle.h"
#include "FrameCollector.h"
#include "ModuleLoader.h"

class SoakCamera {
 public:
  using Clock = std::chrono::steady_clock;

  // The operations whose durations are bounded, with what may take them longest.
  enum Operation { None, Open, Start, Snap, Close, OperationCount };
  static const char* operationName(int operation);

  struct Recovery {
    Clock::time_point noticed;    // the host saw the camera gone
    Clock::time_point recovered;  // the first frame after the camera was started again
  };

  // `lifecycle` is held around every Camera_Create and Camera_Delete: the module keeps its count of
  // live camera objects in a plain integer, so a host creates and deletes them on one thread at a
  // time.
  SoakCamera(const ModuleLoader& loader, std::mutex& lifecycle, QString key, double rate,
             size_t expectedSnaps);
  ~SoakCamera();
  SoakCamera(const SoakCamera&) = delete;
  SoakCamera& operator=(const SoakCamera&) = delete;

  void start();
  // Ends the loop, stops, closes and deletes the camera, and joins the thread.
  void stop();

  const QString& key() const { return m_key; }
  FrameCollector& collector() { return m_collector; }
  // True once a frame has come since the latest start.
  bool delivering() const { return m_delivering.load(); }
  // The operation under way and since when (for a watchdog on another thread).
  Operation operation(Clock::time_point& since) const;

  // Read after stop().
  uint64_t snapped() const { return m_snapped; }
  uint64_t refused() const { return m_refused; }
  uint64_t silences() const { return m_silences; }
  // Losses noticed: a refused snap or a silence, counted once per outage.
  uint64_t losses() const { return m_losses; }
  uint64_t openAttempts() const { return m_openAttempts; }
  uint64_t moduleExceptions() const { return m_moduleExceptions; }
  const std::vector<Recovery>& recoveries() const { return m_recoveries; }
  double longestSeconds(Operation operation) const { return m_longest[operation]; }

 private:
  class Sink;

  void run();
  bool openAndStart();
  // Snaps until the camera is gone (true) or the loop is asked to end (false).
  bool snapUntilLost();
  void noticeLoss(Clock::time_point when, const char* sign);
  void closeAndDelete();
  // Waits until `deadline` or the end of the loop; false when the loop is to end.
  bool pause(Clock::time_point deadline);
  void begin(Operation operation);
  void end();
  template <typename Call>
  bool call(Operation operation, Call callable);

  const ModuleLoader& m_loader;
  std::mutex& m_lifecycle;
  const QString m_key;
  const Clock::duration m_period;
  FrameCollector m_collector;
  std::unique_ptr<Sink> m_sink;
  CameraConfig m_config;
  std::unique_ptr<CameraHandle> m_camera;  // after the sink: deleted before it

  std::mutex m_mutex;
  std::condition_variable m_wake;
  bool m_stopping = false;
  std::thread m_thread;

  std::atomic<int> m_operation{None};
  std::atomic<Clock::rep> m_operationSince{0};
  std::atomic<bool> m_delivering{false};
  bool m_lostBefore = false;
  Clock::time_point m_noticed;

  uint64_t m_snapped = 0;
  uint64_t m_refused = 0;
  uint64_t m_silences = 0;
  uint64_t m_losses = 0;
  uint64_t m_openAttempts = 0;
  uint64_t m_moduleExceptions = 0;
  std::vector<Recovery> m_recoveries;
  double m_longest[OperationCount] = {};
};
