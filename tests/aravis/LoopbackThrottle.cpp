// LoopbackThrottle: a tbf queue on lo through tc, and lo's byte counter from /proc/self/net/dev.
#include "LoopbackThrottle.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "FakeCamera.h"

namespace {

// Well above the default socket send buffer (about 208 KiB), so the queue never drops a packet.
constexpr const char* kQueueLimit = "8mb";
constexpr const char* kBurst = "32kb";

}  // namespace

LoopbackThrottle::LoopbackThrottle(uint32_t megabitsPerSecond) {
  m_active = FakeCamera::runHelper({"tc", "qdisc", "replace", "dev", "lo", "root", "tbf", "rate",
                                    std::to_string(megabitsPerSecond) + "mbit", "burst", kBurst, "limit",
                                    kQueueLimit});
}

LoopbackThrottle::~LoopbackThrottle() { lift(); }

void LoopbackThrottle::lift() {
  if (m_active) {
    FakeCamera::runHelper({"tc", "qdisc", "del", "dev", "lo", "root"});
    m_active = false;
  }
}

std::optional<uint64_t> LoopbackThrottle::transmittedBytes() {
  // Per line: "  lo: rx-bytes rx-packets errs drop fifo frame compressed multicast tx-bytes ...".
  FILE* file = std::fopen("/proc/self/net/dev", "re");
  if (file == nullptr) {
    return std::nullopt;
  }
  std::optional<uint64_t> transmitted;
  char line[512];
  while (!transmitted && std::fgets(line, sizeof line, file) != nullptr) {
    const char* name = line + std::strspn(line, " ");
    if (std::strncmp(name, "lo:", 3) != 0) {
      continue;
    }
    const char* field = name + 3;
    uint64_t values[9] = {};
    bool complete = true;
    for (uint64_t& value : values) {
      char* end = nullptr;
      errno = 0;
      value = std::strtoull(field, &end, 10);
      if (end == field || errno != 0) {
        complete = false;
        break;
      }
      field = end;
    }
    if (complete) {
      transmitted = values[8];
    }
  }
  std::fclose(file);
  return transmitted;
}
