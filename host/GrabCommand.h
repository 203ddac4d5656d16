// GrabCommand: `zazod-host grab`. Opens a camera of the module, starts it in the requested grab
// mode, snaps (or, in hardware mode, collects the camera's own frames), writes every K-th frame as a
// PNG and a contact sheet, stops, closes and deletes the camera, and prints a summary.
#pragma once

#include <QString>
#include <QStringList>
#include <chrono>
#include <cstdint>
#include <memory>

#include "CameraHandle.h"
#include "FrameCollector.h"
#include "HostCommandLine.h"
#include "LogCapture.h"
#include "ModuleLoader.h"
#include "ProgressBar.h"

class GrabCommand {
 public:
  static int run(const HostOptions& options, LogCapture& log);

  ~GrabCommand();
  GrabCommand(const GrabCommand&) = delete;
  GrabCommand& operator=(const GrabCommand&) = delete;

 private:
  enum class Ending { Completed, TimedOut, SnapRefused };

  GrabCommand(const HostOptions& options, LogCapture& log);
  int execute();
  void prepareOutput();
  // The key to open: --key, else the first camera listed. With none listed and no --emulate the
  // program starts itself again with one emulated camera and does not return.
  QString chooseKey();
  [[noreturn]] void restartWithEmulatedCamera();
  void openAndStart(const QString& key);
  Ending snapEach();
  Ending snapAtRate();
  Ending collectTriggered();
  // Fires one snap; false when the module refuses it.
  bool snap();
  // Waits until `target` triggers are answered (frames delivered or grabs failed), or with
  // `deliveredOnly` until `target` frames are delivered; the timeout starts again with every answer.
  bool awaitOutcomes(uint64_t target, bool deliveredOnly = false);
  void refresh();
  void writePictures();
  void writeContactSheet();
  void printSummary() const;
  uint64_t expectedFrames() const;

  const HostOptions& m_options;
  LogCapture& m_log;
  const std::chrono::steady_clock::duration m_timeout;
  size_t m_moduleLogMark = 0;
  QString m_key;
  CameraConfig m_config;
  FrameCollector m_collector;
  ProgressBar m_progress;
  ModuleLoader m_loader;
  std::unique_ptr<CameraHandle> m_camera;  // after the collector: deleted before its sink goes
  std::chrono::steady_clock::time_point m_started;
  uint64_t m_snapped = 0;
  uint64_t m_refused = 0;
  QStringList m_pictures;  // paths written, in frame order
  QString m_contactSheetPath;
  size_t m_contactSheetTiles = 0;
  Ending m_ending = Ending::Completed;
};
