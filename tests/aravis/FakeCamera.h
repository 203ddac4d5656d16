// FakeCamera: one arv-fake-gv-camera process, Aravis's GigE Vision peer, listening on a loopback
// address (127.0.0.1 unless chosen; another one must be on `lo`) with a serial number of the
// test's choosing. start() waits (bounded retries) until the camera
// answers a discovery request with that serial number; kill() and stop() end that process by its
// id and reap it. The fake camera keeps its register state only while it runs.
#pragma once

#include <sys/types.h>

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

  const std::string& serialNumber() const { return m_serialNumber; }
  // The default address; listenAddress() is this camera's.
  static const char* address() { return "127.0.0.1"; }
  const std::string& listenAddress() const { return m_listenAddress; }
  // A serial number no other camera of this test process has (at most 15 characters).
  static std::string uniqueSerialNumber();

 private:
  void reap();

  std::string m_serialNumber;
  std::vector<std::string> m_extraArguments;
  std::string m_listenAddress;
  pid_t m_pid = -1;
};
