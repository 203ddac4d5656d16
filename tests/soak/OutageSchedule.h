// OutageSchedule: the world the soak's host lives in. On a thread of its own it kills one fake
// camera after another (SIGKILL, as a pulled cable) at random gaps, and after a short time starts it
// again with the same serial number on the same address, noting when each went and came back.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

#include "FakeCamera.h"

class OutageSchedule {
 public:
  using Clock = std::chrono::steady_clock;

  struct Settings {
    double minGapSeconds = 60;
    double maxGapSeconds = 90;
    double downSeconds = 3;
    // No outage begins when less than this is left of the run: the last one has time to recover.
    double quietEndSeconds = 25;
    uint64_t maxOutages = UINT64_MAX;
    uint32_t seed = 1;
  };

  struct Outage {
    size_t camera;  // index into the cameras given
    Clock::time_point killed;
    Clock::time_point back;
    bool returned;  // false: the camera did not answer again
  };

  OutageSchedule(std::vector<FakeCamera*> cameras, Settings settings);
  ~OutageSchedule();
  OutageSchedule(const OutageSchedule&) = delete;
  OutageSchedule& operator=(const OutageSchedule&) = delete;

  void start(Clock::time_point end);
  // Ends the schedule; a camera that is down is started again first. Joins the thread.
  void stop();
  // Read after stop().
  const std::vector<Outage>& outages() const { return m_outages; }

 private:
  void run();
  // Waits until `deadline` or stop(); false on stop().
  bool pause(Clock::time_point deadline);

  std::vector<FakeCamera*> m_cameras;
  const Settings m_settings;
  Clock::time_point m_end;
  std::mt19937 m_random;
  std::mutex m_mutex;
  std::condition_variable m_wake;
  bool m_stopping = false;
  std::thread m_thread;
  std::vector<Outage> m_outages;
};
