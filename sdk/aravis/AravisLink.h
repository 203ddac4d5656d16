// Zazod::Aravis::AravisLink: what the device, its stream and its node adapters share about one
// connection to an Aravis device: the lock that serialises every call into Aravis's device and
// GenICam tree (neither is thread-safe), the knowledge that the device is lost, and the turning of
// Aravis errors into GenICam exceptions. A timeout or a dropped connection marks the device lost;
// from then on every access fails at once instead of waiting for Aravis's timeouts again.
#pragma once

#include <atomic>
#include <mutex>
#include <string>

typedef struct _GError GError;

namespace Zazod::Aravis {

class AravisLink {
 public:
  AravisLink() = default;
  AravisLink(const AravisLink&) = delete;
  AravisLink& operator=(const AravisLink&) = delete;

  std::recursive_mutex& mutex() { return m_mutex; }

  bool lost() const { return m_lost.load(std::memory_order_acquire); }
  // Marks the device lost (from any thread, Aravis's heartbeat thread included).
  void markLost(const char* reason);
  std::string lossReason() const;
  // A new connection starts with the device present.
  void clearLoss();

  // Raises a RuntimeException naming `operation` when the device is lost.
  void throwIfLost(const char* operation) const;
  // With an error set: frees it and raises the matching GenICam exception, carrying Aravis's
  // message; timeouts and broken connections mark the device lost first.
  void check(GError* error, const char* operation);

 private:
  std::recursive_mutex m_mutex;
  std::atomic<bool> m_lost{false};
  mutable std::mutex m_reasonMutex;
  std::string m_reason;
};

}  // namespace Zazod::Aravis
