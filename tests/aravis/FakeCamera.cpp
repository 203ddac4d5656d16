// FakeCamera: spawning, readiness polling and ending of the fake camera process.
#include "FakeCamera.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <thread>

#include "GvcpProbe.h"

extern char** environ;

namespace {

constexpr int kReadinessTries = 100;  // of up to 100 ms each
constexpr unsigned int kReadinessProbeMs = 100;
// What one helper command (ip, arv-tool) may take at most.
constexpr const char* kHelperTimeoutSeconds = "10";

// Starts a program (a path, or a name found on PATH) with its output discarded; -1 when it could
// not be started.
pid_t spawnQuietly(std::vector<std::string> arguments) {
  std::vector<char*> argv;
  argv.reserve(arguments.size() + 1);
  for (std::string& argument : arguments) {
    argv.push_back(argument.data());
  }
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  const int failed = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  return failed == 0 ? pid : -1;
}

}  // namespace

bool FakeCamera::runHelper(std::vector<std::string> arguments) {
  arguments.insert(arguments.begin(), {"timeout", kHelperTimeoutSeconds});
  const pid_t pid = spawnQuietly(std::move(arguments));
  if (pid < 0) {
    return false;
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) {
      return false;
    }
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

namespace {

// The fake camera listens only on an address that an interface carries: any 127.0.0.N other than
// 127.0.0.1 is added to this namespace's loopback first ("ip addr add" fails when it is there
// already, which is fine).
void carryOnLoopback(const std::string& address) {
  if (address != FakeCamera::address()) {
    FakeCamera::runHelper({"ip", "addr", "add", address + "/8", "dev", "lo"});
  }
}

}  // namespace

FakeCamera::FakeCamera(std::string serialNumber, std::vector<std::string> extraArguments,
                       std::string listenAddress)
    : m_serialNumber(std::move(serialNumber)),
      m_extraArguments(std::move(extraArguments)),
      m_address(std::move(listenAddress)) {}

FakeCamera::~FakeCamera() { stop(); }

std::string FakeCamera::uniqueSerialNumber() {
  static std::atomic<int> counter{0};
  return "ZZ" + std::to_string(getpid() % 100000) + "N" + std::to_string(counter.fetch_add(1));
}

bool FakeCamera::start() {
  if (m_pid > 0) {
    return true;
  }
  carryOnLoopback(m_address);
  std::vector<std::string> arguments{ARV_FAKE_GV_CAMERA, "-i", m_address, "-s", m_serialNumber};
  arguments.insert(arguments.end(), m_extraArguments.begin(), m_extraArguments.end());
  const pid_t pid = spawnQuietly(std::move(arguments));
  if (pid < 0) {
    return false;
  }
  m_pid = pid;
  for (int attempt = 0; attempt < kReadinessTries; ++attempt) {
    Zazod::Aravis::GvcpProbe::Identity identity;
    if (Zazod::Aravis::GvcpProbe::identify(m_address, kReadinessProbeMs, identity) &&
        identity.serialNumber == m_serialNumber) {
      if (applySettings()) {
        return true;
      }
      break;
    }
    int status = 0;
    if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
      m_pid = -1;
      return false;
    }
    // The probe returns at once while nothing listens yet: wait out the rest of this try.
    std::this_thread::sleep_for(std::chrono::milliseconds(kReadinessProbeMs));
  }
  kill();
  return false;
}

bool FakeCamera::applySettings() {
  std::vector<std::string> controls;
  if (m_width != 0 && m_height != 0) {
    controls.push_back("Width=" + std::to_string(m_width));
    controls.push_back("Height=" + std::to_string(m_height));
  }
  if (m_packetSize != 0) {
    controls.push_back("GevSCPSPacketSize=" + std::to_string(m_packetSize));
  }
  controls.insert(controls.end(), m_controls.begin(), m_controls.end());
  if (controls.empty()) {
    return true;
  }
  std::vector<std::string> arguments{"arv-tool-0.8", "-a", m_address, "control"};
  arguments.insert(arguments.end(), controls.begin(), controls.end());
  return FakeCamera::runHelper(arguments);
}

void FakeCamera::kill() {
  if (m_pid > 0) {
    ::kill(m_pid, SIGKILL);
    reap();
  }
}

void FakeCamera::stop() {
  if (m_pid <= 0) {
    return;
  }
  ::kill(m_pid, SIGTERM);
  for (int i = 0; i < 200; ++i) {
    int status = 0;
    if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
      m_pid = -1;
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  kill();
}

void FakeCamera::reap() {
  int status = 0;
  while (waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
  }
  m_pid = -1;
}
