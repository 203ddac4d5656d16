// FakeCamera: spawning, readiness polling and ending of the fake camera process.
#include "FakeCamera.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "GvcpProbe.h"

extern char** environ;

namespace {

constexpr int kReadinessTries = 100;  // of up to 100 ms each
constexpr unsigned int kReadinessProbeMs = 100;

}  // namespace

FakeCamera::FakeCamera(std::string serialNumber, std::vector<std::string> extraArguments,
                       std::string listenAddress)
    : m_serialNumber(std::move(serialNumber)),
      m_extraArguments(std::move(extraArguments)),
      m_listenAddress(std::move(listenAddress)) {}

FakeCamera::~FakeCamera() { stop(); }

std::string FakeCamera::uniqueSerialNumber() {
  static std::atomic<int> counter{0};
  return "ZZ" + std::to_string(getpid() % 100000) + "N" + std::to_string(counter.fetch_add(1));
}

bool FakeCamera::start() {
  if (m_pid > 0) {
    return true;
  }
  std::vector<std::string> arguments{ARV_FAKE_GV_CAMERA, "-i", m_listenAddress, "-s", m_serialNumber};
  arguments.insert(arguments.end(), m_extraArguments.begin(), m_extraArguments.end());
  std::vector<char*> argv;
  for (std::string& argument : arguments) {
    argv.push_back(argument.data());
  }
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  const int failed = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (failed != 0) {
    return false;
  }
  m_pid = pid;
  for (int attempt = 0; attempt < kReadinessTries; ++attempt) {
    Zazod::Aravis::GvcpProbe::Identity identity;
    if (Zazod::Aravis::GvcpProbe::identify(m_listenAddress, kReadinessProbeMs, identity) &&
        identity.serialNumber == m_serialNumber) {
      return true;
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
