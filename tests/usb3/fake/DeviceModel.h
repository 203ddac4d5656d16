// Zazod::FakeUsb3::DeviceModel: one fake USB3 Vision camera as one process sees it while it is
// plugged in: its register map (bootstrap ABRM, SBRM, SIRM, the manifest and the GenICam file,
// the feature registers), the GenCP control channel (commands in, acknowledges out, with request
// ids, status codes, transfer limits and the armed control faults), and the stream (leader,
// Mono8 test-pattern payload and trailer per frame, paced by the free-running rate, software
// triggers or Line1 pulses, spoiled by the armed stream faults). Nothing here blocks: the libusb
// layer waits on the shared state's change counter between calls. Every address, length and
// buffer size the host gives is checked; nothing is written past a buffer.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "SharedState.h"

namespace Zazod::FakeUsb3 {

class DeviceModel {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr uint32_t kMaxCommandTransfer = 1024;
  static constexpr uint32_t kMaxAckTransfer = 1024;
  static constexpr uint32_t kResponseTimeMs = 200;
  static constexpr uint32_t kLeaderBytes = 52;
  static constexpr uint32_t kTrailerBytes = 32;
  static constexpr uint16_t kTrailerErrorStatus = 0xA104;  // data discarded
  static constexpr uint16_t kAckErrorStatus = 0x8006;      // access denied
  static constexpr uint32_t kOverlongExtraBytes = 256;
  static constexpr uint32_t kMaxPendingTriggers = 16;
  static constexpr uint64_t kSbrmAddress = 0x1000;
  static constexpr uint64_t kSirmAddress = 0x2000;
  static constexpr uint64_t kManifestAddress = 0x3000;
  static constexpr uint64_t kXmlAddress = 0x100000;

  enum class Stream { Data, Wait, Stall, TimedOut, Overflow, NoDevice };

  DeviceModel(const SharedState& state, size_t index, const CameraIdentity& identity,
              uint32_t plugGeneration);

  // Gone: unplugged, or replugged as another device object.
  bool lost() const;
  bool reportsDeviceLeft() const;

  // A command on the control OUT endpoint; its answer is queued for the IN endpoint. Returns a
  // libusb status.
  int controlOut(const uint8_t* data, int length);
  // The next queued answer; LIBUSB_ERROR_TIMEOUT when there is none yet.
  int controlIn(uint8_t* data, int length, int* transferred);

  // The next piece of the stream into `data` (at most `length` bytes). Wait: nothing to send yet,
  // call again at `wake` or when the shared state changes.
  Stream streamRead(uint8_t* data, int length, int* transferred, Clock::time_point* wake);

 private:
  struct Region {
    uint64_t base;
    std::vector<uint8_t>* bytes;
  };
  enum class Phase { Idle, Leader, Payload, Trailer };

  // Register access as GenCP sees it (under the lock): a GenCP status.
  uint16_t readMemory(uint64_t address, uint8_t* out, size_t length);
  uint16_t writeMemory(uint64_t address, const uint8_t* data, size_t length);
  void buildBootstrap();
  uint32_t feature(uint32_t offset) const;
  uint16_t writeFeature(uint32_t offset, uint32_t value, uint32_t high, bool wide);
  void refreshFeatures();
  void startAcquisition();
  void stopFrame();
  bool frameDue(Clock::time_point now, Clock::time_point* wake);
  void addTrigger(bool acquisitionTrigger);
  void beginFrame(Clock::time_point now);
  void fillPayload(uint8_t* out, uint64_t offset, size_t length) const;
  void finishFrame();
  CameraRecord* record() const { return m_state.record(m_index); }

  const SharedState& m_state;
  const size_t m_index;
  const CameraIdentity m_identity;
  const uint32_t m_plugGeneration;

  mutable std::mutex m_mutex;
  std::vector<uint8_t> m_abrm, m_sbrm, m_sirm, m_manifest, m_xml, m_features;
  std::deque<std::vector<uint8_t>> m_acks;

  // Feature state.
  uint32_t m_width, m_height;
  uint32_t m_acquisitionMode = 0;
  uint32_t m_selector = 0;
  uint32_t m_triggerMode[2] = {0, 0};
  uint32_t m_triggerSource[2] = {0, 0};
  bool m_acquiring = false;
  bool m_acquisitionTriggered = false;
  uint32_t m_pendingFrames = 0;
  Clock::time_point m_nextFrame{};
  Clock::time_point m_nextPulse{};

  // The frame being sent.
  Phase m_phase = Phase::Idle;
  uint64_t m_blockId = 0;
  uint64_t m_payloadBytes = 0;  // what is sent
  uint64_t m_payloadSent = 0;
  uint32_t m_frameWidth = 0, m_frameHeight = 0;
  uint16_t m_trailerStatus = 0;
  bool m_spoiled = false;
  Clock::time_point m_frameTime{};
  std::vector<uint8_t> m_ramp;
};

}  // namespace Zazod::FakeUsb3
