#include "SoakCamera.h"

#include <GrabMode.h>

#include <algorithm>

#include "ProcessProbe.h"
#include "SoakJournal.h"
#include "SoakLogRouter.h"

namespace {

// Snaps that nothing answers for this long mean the camera is gone (at 20 snaps a second, forty).
constexpr std::chrono::seconds kSilenceBound{2};
// Between two attempts to open a camera that is not back yet.
constexpr std::chrono::milliseconds kReopenPause{200};
constexpr int32_t kImageFormatGray8 = 1;

}  // namespace

// Binds the grab thread to the camera's collector, then counts the frame there.
class SoakCamera::Sink : public ICameraFrameSink {
 public:
  explicit Sink(SoakCamera& owner) : m_owner(owner) {}
  void OnCameraEvent(ICameraObject* /*camera*/, int /*event*/) override {}
  void OnCameraError(ICameraObject* /*camera*/, int /*code*/) override {}
  void OnFrameReady(ICameraObject* camera) override {
    SoakLogRouter::bindThread(&m_owner.m_collector);
    m_owner.m_collector.OnFrameReady(camera);
  }

 private:
  SoakCamera& m_owner;
};

const char* SoakCamera::operationName(int operation) {
  switch (operation) {
    case Open:
      return "open (Camera_Create, IOpenCamera)";
    case Start:
      return "start (IStartCamera)";
    case Snap:
      return "snap (ISnapCamera)";
    case Close:
      return "close (ICloseCamera, Camera_Delete)";
    default:
      return "none";
  }
}

SoakCamera::SoakCamera(const ModuleLoader& loader, std::mutex& lifecycle, QString key, double rate,
                       size_t expectedSnaps)
    : m_loader(loader),
      m_lifecycle(lifecycle),
      m_key(std::move(key)),
      m_period(std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(1.0 / rate))),
      m_collector(0, 0),
      m_sink(std::make_unique<Sink>(*this)) {
  m_collector.reserve(expectedSnaps);
  m_recoveries.reserve(64);
  m_config.cameraName = QStringLiteral("soak");
  m_config.cameraFamily = 190;
  m_config.imageFormat = kImageFormatGray8;
  m_config.cameraKey = m_key;
}

SoakCamera::~SoakCamera() { stop(); }

void SoakCamera::start() { m_thread = std::thread(&SoakCamera::run, this); }

void SoakCamera::stop() {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_stopping = true;
  }
  m_wake.notify_all();
  if (m_thread.joinable()) {
    m_thread.join();
  }
}

SoakCamera::Operation SoakCamera::operation(Clock::time_point& since) const {
  const auto operation = static_cast<Operation>(m_operation.load());
  since = Clock::time_point(Clock::duration(m_operationSince.load()));
  return operation;
}

void SoakCamera::begin(Operation operation) {
  m_operationSince.store(Clock::now().time_since_epoch().count());
  m_operation.store(operation);
}

void SoakCamera::end() {
  const auto operation = static_cast<Operation>(m_operation.exchange(None));
  const Clock::time_point since{Clock::duration(m_operationSince.load())};
  const double took = std::chrono::duration<double>(Clock::now() - since).count();
  m_longest[operation] = std::max(m_longest[operation], took);
}

// Runs one call of the module as the operation; an exception the module lets through counts as a
// failure of the call.
template <typename Call>
bool SoakCamera::call(Operation operation, Call callable) {
  begin(operation);
  bool succeeded = false;
  try {
    succeeded = callable();
  } catch (...) {
    ++m_moduleExceptions;
  }
  end();
  return succeeded;
}

bool SoakCamera::pause(Clock::time_point deadline) {
  std::unique_lock<std::mutex> lock(m_mutex);
  return !m_wake.wait_until(lock, deadline, [this] { return m_stopping; });
}

void SoakCamera::run() {
  while (openAndStart()) {
    const bool lost = snapUntilLost();
    closeAndDelete();
    if (!lost) {
      return;
    }
  }
}

bool SoakCamera::openAndStart() {
  for (;;) {
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      if (m_stopping) {
        return false;
      }
    }
    ++m_openAttempts;
    const bool opened = call(Open, [&] {
      {
        std::lock_guard<std::mutex> lifecycle(m_lifecycle);
        m_camera = std::make_unique<CameraHandle>(m_loader, &m_config, m_sink.get());
      }
      return m_camera->get()->IOpenCamera() == 1;
    });
    bool started = false;
    if (opened) {
      m_camera->get()->m_requestedGrabMode = GrabMode_SoftwareTrigger;
      started = call(Start, [&] { return m_camera->get()->IStartCamera() == 1; });
    }
    if (started) {
      m_delivering.store(false);
      if (m_lostBefore) {
        SoakJournal::note(
            QStringLiteral("%1 open and started again (attempt %2)").arg(m_key).arg(m_openAttempts));
      }
      return true;
    }
    closeAndDelete();
    if (!pause(Clock::now() + kReopenPause)) {
      return false;
    }
  }
}

bool SoakCamera::snapUntilLost() {
  const uint64_t deliveredAtStart = m_collector.counts().delivered;
  uint64_t answers = m_collector.outcomes();
  Clock::time_point lastProgress = Clock::now();
  Clock::time_point next = lastProgress;
  for (;;) {
    if (!pause(next)) {
      return false;
    }
    const Clock::time_point now = Clock::now();
    m_collector.snapFired(now);
    if (!call(Snap, [&] { return m_camera->get()->ISnapCamera(0) == 1; })) {
      m_collector.snapWithdrawn();
      ++m_refused;
      noticeLoss(Clock::now(), "a refused snap");
      return true;
    }
    ++m_snapped;
    // The next snap one period on; after a snap that took longer than that, none is made up.
    next = std::max(next + m_period, Clock::now());

    const FrameCollector::Counts counts = m_collector.counts();
    if (!m_delivering.load() && counts.delivered > deliveredAtStart) {
      m_delivering.store(true);
      if (m_lostBefore) {
        m_recoveries.push_back(Recovery{m_noticed, counts.lastFrame});
        m_lostBefore = false;
        SoakJournal::note(QStringLiteral("%1 delivers again (resident memory %2 KiB)")
                              .arg(m_key)
                              .arg(ProcessProbe::residentBytes() / 1024));
      }
    }
    const uint64_t answered = counts.delivered + counts.failed;
    if (answered != answers) {
      answers = answered;
      lastProgress = now;
    } else if (now - lastProgress > kSilenceBound) {
      ++m_silences;
      noticeLoss(now, "snaps without an answer for 2 s");
      return true;
    }
  }
}

void SoakCamera::noticeLoss(Clock::time_point when, const char* sign) {
  SoakJournal::note(QStringLiteral("%1 lost: %2").arg(m_key, QLatin1String(sign)));
  // A camera lost again before its first frame is still in the same outage.
  if (!m_lostBefore) {
    m_noticed = when;
    m_lostBefore = true;
    ++m_losses;
  }
}

void SoakCamera::closeAndDelete() {
  if (m_camera == nullptr) {
    return;
  }
  call(Close, [&] {
    if (m_camera->get() != nullptr) {
      m_camera->get()->ICloseCamera();
    }
    std::lock_guard<std::mutex> lifecycle(m_lifecycle);
    m_camera.reset();
    return true;
  });
}
