// Zazod::FakeUsb3::FakeUsb3Control: how tests, scripts and the fake library itself set up and
// steer fake USB3 Vision cameras. The cameras live in one state file shared by every process that
// attaches to it (the fake library finds it through ZAZOD_FAKE_USB3_STATE at each libusb_init):
// who is plugged in, faults armed for the next occurrences, the Line1 pulse rate and counters.
// Invalid camera indices and unusable files throw std::runtime_error with a clear message.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "SharedState.h"

namespace Zazod::FakeUsb3 {

// How an unplug shows: LIBUSB_ERROR_NO_DEVICE from every call on the device, or that and the
// hotplug DEVICE_LEFT callback too.
enum class Removal { NoDevice, DeviceLeft };

// Each is armed for the next `count` occurrences.
enum class Fault {
  StallStream,      // the stream endpoint stalls (LIBUSB_ERROR_PIPE) on the next payload transfer
  TransferTimeout,  // the next stream transfer times out (LIBUSB_ERROR_TIMEOUT) mid-frame
  ShortPayload,     // the next frame's payload is shorter than the leader describes
  OverlongPayload,  // the next frame's payload is longer than the leader describes / the buffer
  TrailerError,     // the next frame's trailer carries an error status
  AckWrongId,       // the next control acknowledge carries the wrong request id
  AckError,         // the next control acknowledge carries an error status
  PendingAck,       // the next control command is answered first with a pending acknowledge
};

struct CameraSetup {
  std::string serial;
  uint32_t width = 640, height = 480;
  std::string vendor = "Basler";
  std::string model = "Fake USB3 Vision camera";
};

class FakeUsb3Control {
 public:
  // A new state file at `path` (an old one is replaced) with these cameras, all plugged in.
  static FakeUsb3Control create(const std::string& path, const std::vector<CameraSetup>& cameras);
  // An existing state file.
  static FakeUsb3Control attach(const std::string& path);

  size_t cameraCount() const;
  void unplug(size_t camera, Removal how);
  // The same device comes back (a new enumeration entry).
  void replug(size_t camera);
  void arm(size_t camera, Fault fault, uint32_t count = 1);
  // Hardware pulses on Line1 while acquiring (0: none).
  void setLine1Hz(size_t camera, double hz);
  // The free-running frame rate (0: as fast as the host reads; 30 after create).
  void setFrameRateHz(size_t camera, double hz);

  // No fault armed any more.
  void disarmAll(size_t camera);
  // Every counter back to 0.
  void resetCounters(size_t camera);

  struct Counters {
    uint64_t framesSent;           // frames sent whole, as the leader described them
    uint64_t triggersReceived;     // TriggerSoftware commands executed
    uint64_t framesFailedByFault;  // frames an armed stream fault spoiled
    uint64_t controlCommands;      // GenCP commands received on the control endpoint
    uint64_t line1Pulses;          // Line1 pulses that triggered a frame
  };
  Counters counters(size_t camera) const;
  // Faults still armed of one kind.
  uint32_t armed(size_t camera, Fault fault) const;
  bool plugged(size_t camera) const;

  // Fault names as the command line takes them ("stall-stream", "ack-wrong-id", ...).
  static bool faultFromName(const std::string& name, Fault& fault);
  static const char* faultName(Fault fault);
  static constexpr uint32_t kDefaultFrameRateMilliHz = 30000;

 private:
  explicit FakeUsb3Control(SharedState state) : m_state(std::move(state)) {}
  CameraRecord& at(size_t camera) const;

  SharedState m_state;
};

}  // namespace Zazod::FakeUsb3
