// Zazod::Aravis::GvcpProbe: the GVCP discovery exchange over a UDP socket of its own.
#include "GvcpProbe.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstring>

#include "GvcpDiscoveryAck.h"

namespace Zazod::Aravis {

namespace {

constexpr uint16_t kGvcpPort = 3956;

bool toSocketAddress(const std::string& address, uint16_t port, sockaddr_in& out) {
  std::memset(&out, 0, sizeof out);
  out.sin_family = AF_INET;
  out.sin_port = htons(port);
  return inet_pton(AF_INET, address.c_str(), &out.sin_addr) == 1;
}

class Socket {
 public:
  Socket() : m_fd(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {}
  ~Socket() {
    if (m_fd >= 0) {
      close(m_fd);
    }
  }
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;
  int fd() const { return m_fd; }

 private:
  int m_fd;
};

}  // namespace

bool GvcpProbe::identify(const std::string& address, unsigned int timeoutMs, Identity& identity,
                         const char** refusal) {
  if (refusal != nullptr) {
    *refusal = nullptr;
  }
  sockaddr_in device{};
  if (!toSocketAddress(address, kGvcpPort, device)) {
    return false;
  }
  Socket socket;
  if (socket.fd() < 0 ||
      connect(socket.fd(), reinterpret_cast<const sockaddr*>(&device), sizeof device) != 0) {
    return false;
  }
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  const int tries = 3;
  for (int attempt = 0; attempt < tries; ++attempt) {
    const uint16_t requestId = static_cast<uint16_t>(attempt + 1);
    uint8_t command[GvcpDiscoveryAck::kHeaderSize];
    GvcpDiscoveryAck::command(requestId, command);
    if (send(socket.fd(), command, sizeof command, 0) != static_cast<ssize_t>(sizeof command)) {
      return false;
    }
    // Each try waits its share of what is left.
    const Clock::time_point tryEnd = Clock::now() + (deadline - Clock::now()) / (tries - attempt);
    for (;;) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(tryEnd - Clock::now()).count();
      if (left <= 0) {
        break;
      }
      pollfd entry{socket.fd(), POLLIN, 0};
      if (poll(&entry, 1, static_cast<int>(left)) <= 0) {
        break;
      }
      uint8_t answer[GvcpDiscoveryAck::kHeaderSize + GvcpDiscoveryAck::kMaxPayloadSize];
      // With MSG_TRUNC the datagram's own length comes back, also when it did not fit.
      const ssize_t size = recv(socket.fd(), answer, sizeof answer, MSG_TRUNC);
      if (size < 0) {
        break;  // e.g. connection refused: nothing listens there
      }
      const GvcpDiscoveryAck::Outcome outcome =
          static_cast<size_t>(size) > sizeof answer
              ? GvcpDiscoveryAck::Outcome{GvcpDiscoveryAck::Verdict::Refused,
                                          "the answer is longer than any GVCP answer"}
              : GvcpDiscoveryAck::parse(answer, static_cast<size_t>(size), requestId, identity);
      if (outcome.verdict == GvcpDiscoveryAck::Verdict::Ignored) {
        continue;
      }
      if (outcome.verdict == GvcpDiscoveryAck::Verdict::Refused) {
        if (refusal != nullptr) {
          *refusal = outcome.reason;
        }
        return false;
      }
      return true;
    }
  }
  return false;
}

std::string GvcpProbe::localAddressFor(const std::string& address) {
  sockaddr_in device{};
  if (!toSocketAddress(address, kGvcpPort, device)) {
    return std::string();
  }
  Socket socket;
  // Connecting a UDP socket only picks the route; nothing is sent.
  if (socket.fd() < 0 ||
      connect(socket.fd(), reinterpret_cast<const sockaddr*>(&device), sizeof device) != 0) {
    return std::string();
  }
  sockaddr_in local{};
  socklen_t size = sizeof local;
  if (getsockname(socket.fd(), reinterpret_cast<sockaddr*>(&local), &size) != 0) {
    return std::string();
  }
  char buffer[INET_ADDRSTRLEN] = {};
  return inet_ntop(AF_INET, &local.sin_addr, buffer, sizeof buffer) != nullptr ? buffer : std::string();
}

}  // namespace Zazod::Aravis
