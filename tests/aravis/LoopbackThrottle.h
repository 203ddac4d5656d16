// LoopbackThrottle: caps the rate of this network namespace's loopback interface with a token
// bucket queue (tc's tbf) while it lives, so a large frame takes a known least time on the wire,
// and reads how many bytes loopback has carried. The queue holds more than a sending socket's
// buffer, so a fast sender is held back by its own socket instead of losing packets in the queue.
#pragma once

#include <cstdint>
#include <optional>

class LoopbackThrottle {
 public:
  explicit LoopbackThrottle(uint32_t megabitsPerSecond);
  ~LoopbackThrottle();
  LoopbackThrottle(const LoopbackThrottle&) = delete;
  LoopbackThrottle& operator=(const LoopbackThrottle&) = delete;

  // Whether the cap is in place (tc could add it).
  bool active() const { return m_active; }
  // Takes the cap away (also done at destruction).
  void lift();

  // The bytes loopback has sent so far in this namespace; none when they cannot be read.
  static std::optional<uint64_t> transmittedBytes();

 private:
  bool m_active = false;
};
