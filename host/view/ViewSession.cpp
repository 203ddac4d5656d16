#include "ViewSession.h"

#include <QtGlobal>
#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "ListCommand.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int32_t kImageFormatGray8 = 1;      // code of g_imageFormatNames
constexpr int32_t kCameraFamilyBasler = 190;  // code of g_cameraFamilyNames
constexpr double kMaxAutoSnapHz = 1000;
// Slower than one snap in 1000 s is no live view; far below it the period no longer fits the clock.
constexpr double kMinAutoSnapHz = 0.001;

// Runs one operation of the module; an exception it lets through becomes a failed outcome, so a
// viewer sees it and the view goes on.
template <typename Operation>
bool guarded(const char* name, Operation operation, QString& problem) {
  try {
    operation();
    return true;
  } catch (const std::exception& e) {
    problem = QStringLiteral("%1 raised an exception: %2")
                  .arg(QLatin1String(name), QString::fromLocal8Bit(e.what()));
  } catch (...) {
    problem = QStringLiteral("%1 raised an exception in the module").arg(QLatin1String(name));
  }
  return false;
}

ViewSession::Outcome failure(const QString& problem) { return ViewSession::Outcome{false, problem}; }

// What the view tells the module about the camera objects it makes.
void describe(CameraConfig& config) {
  config.cameraName = QStringLiteral("zazod-host view");
  config.cameraFamily = kCameraFamilyBasler;
  config.imageFormat = kImageFormatGray8;
}

}  // namespace

ViewSession::ViewSession(const ModuleLoader& loader, ViewSink& sink, LogCapture& log)
    : m_loader(loader), m_sink(sink), m_log(log) {
  describe(m_config);
  m_camera = std::make_unique<CameraHandle>(m_loader, &m_config, &m_sink);
  m_autoSnapper = std::thread([this] { autoSnapLoop(); });
}

ViewSession::~ViewSession() { shutDown(); }

const char* ViewSession::modeName(int32_t mode) {
  switch (mode) {
    case GrabMode_None:
      return "none";
    case GrabMode_HardwareTrigger:
      return "hardware";
    case GrabMode_SoftwareTrigger:
      return "software";
    case GrabMode_SoftwareTriggerCounted:
      return "counted";
    case GrabMode_SwitchedToSoftware:
      return "switched to software";
    default:
      return "unknown";
  }
}

QStringList ViewSession::listCameras() {
  std::lock_guard<std::mutex> lock(m_cameraMutex);
  if (m_camera && m_camera->get() != nullptr) {
    m_keys = ListCommand::keysOf(m_camera->get());
  }
  return m_keys;
}

ViewSession::Outcome ViewSession::openAndStart(const QString& key, GrabMode mode, uint32_t limit) {
  std::lock_guard<std::mutex> lock(m_cameraMutex);
  m_mode = mode;
  m_limit = limit;
  return remember(openAndStartLocked(key));
}

ViewSession::Outcome ViewSession::openAndStartLocked(const QString& key) {
  ICameraObject* camera = m_camera ? m_camera->get() : nullptr;
  if (camera == nullptr) {
    return failure(QStringLiteral("the view is closing"));
  }
  m_config.cameraKey = key;
  const size_t mark = m_log.size();
  int opened = 0;
  QString problem;
  if (!guarded(
          "IOpenCamera", [&] { opened = camera->IOpenCamera(); }, problem)) {
    return failure(problem);
  }
  if (opened == 0) {
    const QString reason = m_log.problemsSince(mark);
    return failure(QStringLiteral("the module refused to open the camera \"%1\": %2")
                       .arg(key, reason.isEmpty() ? QStringLiteral("it logged no reason") : reason));
  }
  return startLocked();
}

ViewSession::Outcome ViewSession::startLocked() {
  ICameraObject* camera = m_camera ? m_camera->get() : nullptr;
  if (camera == nullptr) {
    return failure(QStringLiteral("the view is closing"));
  }
  camera->m_requestedGrabMode = m_mode;
  if (m_mode == GrabMode_SoftwareTriggerCounted) {
    camera->m_frameLimit = m_limit;
  }
  const size_t mark = m_log.size();
  int started = 0;
  QString problem;
  if (!guarded(
          "IStartCamera", [&] { started = camera->IStartCamera(); }, problem)) {
    return failure(problem);
  }
  if (started == 0) {
    const QString reason = m_log.problemsSince(mark);
    return failure(QStringLiteral("IStartCamera refused to start \"%1\" in %2 mode: %3")
                       .arg(m_config.cameraKey, QLatin1String(modeName(m_mode)),
                            reason.isEmpty() ? QStringLiteral("it logged no reason") : reason));
  }
  return Outcome{};
}

void ViewSession::stopLocked() {
  ICameraObject* camera = m_camera ? m_camera->get() : nullptr;
  if (camera != nullptr) {
    QString ignored;
    guarded(
        "IStopCamera", [&] { camera->IStopCamera(); }, ignored);
  }
}

ViewSession::Outcome ViewSession::start() {
  std::lock_guard<std::mutex> lock(m_cameraMutex);
  return remember(startLocked());
}

ViewSession::Outcome ViewSession::stop() {
  std::lock_guard<std::mutex> lock(m_cameraMutex);
  stopLocked();
  return remember(Outcome{});
}

bool ViewSession::snapLocked() {
  ICameraObject* camera = m_camera ? m_camera->get() : nullptr;
  if (camera == nullptr) {
    return false;
  }
  int accepted = 0;
  m_sink.snapFired(Clock::now());
  QString problem;
  if (!guarded(
          "ISnapCamera", [&] { accepted = camera->ISnapCamera(0); }, problem)) {
    m_problem = problem;
  }
  m_sink.snapAnswered(accepted != 0);
  return accepted != 0;
}

ViewSession::Outcome ViewSession::snap() {
  std::lock_guard<std::mutex> lock(m_cameraMutex);
  if (!snapLocked()) {
    return failure(QStringLiteral("the module refused the snap"));
  }
  return Outcome{};
}

ViewSession::Outcome ViewSession::setAutoSnap(double hz) {
  if (!std::isfinite(hz) || (hz != 0 && (hz < kMinAutoSnapHz || hz > kMaxAutoSnapHz))) {
    return failure(QStringLiteral("the auto-snap rate is 0 (off) or a number from %1 to %2")
                       .arg(kMinAutoSnapHz)
                       .arg(kMaxAutoSnapHz));
  }
  {
    std::lock_guard<std::mutex> lock(m_autoMutex);
    m_autoSnapHz = hz;
  }
  m_autoChanged.notify_all();
  return Outcome{};
}

ViewSession::Outcome ViewSession::setMode(GrabMode mode, uint32_t limit) {
  if (mode == GrabMode_HardwareTrigger) {
    setAutoSnap(0);
  }
  std::lock_guard<std::mutex> lock(m_cameraMutex);
  stopLocked();
  m_mode = mode;
  m_limit = limit;
  return remember(startLocked());
}

ViewSession::Outcome ViewSession::setLimit(uint32_t limit) {
  std::lock_guard<std::mutex> lock(m_cameraMutex);
  m_limit = limit;
  if (m_camera && m_camera->get() != nullptr && m_mode == GrabMode_SoftwareTriggerCounted) {
    m_camera->get()->m_frameLimit = limit;
  }
  return remember(Outcome{});
}

ViewSession::Outcome ViewSession::choose(const QString& key) {
  // Discovery takes as long as the transports want: it runs on a camera object of its own, outside
  // the camera's lock, so snaps, auto-snap and the state go on meanwhile.
  QStringList keys;
  {
    CameraConfig listing;
    describe(listing);
    CameraHandle lister(m_loader, &listing, &m_sink);
    keys = ListCommand::keysOf(lister.get());
  }
  std::lock_guard<std::mutex> lock(m_cameraMutex);
  ICameraObject* camera = m_camera ? m_camera->get() : nullptr;
  if (camera == nullptr) {
    return failure(QStringLiteral("the view is closing"));
  }
  m_keys = keys;
  if (!m_keys.contains(key)) {
    return remember(failure(QStringLiteral("\"%1\" is not a camera the module lists").arg(key)));
  }
  QString ignored;
  guarded(
      "ICloseCamera", [&] { camera->ICloseCamera(); }, ignored);
  m_sink.forgetWaitingSnaps();
  return remember(openAndStartLocked(key));
}

void ViewSession::shutDown() {
  {
    std::lock_guard<std::mutex> lock(m_autoMutex);
    m_ending = true;
  }
  m_autoChanged.notify_all();
  if (m_autoSnapper.joinable()) {
    m_autoSnapper.join();
  }
  std::lock_guard<std::mutex> lock(m_cameraMutex);
  if (m_camera && m_camera->get() != nullptr) {
    QString ignored;
    ICameraObject* camera = m_camera->get();
    guarded(
        "IStopCamera", [&] { camera->IStopCamera(); }, ignored);
    guarded(
        "ICloseCamera", [&] { camera->ICloseCamera(); }, ignored);
    guarded(
        "Camera_Delete", [&] { m_camera->reset(); }, ignored);
  }
  m_camera.reset();
}

ViewSession::State ViewSession::state() {
  State state;
  {
    std::lock_guard<std::mutex> lock(m_autoMutex);
    state.autoSnapHz = m_autoSnapHz;
  }
  std::lock_guard<std::mutex> lock(m_cameraMutex);
  state.key = m_config.cameraKey;
  state.requestedMode = m_mode;
  state.frameLimit = m_limit;
  state.keys = m_keys;
  state.problem = m_problem;
  if (m_camera && m_camera->get() != nullptr) {
    const ICameraObject* camera = m_camera->get();
    state.opened = camera->m_isOpened;
    state.grabbing = camera->m_isGrabbing;
    state.activeMode = camera->m_activeGrabMode;
    state.bitsPerPixel = camera->m_bitsPerPixel;
  }
  return state;
}

ViewSession::Outcome ViewSession::remember(Outcome outcome) {
  m_problem = outcome.problem;
  return outcome;
}

void ViewSession::autoSnapLoop() {
  std::unique_lock<std::mutex> lock(m_autoMutex);
  Clock::time_point next = Clock::now();
  while (!m_ending) {
    if (m_autoSnapHz <= 0) {
      m_autoChanged.wait(lock, [&] { return m_ending || m_autoSnapHz > 0; });
      next = Clock::now();
      continue;
    }
    const auto period =
        std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(1.0 / m_autoSnapHz));
    const double hz = m_autoSnapHz;
    if (m_autoChanged.wait_until(lock, next, [&] { return m_ending || m_autoSnapHz != hz; })) {
      next = Clock::now();
      continue;  // ending, or a new rate: paced from now on
    }
    lock.unlock();
    Clock::time_point snapped;
    {
      std::lock_guard<std::mutex> camera(m_cameraMutex);
      snapped = Clock::now();
      snapLocked();
    }
    lock.lock();
    // Behind (a slow module, a busy machine): the next snap still comes a period after this one,
    // never in a burst that a camera looking for triggers once per tick would merge.
    next = std::max(next + period, snapped + period);
  }
}
