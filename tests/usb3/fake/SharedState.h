// Zazod::FakeUsb3::SharedState: the file the fake USB3 Vision cameras of several processes share
// (the control API writes it, every process that loads the fake library reads it). It holds a
// fixed layout: a header with a magic, a version and the camera count, then one record per
// camera with its identity, its plug state, armed faults and counters. Flags and counters are
// touched only atomically; everything read from the file is checked against its bounds, since
// another process may write anything there. `generation` is bumped on every change, and waiters
// sleep on it (a futex in the shared mapping), so a change made by any process wakes them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace Zazod::FakeUsb3 {

constexpr uint32_t kStateVersion = 1;
constexpr size_t kMaxCameras = 16;
constexpr size_t kTextLength = 64;
constexpr size_t kFaultKinds = 8;
constexpr uint32_t kMaxDimension = 16384;
constexpr uint64_t kMaxPayloadBytes = 64ULL << 20;

struct CameraRecord {
  char serial[kTextLength];
  char vendor[kTextLength];
  char model[kTextLength];
  uint32_t width;
  uint32_t height;
  uint32_t present;         // 1 while plugged in
  uint32_t removal;         // how the last unplug shows (Removal)
  uint32_t plugGeneration;  // counts replugs: a new device object each time
  uint32_t faults[kFaultKinds];
  uint32_t line1MilliHz;
  uint32_t frameRateMilliHz;  // free-running rate; 0: as fast as the host reads
  uint32_t reserved;
  uint64_t framesSent;
  uint64_t triggersReceived;
  uint64_t framesFailedByFault;
  uint64_t controlCommands;
  uint64_t line1Pulses;
};

struct StateFile {
  char magic[8];
  uint32_t version;
  uint32_t cameraCount;
  uint32_t generation;
  uint32_t reserved;
  CameraRecord cameras[kMaxCameras];
};

// The identity of one camera as read from the file: strings cut at their bound, sizes checked.
struct CameraIdentity {
  std::string serial;
  std::string vendor;
  std::string model;
  uint32_t width = 0;
  uint32_t height = 0;
};

class SharedState {
 public:
  SharedState() = default;
  ~SharedState();
  SharedState(SharedState&& other) noexcept;
  SharedState& operator=(SharedState&& other) noexcept;
  SharedState(const SharedState&) = delete;
  SharedState& operator=(const SharedState&) = delete;

  // Maps an existing file; an invalid one (size, magic, version, count) leaves the state empty and
  // sets `error`.
  static SharedState map(const std::string& path, std::string& error);
  // Makes a new file of the layout (truncating any old one) and maps it.
  static SharedState makeFile(const std::string& path, std::string& error);

  bool valid() const { return m_file != nullptr; }
  size_t cameraCount() const;
  // False (and `identity` untouched) when the record is out of bounds or holds sizes no camera has.
  bool identity(size_t camera, CameraIdentity& identity) const;
  CameraRecord* record(size_t camera) const;
  StateFile* file() const { return m_file; }

  // Announce a change to every waiter of every process.
  void bump() const;
  uint32_t generation() const;
  // Waits until the generation differs from `seen` or `timeoutNs` passes (spurious returns allowed).
  void waitChange(uint32_t seen, int64_t timeoutNs) const;

 private:
  StateFile* m_file = nullptr;
};

// Atomic access to fields of the shared mapping.
inline uint32_t load(const uint32_t& field) { return __atomic_load_n(&field, __ATOMIC_ACQUIRE); }
inline uint64_t load(const uint64_t& field) { return __atomic_load_n(&field, __ATOMIC_ACQUIRE); }
inline void store(uint32_t& field, uint32_t value) { __atomic_store_n(&field, value, __ATOMIC_RELEASE); }
inline void add(uint64_t& field, uint64_t value) { __atomic_fetch_add(&field, value, __ATOMIC_ACQ_REL); }
inline void add(uint32_t& field, uint32_t value) { __atomic_fetch_add(&field, value, __ATOMIC_ACQ_REL); }
// Takes one from a positive count; false when it was zero.
bool takeOne(uint32_t& field);

}  // namespace Zazod::FakeUsb3
