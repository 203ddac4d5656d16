// OutageSchedule: the outage thread.
#include "OutageSchedule.h"

#include "SoakJournal.h"

OutageSchedule::OutageSchedule(std::vector<Target*> cameras, Settings settings)
    : m_cameras(std::move(cameras)), m_settings(settings), m_random(settings.seed) {
  m_outages.reserve(256);
}

OutageSchedule::~OutageSchedule() { stop(); }

void OutageSchedule::start(Clock::time_point end) {
  m_end = end;
  m_thread = std::thread(&OutageSchedule::run, this);
}

void OutageSchedule::stop() {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_stopping = true;
  }
  m_wake.notify_all();
  if (m_thread.joinable()) {
    m_thread.join();
  }
}

bool OutageSchedule::pause(Clock::time_point deadline) {
  std::unique_lock<std::mutex> lock(m_mutex);
  return !m_wake.wait_until(lock, deadline, [this] { return m_stopping; });
}

void OutageSchedule::run() {
  const auto seconds = [](double value) {
    return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(value));
  };
  std::uniform_real_distribution<double> gap(m_settings.minGapSeconds, m_settings.maxGapSeconds);
  size_t next = 0;
  while (m_outages.size() < m_settings.maxOutages && !m_cameras.empty()) {
    const Clock::time_point at = Clock::now() + seconds(gap(m_random));
    if (at + seconds(m_settings.downSeconds + m_settings.quietEndSeconds) > m_end || !pause(at)) {
      return;
    }
    Target& camera = *m_cameras[next];
    Outage outage{next, Clock::now(), {}, false};
    const std::string how = camera.howItWent();
    camera.goAway();
    SoakJournal::note(QStringLiteral("fake camera %1 %2")
                          .arg(QString::fromStdString(camera.serialNumber()), QString::fromStdString(how)));
    // Down for the while even when stopping, so that every outage looks the same to the host.
    std::this_thread::sleep_until(outage.killed + seconds(m_settings.downSeconds));
    outage.returned = camera.comeBack();
    outage.back = Clock::now();
    SoakJournal::note(
        QStringLiteral("fake camera %1 %2")
            .arg(QString::fromStdString(camera.serialNumber()),
                 outage.returned ? QStringLiteral("back") : QStringLiteral("did not come back")));
    m_outages.push_back(outage);
    next = (next + 1) % m_cameras.size();
  }
}
