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

namespace Zazod::Aravis {

namespace {

constexpr uint16_t kGvcpPort = 3956;
constexpr uint8_t kGvcpKey = 0x42;
constexpr uint8_t kFlagAcknowledge = 0x01;
constexpr uint16_t kDiscoveryCommand = 0x0002;
constexpr uint16_t kDiscoveryAck = 0x0003;
constexpr size_t kHeaderSize = 8;
// Offsets in the acknowledge's payload (the same as in the device's bootstrap registers).
constexpr size_t kManufacturerOffset = 0x48;
constexpr size_t kModelOffset = 0x68;
constexpr size_t kSerialOffset = 0xd8;
constexpr size_t kSerialSize = 16;
constexpr size_t kUserNameOffset = 0xe8;
constexpr size_t kNameSize = 32;

bool toSocketAddress(const std::string& address, uint16_t port, sockaddr_in& out) {
  std::memset(&out, 0, sizeof out);
  out.sin_family = AF_INET;
  out.sin_port = htons(port);
  return inet_pton(AF_INET, address.c_str(), &out.sin_addr) == 1;
}

std::string text(const uint8_t* payload, size_t payloadSize, size_t offset, size_t size) {
  if (offset + size > payloadSize) {
    return std::string();
  }
  const char* begin = reinterpret_cast<const char*>(payload + offset);
  return std::string(begin, strnlen(begin, size));
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

bool GvcpProbe::identify(const std::string& address, unsigned int timeoutMs, Identity& identity) {
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
    const uint8_t command[kHeaderSize] = {kGvcpKey,
                                          kFlagAcknowledge,
                                          0,
                                          kDiscoveryCommand,
                                          0,
                                          0,
                                          static_cast<uint8_t>(requestId >> 8),
                                          static_cast<uint8_t>(requestId & 0xff)};
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
      uint8_t answer[1024];
      const ssize_t size = recv(socket.fd(), answer, sizeof answer, 0);
      if (size < static_cast<ssize_t>(kHeaderSize)) {
        if (size < 0) {
          break;  // e.g. connection refused: nothing listens there
        }
        continue;
      }
      const uint16_t status = static_cast<uint16_t>((answer[0] << 8) | answer[1]);
      const uint16_t ack = static_cast<uint16_t>((answer[2] << 8) | answer[3]);
      const uint16_t ackId = static_cast<uint16_t>((answer[6] << 8) | answer[7]);
      if (status != 0 || ack != kDiscoveryAck || ackId != requestId) {
        continue;
      }
      const uint8_t* payload = answer + kHeaderSize;
      const size_t payloadSize = static_cast<size_t>(size) - kHeaderSize;
      identity.vendor = text(payload, payloadSize, kManufacturerOffset, kNameSize);
      identity.model = text(payload, payloadSize, kModelOffset, kNameSize);
      identity.serialNumber = text(payload, payloadSize, kSerialOffset, kSerialSize);
      identity.userDefinedName = text(payload, payloadSize, kUserNameOffset, kSerialSize);
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
