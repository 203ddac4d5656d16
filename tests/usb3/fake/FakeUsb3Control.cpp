// Zazod::FakeUsb3::FakeUsb3Control: the control API over the shared state file.
#include "FakeUsb3Control.h"

#include <cmath>
#include <cstring>
#include <stdexcept>

namespace Zazod::FakeUsb3 {

namespace {

constexpr const char* kFaultNames[kFaultKinds] = {
    "stall-stream",  "transfer-timeout", "short-payload", "overlong-payload",
    "trailer-error", "ack-wrong-id",     "ack-error",     "pending-ack",
};

void copyText(char (&target)[kTextLength], const std::string& text, const char* what) {
  if (text.size() >= kTextLength) {
    throw std::runtime_error(std::string("fake USB3 camera ") + what + " \"" + text + "\" is longer than " +
                             std::to_string(kTextLength - 1) + " characters");
  }
  std::memset(target, 0, sizeof(target));
  std::memcpy(target, text.data(), text.size());
}

uint32_t milliHz(double hz, const char* what) {
  if (!std::isfinite(hz) || hz < 0 || hz > 100000) {
    throw std::runtime_error(std::string("fake USB3 camera: ") + what + " must be between 0 and 100000 Hz");
  }
  return static_cast<uint32_t>(std::lround(hz * 1000));
}

}  // namespace

FakeUsb3Control FakeUsb3Control::create(const std::string& path, const std::vector<CameraSetup>& cameras) {
  if (cameras.size() > kMaxCameras) {
    throw std::runtime_error("fake USB3 cameras: at most " + std::to_string(kMaxCameras) + " cameras");
  }
  std::vector<CameraRecord> records(cameras.size());
  for (size_t i = 0; i < cameras.size(); ++i) {
    const CameraSetup& setup = cameras[i];
    if (setup.serial.empty()) {
      throw std::runtime_error("fake USB3 camera " + std::to_string(i) + ": empty serial number");
    }
    if (setup.width == 0 || setup.height == 0 || setup.width > kMaxDimension ||
        setup.height > kMaxDimension ||
        static_cast<uint64_t>(setup.width) * setup.height > kMaxPayloadBytes) {
      throw std::runtime_error("fake USB3 camera " + setup.serial + ": image size " +
                               std::to_string(setup.width) + "x" + std::to_string(setup.height) +
                               " out of range");
    }
    CameraRecord& record = records[i];
    copyText(record.serial, setup.serial, "serial number");
    copyText(record.vendor, setup.vendor, "vendor");
    copyText(record.model, setup.model, "model");
    record.width = setup.width;
    record.height = setup.height;
    record.present = 1;
    record.frameRateMilliHz = kDefaultFrameRateMilliHz;
  }
  std::string error;
  SharedState state = SharedState::makeFile(path, error);
  if (!state.valid()) {
    throw std::runtime_error(error);
  }
  for (size_t i = 0; i < records.size(); ++i) {
    state.file()->cameras[i] = records[i];
  }
  store(state.file()->cameraCount, static_cast<uint32_t>(records.size()));
  state.bump();
  return FakeUsb3Control(std::move(state));
}

FakeUsb3Control FakeUsb3Control::attach(const std::string& path) {
  std::string error;
  SharedState state = SharedState::map(path, error);
  if (!state.valid()) {
    throw std::runtime_error(error);
  }
  return FakeUsb3Control(std::move(state));
}

size_t FakeUsb3Control::cameraCount() const { return m_state.cameraCount(); }

CameraRecord& FakeUsb3Control::at(size_t camera) const {
  CameraRecord* record = m_state.record(camera);
  if (record == nullptr) {
    throw std::runtime_error("fake USB3 camera " + std::to_string(camera) + " does not exist (" +
                             std::to_string(m_state.cameraCount()) + " cameras)");
  }
  return *record;
}

void FakeUsb3Control::unplug(size_t camera, Removal how) {
  CameraRecord& record = at(camera);
  store(record.removal, static_cast<uint32_t>(how));
  store(record.present, 0);
  m_state.bump();
}

void FakeUsb3Control::replug(size_t camera) {
  CameraRecord& record = at(camera);
  if (load(record.present) == 0) {
    add(record.plugGeneration, 1U);
    store(record.present, 1);
  }
  m_state.bump();
}

void FakeUsb3Control::arm(size_t camera, Fault fault, uint32_t count) {
  const auto kind = static_cast<size_t>(fault);
  if (kind >= kFaultKinds) {
    throw std::runtime_error("fake USB3 camera: unknown fault");
  }
  add(at(camera).faults[kind], count);
  m_state.bump();
}

void FakeUsb3Control::setLine1Hz(size_t camera, double hz) {
  store(at(camera).line1MilliHz, milliHz(hz, "the Line1 rate"));
  m_state.bump();
}

void FakeUsb3Control::setFrameRateHz(size_t camera, double hz) {
  store(at(camera).frameRateMilliHz, milliHz(hz, "the frame rate"));
  m_state.bump();
}

void FakeUsb3Control::disarmAll(size_t camera) {
  CameraRecord& record = at(camera);
  for (uint32_t& armed : record.faults) {
    store(armed, 0);
  }
  m_state.bump();
}

void FakeUsb3Control::resetCounters(size_t camera) {
  CameraRecord& record = at(camera);
  for (uint64_t* counter : {&record.framesSent, &record.triggersReceived, &record.framesFailedByFault,
                            &record.controlCommands, &record.line1Pulses}) {
    __atomic_store_n(counter, 0, __ATOMIC_RELEASE);
  }
}

FakeUsb3Control::Counters FakeUsb3Control::counters(size_t camera) const {
  const CameraRecord& record = at(camera);
  return {load(record.framesSent), load(record.triggersReceived), load(record.framesFailedByFault),
          load(record.controlCommands), load(record.line1Pulses)};
}

uint32_t FakeUsb3Control::armed(size_t camera, Fault fault) const {
  const auto kind = static_cast<size_t>(fault);
  return kind < kFaultKinds ? load(at(camera).faults[kind]) : 0;
}

bool FakeUsb3Control::plugged(size_t camera) const { return load(at(camera).present) != 0; }

bool FakeUsb3Control::faultFromName(const std::string& name, Fault& fault) {
  for (size_t i = 0; i < kFaultKinds; ++i) {
    if (name == kFaultNames[i]) {
      fault = static_cast<Fault>(i);
      return true;
    }
  }
  return false;
}

const char* FakeUsb3Control::faultName(Fault fault) {
  const auto kind = static_cast<size_t>(fault);
  return kind < kFaultKinds ? kFaultNames[kind] : "unknown";
}

}  // namespace Zazod::FakeUsb3
