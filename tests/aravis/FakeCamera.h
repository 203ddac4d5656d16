// FakeCamera: one arv-fake-gv-camera process, Aravis's GigE Vision peer, listening on a loopback
// address (127.0.0.1 unless set) with a serial number of the test's choosing. start() puts that
// address on the namespace's loopback interface when it is another one, waits (bounded retries)
// until the camera answers a discovery request with that serial number and then applies the
// image size and packet size asked for (through arv-tool); kill() and stop() end that process by
// its id and reap it. The fake camera keeps its register state only while it runs, so every
// start() applies the settings again.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

class FakeCamera {
 public:
  explicit FakeCamera(std::string serialNumber, std::vector<std::string> extraArguments = {},
                      std::string listenAddress = address());
  ~FakeCamera();
  FakeCamera(const FakeCamera&) = delete;
  FakeCamera& operator=(const FakeCamera&) = delete;

  // Starts the process and waits until it answers; false (process ended) when it never does.
  bool start();
  // SIGKILL: the camera disappears without a word, as a pulled cable.
  void kill();
  // SIGTERM, then SIGKILL if it has not ended within a bound.
  void stop();
  bool running() const { return m_pid > 0; }
  pid_t pid() const { return m_pid; }

  // Set before start(): the loopback address to listen on (127.0.0.N), the image size and the
  // stream's packet size (0: the fake camera's own).
  void setAddress(std::string address) { m_address = std::move(address); }
  void setSize(uint32_t width, uint32_t height) {
    m_width = width;
    m_height = height;
  }
  void setPacketSize(uint32_t bytes) { m_packetSize = bytes; }
  // Any other feature, as "Name=value" (arv-tool's control syntax).
  void addControl(std::string assignment) { m_controls.push_back(std::move(assignment)); }
  const std::string& listenAddress() const { return m_address; }

  const std::string& serialNumber() const { return m_serialNumber; }
  static const char* address() { return "127.0.0.1"; }
  // A serial number no other camera of this test process has (at most 15 characters).
  static std::string uniqueSerialNumber();
  // Runs a helper program (ip, arv-tool, tc) with its output discarded, bounded in time; true when
  // it ended with status 0.
  static bool runHelper(std::vector<std::string> arguments);

 private:
  void reap();
  bool applySettings();

  std::string m_serialNumber;
  std::vector<std::string> m_extraArguments;
  pid_t m_pid = -1;
  std::string m_address = address();
  uint32_t m_width = 0;
  uint32_t m_height = 0;
  uint32_t m_packetSize = 0;
  std::vector<std::string> m_controls;
};
