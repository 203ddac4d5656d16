// Zazod::FakeUsb3::SharedState: mapping, checking and waiting on the shared state file.
#include "SharedState.h"

#include <fcntl.h>
#include <linux/futex.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>

namespace Zazod::FakeUsb3 {

namespace {

constexpr char kMagic[8] = {'Z', 'Z', 'F', 'U', 'S', 'B', '3', '\0'};

std::string bounded(const char* text) { return std::string(text, strnlen(text, kTextLength - 1)); }

}  // namespace

bool takeOne(uint32_t& field) {
  uint32_t value = __atomic_load_n(&field, __ATOMIC_ACQUIRE);
  while (value > 0) {
    if (__atomic_compare_exchange_n(&field, &value, value - 1, false, __ATOMIC_ACQ_REL, __ATOMIC_ACQUIRE)) {
      return true;
    }
  }
  return false;
}

SharedState::~SharedState() {
  if (m_file != nullptr) {
    munmap(m_file, sizeof(StateFile));
  }
}

SharedState::SharedState(SharedState&& other) noexcept : m_file(other.m_file) { other.m_file = nullptr; }

SharedState& SharedState::operator=(SharedState&& other) noexcept {
  if (this != &other) {
    if (m_file != nullptr) {
      munmap(m_file, sizeof(StateFile));
    }
    m_file = other.m_file;
    other.m_file = nullptr;
  }
  return *this;
}

SharedState SharedState::map(const std::string& path, std::string& error) {
  SharedState state;
  const int fd = open(path.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) {
    error = "cannot open " + path + ": " + std::strerror(errno);
    return state;
  }
  struct stat info {};
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) ||
      static_cast<uint64_t>(info.st_size) < sizeof(StateFile)) {
    close(fd);
    error = path + " is no fake USB3 state file (too small or not a regular file)";
    return state;
  }
  void* memory = mmap(nullptr, sizeof(StateFile), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  close(fd);
  if (memory == MAP_FAILED) {
    error = "cannot map " + path + ": " + std::strerror(errno);
    return state;
  }
  auto* file = static_cast<StateFile*>(memory);
  if (std::memcmp(file->magic, kMagic, sizeof(kMagic)) != 0 || load(file->version) != kStateVersion ||
      load(file->cameraCount) > kMaxCameras) {
    munmap(memory, sizeof(StateFile));
    error = path + " is no fake USB3 state file of version " + std::to_string(kStateVersion);
    return state;
  }
  state.m_file = file;
  return state;
}

SharedState SharedState::makeFile(const std::string& path, std::string& error) {
  const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) {
    error = "cannot create " + path + ": " + std::strerror(errno);
    return {};
  }
  StateFile initial{};
  std::memcpy(initial.magic, kMagic, sizeof(kMagic));
  initial.version = kStateVersion;
  const char* bytes = reinterpret_cast<const char*>(&initial);
  size_t written = 0;
  while (written < sizeof(initial)) {
    const ssize_t n = write(fd, bytes + written, sizeof(initial) - written);
    if (n <= 0) {
      close(fd);
      error = "cannot write " + path + ": " + std::strerror(errno);
      return {};
    }
    written += static_cast<size_t>(n);
  }
  close(fd);
  return map(path, error);
}

size_t SharedState::cameraCount() const {
  if (m_file == nullptr) {
    return 0;
  }
  const uint32_t count = load(m_file->cameraCount);
  return count <= kMaxCameras ? count : 0;
}

CameraRecord* SharedState::record(size_t camera) const {
  return camera < cameraCount() ? &m_file->cameras[camera] : nullptr;
}

bool SharedState::identity(size_t camera, CameraIdentity& identity) const {
  const CameraRecord* entry = record(camera);
  if (entry == nullptr) {
    return false;
  }
  const uint32_t width = load(entry->width);
  const uint32_t height = load(entry->height);
  if (width == 0 || height == 0 || width > kMaxDimension || height > kMaxDimension ||
      static_cast<uint64_t>(width) * height > kMaxPayloadBytes) {
    return false;
  }
  CameraIdentity read;
  read.serial = bounded(entry->serial);
  read.vendor = bounded(entry->vendor);
  read.model = bounded(entry->model);
  read.width = width;
  read.height = height;
  if (read.serial.empty()) {
    return false;
  }
  identity = std::move(read);
  return true;
}

void SharedState::bump() const {
  if (m_file == nullptr) {
    return;
  }
  __atomic_fetch_add(&m_file->generation, 1U, __ATOMIC_ACQ_REL);
  syscall(SYS_futex, &m_file->generation, FUTEX_WAKE, INT32_MAX, nullptr, nullptr, 0);
}

uint32_t SharedState::generation() const { return m_file != nullptr ? load(m_file->generation) : 0; }

void SharedState::waitChange(uint32_t seen, int64_t timeoutNs) const {
  if (m_file == nullptr || timeoutNs <= 0) {
    return;
  }
  timespec timeout{};
  timeout.tv_sec = static_cast<time_t>(timeoutNs / 1000000000);
  timeout.tv_nsec = static_cast<long>(timeoutNs % 1000000000);
  syscall(SYS_futex, &m_file->generation, FUTEX_WAIT, seen, &timeout, nullptr, 0);
}

}  // namespace Zazod::FakeUsb3
