// HostileGvcpDevice: a GVCP device of the test's own on a loopback address (port 3956): it answers
// every discovery command with the bytes it was given, the command's request id put into them, and
// counts the commands. Its thread is woken through an eventfd and joined by the destructor.
#pragma once

#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

class HostileGvcpDevice {
 public:
  HostileGvcpDevice(const char* address, std::vector<uint8_t> reply);
  ~HostileGvcpDevice();
  HostileGvcpDevice(const HostileGvcpDevice&) = delete;
  HostileGvcpDevice& operator=(const HostileGvcpDevice&) = delete;

  bool bound() const { return m_bound; }
  int commands() const { return m_commands.load(); }

 private:
  void serve();

  std::vector<uint8_t> m_reply;
  int m_fd = -1;
  int m_wake = -1;
  bool m_bound = false;
  std::atomic<int> m_commands{0};
  std::thread m_thread;
};
