// HostileGvcpDevice: the answering loop over a UDP socket and its wake-up.
#include "HostileGvcpDevice.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

HostileGvcpDevice::HostileGvcpDevice(const char* address, std::vector<uint8_t> reply)
    : m_reply(std::move(reply)) {
  m_fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  m_wake = eventfd(0, EFD_CLOEXEC);
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_port = htons(3956);
  m_bound = m_fd >= 0 && m_wake >= 0 && inet_pton(AF_INET, address, &local.sin_addr) == 1 &&
            bind(m_fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) == 0;
  if (m_bound) {
    m_thread = std::thread([this] { serve(); });
  }
}

HostileGvcpDevice::~HostileGvcpDevice() {
  if (m_thread.joinable()) {
    const uint64_t one = 1;
    (void)!write(m_wake, &one, sizeof one);
    m_thread.join();
  }
  for (const int fd : {m_fd, m_wake}) {
    if (fd >= 0) {
      close(fd);
    }
  }
}

void HostileGvcpDevice::serve() {
  for (;;) {
    pollfd entries[2] = {{m_fd, POLLIN, 0}, {m_wake, POLLIN, 0}};
    if (poll(entries, 2, -1) < 0 || (entries[1].revents & POLLIN) != 0) {
      return;
    }
    uint8_t command[64];
    sockaddr_in peer{};
    socklen_t size = sizeof peer;
    const ssize_t got = recvfrom(m_fd, command, sizeof command, 0, reinterpret_cast<sockaddr*>(&peer), &size);
    if (got < 8) {
      continue;
    }
    m_commands.fetch_add(1);
    std::vector<uint8_t> reply = m_reply;
    if (reply.size() >= 8) {
      reply[6] = command[6];
      reply[7] = command[7];
    }
    sendto(m_fd, reply.data(), reply.size(), 0, reinterpret_cast<const sockaddr*>(&peer), size);
  }
}
