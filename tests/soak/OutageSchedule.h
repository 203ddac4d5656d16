// OutageSchedule: the world the soak's host lives in. On a thread of its own it takes one fake
// camera after another away at random gaps (a fake GigE Vision camera is killed, as a pulled cable;
// a fake USB3 Vision device is unplugged) and after a short time brings it back with the same
// serial number, noting when each went and came back.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

class OutageSchedule {
 public:
  using Clock = std::chrono::steady_clock;

  // A camera the schedule can take away and bring back.
  class Target {
   public:
    virtual ~Target() = default;
    virtual std::string serialNumber() const = 0;
    // Gone at once, without a word to the host.
    virtual void goAway() = 0;
    // Back; false when it did not answer again.
    virtual bool comeBack() = 0;
    // How it went ("killed", "unplugged (no device)", ...), for the journal.
    virtual std::string howItWent() const = 0;
  };

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

  OutageSchedule(std::vector<Target*> cameras, Settings settings);
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

  std::vector<Target*> m_cameras;
  const Settings m_settings;
  Clock::time_point m_end;
  std::mt19937 m_random;
  std::mutex m_mutex;
  std::condition_variable m_wake;
  bool m_stopping = false;
  std::thread m_thread;
  std::vector<Outage> m_outages;
};
