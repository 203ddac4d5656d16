// Zazod::FakeUsb3::DeviceModel: registers, the GenCP channel and frame production of one camera.
#include "DeviceModel.h"

#include <libusb-1.0/libusb.h>

#include <algorithm>
#include <cstring>

#include "FakeUsb3Control.h"
#include "GenCpPacket.h"
#include "GenicamDescription.h"

namespace Zazod::FakeUsb3 {

namespace {

using G = GenicamDescription;

void putText(std::vector<uint8_t>& bytes, size_t offset, const std::string& text) {
  const size_t length = std::min(text.size(), kTextLength - 1);
  std::memcpy(bytes.data() + offset, text.data(), length);
}

int64_t nanoseconds(DeviceModel::Clock::time_point t) {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(t.time_since_epoch()).count();
}

DeviceModel::Clock::duration periodOf(uint32_t milliHz) {
  return std::chrono::nanoseconds(static_cast<int64_t>(1e12 / milliHz));
}

bool fault(CameraRecord* record, Fault kind) {
  return record != nullptr && takeOne(record->faults[static_cast<size_t>(kind)]);
}

double asDouble(uint32_t low, uint32_t high) {
  const uint64_t bits = low | (static_cast<uint64_t>(high) << 32);
  double value = 0;
  std::memcpy(&value, &bits, sizeof(value));
  return value;
}

}  // namespace

DeviceModel::DeviceModel(const SharedState& state, size_t index, const CameraIdentity& identity,
                         uint32_t plugGeneration)
    : m_state(state),
      m_index(index),
      m_identity(identity),
      m_plugGeneration(plugGeneration),
      m_width(identity.width),
      m_height(identity.height) {
  buildBootstrap();
  m_ramp.resize(static_cast<size_t>(identity.width) + 255);
  for (size_t i = 0; i < m_ramp.size(); ++i) {
    m_ramp[i] = static_cast<uint8_t>(i % 255);
  }
}

void DeviceModel::buildBootstrap() {
  m_abrm.assign(0x210, 0);
  writeU32(m_abrm.data() + 0x0000, 0x00010000);  // GenCP 1.0
  putText(m_abrm, 0x0004, m_identity.vendor);
  putText(m_abrm, 0x0044, m_identity.model);
  putText(m_abrm, 0x0084, "Fake");
  putText(m_abrm, 0x00C4, "1.0");
  putText(m_abrm, 0x0104, "zaZod test device");
  putText(m_abrm, 0x0144, m_identity.serial);
  writeU64(m_abrm.data() + 0x01C4, 0x301);  // user name, family name, SBRM
  writeU32(m_abrm.data() + 0x01CC, kResponseTimeMs);
  writeU64(m_abrm.data() + 0x01D0, kManifestAddress);
  writeU64(m_abrm.data() + 0x01D8, kSbrmAddress);
  writeU64(m_abrm.data() + 0x01FC, 1);           // timestamp increment: 1 ns
  writeU32(m_abrm.data() + 0x0208, 0xFFFFFFFF);  // little endian
  writeU32(m_abrm.data() + 0x020C, 0xFFFFFFFF);

  m_sbrm.assign(0x44, 0);
  writeU32(m_sbrm.data() + 0x00, 0x00010000);
  writeU32(m_sbrm.data() + 0x14, kMaxCommandTransfer);
  writeU32(m_sbrm.data() + 0x18, kMaxAckTransfer);
  writeU32(m_sbrm.data() + 0x1C, 1);
  writeU64(m_sbrm.data() + 0x20, kSirmAddress);
  writeU32(m_sbrm.data() + 0x28, 0x30);
  writeU32(m_sbrm.data() + 0x40, 4);  // SuperSpeed

  m_sirm.assign(0x30, 0);
  writeU32(m_sirm.data() + 0x10, kLeaderBytes);
  writeU32(m_sirm.data() + 0x14, kTrailerBytes);

  m_xml.assign(G::xml().begin(), G::xml().end());
  m_manifest.assign(8 + 64, 0);
  writeU64(m_manifest.data(), 1);
  writeU32(m_manifest.data() + 8, 0x01000000);  // file version 1.0.0
  writeU32(m_manifest.data() + 12, 0);          // schema: raw XML
  writeU64(m_manifest.data() + 16, kXmlAddress);
  writeU64(m_manifest.data() + 24, m_xml.size());

  m_features.assign(G::End, 0);
  const double rate = 0;
  std::memcpy(m_features.data() + G::AcquisitionFrameRate, &rate, sizeof(rate));
  const double exposure = 10000;
  std::memcpy(m_features.data() + G::ExposureTime, &exposure, sizeof(exposure));
}

bool DeviceModel::lost() const {
  const CameraRecord* entry = record();
  return entry == nullptr || load(entry->present) == 0 || load(entry->plugGeneration) != m_plugGeneration;
}

bool DeviceModel::reportsDeviceLeft() const {
  const CameraRecord* entry = record();
  return entry == nullptr || load(entry->removal) == static_cast<uint32_t>(Removal::DeviceLeft);
}

void DeviceModel::refreshFeatures() {
  uint8_t* f = m_features.data();
  writeU32(f + G::Width, m_width);
  writeU32(f + G::Height, m_height);
  writeU32(f + G::WidthMax, m_identity.width);
  writeU32(f + G::HeightMax, m_identity.height);
  writeU32(f + G::SensorWidth, m_identity.width);
  writeU32(f + G::SensorHeight, m_identity.height);
  writeU32(f + G::PixelFormat, G::kMono8);
  writeU32(f + G::PayloadSize, m_width * m_height);
  writeU32(f + G::AcquisitionMode, m_acquisitionMode);
  writeU32(f + G::TriggerSelector, m_selector);
  writeU32(f + G::TriggerMode, m_triggerMode[m_selector]);
  writeU32(f + G::TriggerSource, m_triggerSource[m_selector]);
  writeU32(f + G::BinningHorizontal, 1);
  writeU32(f + G::BinningVertical, 1);
  const CameraRecord* entry = record();
  const double rate = entry != nullptr ? load(entry->frameRateMilliHz) / 1000.0 : 0.0;
  std::memcpy(f + G::AcquisitionFrameRate, &rate, sizeof(rate));
  writeU64(m_sirm.data() + 0x08, static_cast<uint64_t>(m_width) * m_height);
  writeU64(m_abrm.data() + 0x01F0, static_cast<uint64_t>(nanoseconds(Clock::now())));
}

uint16_t DeviceModel::readMemory(uint64_t address, uint8_t* out, size_t length) {
  refreshFeatures();
  const Region regions[] = {{0, &m_abrm},
                            {kSbrmAddress, &m_sbrm},
                            {kSirmAddress, &m_sirm},
                            {kManifestAddress, &m_manifest},
                            {kXmlAddress, &m_xml},
                            {G::kFeatureBase, &m_features}};
  for (const Region& region : regions) {
    const uint64_t size = region.bytes->size();
    if (address >= region.base && address - region.base < size && length <= size - (address - region.base)) {
      std::memcpy(out, region.bytes->data() + (address - region.base), length);
      return GenCpPacket::kSuccess;
    }
  }
  return GenCpPacket::kInvalidAddress;
}

uint16_t DeviceModel::writeMemory(uint64_t address, const uint8_t* data, size_t length) {
  // The ABRM's user-defined name and configuration words, SBRM configuration, SIRM from CONTROL on.
  if (address >= 0x0184 && address < 0x01C4 && length <= 0x01C4 - address) {
    std::memcpy(m_abrm.data() + address, data, length);
    return GenCpPacket::kSuccess;
  }
  if ((address == 0x01E0 && length == 8) || (address == 0x01E8 && length == 4) ||
      (address == 0x01F8 && length == 4) || (address == 0x0204 && length == 4)) {
    std::memcpy(m_abrm.data() + address, data, length);
    return GenCpPacket::kSuccess;
  }
  if (address == kSbrmAddress + 0x0C && length == 8) {
    std::memcpy(m_sbrm.data() + 0x0C, data, length);
    return GenCpPacket::kSuccess;
  }
  if (address >= kSirmAddress + 0x04 && address < kSirmAddress + 0x30) {
    const uint64_t offset = address - kSirmAddress;
    if (offset % 4 != 0 || length % 4 != 0 || length > 0x30 - offset) {
      return GenCpPacket::kBadAlignment;
    }
    if (offset < 0x18 && offset + length > 0x08) {
      return GenCpPacket::kWriteProtect;  // the required sizes are the device's
    }
    std::memcpy(m_sirm.data() + offset, data, length);
    if (offset == 0x04 && (readU32(data) & 1U) == 0) {
      stopFrame();
    }
    m_state.bump();
    return GenCpPacket::kSuccess;
  }
  if (address >= G::kFeatureBase && address < G::kFeatureBase + G::End) {
    const auto offset = static_cast<uint32_t>(address - G::kFeatureBase);
    const bool wide = offset >= G::AcquisitionFrameRate;
    if (offset % (wide ? 8 : 4) != 0 || length != (wide ? 8U : 4U)) {
      return GenCpPacket::kBadAlignment;
    }
    const uint16_t status = writeFeature(offset, readU32(data), wide ? readU32(data + 4) : 0, wide);
    m_state.bump();
    return status;
  }
  uint8_t probe = 0;
  return readMemory(address, &probe, 1) == GenCpPacket::kSuccess ? GenCpPacket::kWriteProtect
                                                                 : GenCpPacket::kInvalidAddress;
}

uint16_t DeviceModel::writeFeature(uint32_t offset, uint32_t value, uint32_t high, bool wide) {
  CameraRecord* entry = record();
  switch (offset) {
    case G::Width:
    case G::Height: {
      if (m_acquiring) {
        return GenCpPacket::kAccessDenied;
      }
      const uint32_t max = offset == G::Width ? m_identity.width : m_identity.height;
      if (value == 0 || value > max) {
        return GenCpPacket::kInvalidParameter;
      }
      (offset == G::Width ? m_width : m_height) = value;
      return GenCpPacket::kSuccess;
    }
    case G::PixelFormat:
      return value == G::kMono8 ? GenCpPacket::kSuccess : GenCpPacket::kInvalidParameter;
    case G::AcquisitionMode:
      if (value > 1) {
        return GenCpPacket::kInvalidParameter;
      }
      m_acquisitionMode = value;
      return GenCpPacket::kSuccess;
    case G::AcquisitionStart:
      startAcquisition();
      return GenCpPacket::kSuccess;
    case G::AcquisitionStop:
      m_acquiring = false;
      stopFrame();
      return GenCpPacket::kSuccess;
    case G::TriggerSelector:
      if (value > 1) {
        return GenCpPacket::kInvalidParameter;
      }
      m_selector = value;
      return GenCpPacket::kSuccess;
    case G::TriggerMode:
    case G::TriggerSource:
      if (value > 1) {
        return GenCpPacket::kInvalidParameter;
      }
      (offset == G::TriggerMode ? m_triggerMode : m_triggerSource)[m_selector] = value;
      return GenCpPacket::kSuccess;
    case G::TriggerSoftware:
      if (entry != nullptr) {
        add(entry->triggersReceived, 1);
      }
      if (m_triggerMode[m_selector] == 1 && m_triggerSource[m_selector] == 0) {
        addTrigger(m_selector == 1);
      }
      return GenCpPacket::kSuccess;
    case G::AcquisitionFrameRate: {
      const double hz = asDouble(value, high);
      if (!(hz >= 0 && hz <= 100000) || entry == nullptr) {
        return GenCpPacket::kInvalidParameter;
      }
      store(entry->frameRateMilliHz, static_cast<uint32_t>(hz * 1000 + 0.5));
      return GenCpPacket::kSuccess;
    }
    case G::ExposureTime:
    case G::Gain:
      writeU32(m_features.data() + offset, value);
      writeU32(m_features.data() + offset + 4, high);
      return GenCpPacket::kSuccess;
    default:
      (void)wide;
      return GenCpPacket::kWriteProtect;
  }
}

void DeviceModel::startAcquisition() {
  const Clock::time_point now = Clock::now();
  m_acquiring = true;
  m_acquisitionTriggered = m_triggerMode[1] == 0;
  m_pendingFrames = 0;
  m_nextFrame = now;
  const CameraRecord* entry = record();
  const uint32_t line1 = entry != nullptr ? load(entry->line1MilliHz) : 0;
  m_nextPulse = now + (line1 > 0 ? periodOf(line1) : Clock::duration::zero());
}

void DeviceModel::stopFrame() { m_phase = Phase::Idle; }

void DeviceModel::addTrigger(bool acquisitionTrigger) {
  if (!m_acquiring) {
    return;
  }
  if (acquisitionTrigger) {
    m_acquisitionTriggered = true;
    m_nextFrame = Clock::now();
  } else if (m_acquisitionTriggered && m_pendingFrames < kMaxPendingTriggers) {
    ++m_pendingFrames;
  }
}

bool DeviceModel::frameDue(Clock::time_point now, Clock::time_point* wake) {
  *wake = now + std::chrono::seconds(1);
  CameraRecord* entry = record();
  if (!m_acquiring || (readU32(m_sirm.data() + 0x04) & 1U) == 0 || entry == nullptr) {
    return false;
  }
  // Line1 pulses since the last look, for whichever trigger listens to Line1.
  const uint32_t line1 = load(entry->line1MilliHz);
  if (line1 > 0) {
    const Clock::duration period = periodOf(line1);
    if (m_nextPulse == Clock::time_point{} || m_nextPulse > now + period) {
      m_nextPulse = now + period;
    }
    int pulses = 0;
    while (m_nextPulse <= now && pulses < 1000) {
      m_nextPulse += period;
      ++pulses;
      for (uint32_t selector : {1U, 0U}) {
        if (m_triggerMode[selector] == 1 && m_triggerSource[selector] == 1 &&
            (selector == 1 || m_acquisitionTriggered)) {
          add(entry->line1Pulses, 1);
          addTrigger(selector == 1);
        }
      }
    }
    if (m_nextPulse <= now) {
      m_nextPulse = now + period;
    }
    *wake = std::min(*wake, m_nextPulse);
  }
  if (!m_acquisitionTriggered) {
    return false;
  }
  if (m_triggerMode[0] == 1) {
    if (m_pendingFrames == 0) {
      return false;
    }
    --m_pendingFrames;
    return true;
  }
  const uint32_t rate = load(entry->frameRateMilliHz);
  if (rate == 0) {
    return true;
  }
  const Clock::duration period = periodOf(rate);
  if (now < m_nextFrame) {
    *wake = std::min(*wake, m_nextFrame);
    return false;
  }
  m_nextFrame = m_nextFrame + period < now ? now + period : m_nextFrame + period;
  return true;
}

void DeviceModel::beginFrame(Clock::time_point now) {
  CameraRecord* entry = record();
  ++m_blockId;
  m_frameWidth = m_width;
  m_frameHeight = m_height;
  const uint64_t described = static_cast<uint64_t>(m_width) * m_height;
  m_payloadBytes = described;
  m_spoiled = false;
  if (fault(entry, Fault::ShortPayload)) {
    m_payloadBytes = described / 2;
    m_spoiled = true;
  } else if (fault(entry, Fault::OverlongPayload)) {
    m_payloadBytes = described + kOverlongExtraBytes;
    m_spoiled = true;
  }
  m_trailerStatus = 0;
  if (fault(entry, Fault::TrailerError)) {
    m_trailerStatus = kTrailerErrorStatus;
    m_spoiled = true;
  }
  m_payloadSent = 0;
  m_frameTime = now;
  m_phase = Phase::Leader;
}

namespace {

// The pixels go straight into the buffer a transfer names, as a device's DMA would. Under
// ThreadSanitizer that write is kept out of its sight, as the kernel's writes into a socket's
// buffer are: the buffer reaches the reader through Aravis's queues, which are not instrumented,
// so the handover would look like a race.
#if defined(__SANITIZE_THREAD__)
__attribute__((no_sanitize("thread"))) void copyPixels(uint8_t* out, const uint8_t* from, size_t count) {
  volatile uint8_t* target = out;  // volatile: no call to the instrumented memcpy
  for (size_t i = 0; i < count; ++i) {
    target[i] = from[i];
  }
}
#else
void copyPixels(uint8_t* out, const uint8_t* from, size_t count) { std::memcpy(out, from, count); }
#endif

}  // namespace

void DeviceModel::fillPayload(uint8_t* out, uint64_t offset, size_t length) const {
  const uint64_t width = m_frameWidth;
  while (length > 0) {
    const uint64_t y = offset / width;
    const uint64_t x = offset % width;
    const size_t run = static_cast<size_t>(std::min<uint64_t>(length, width - x));
    const size_t start = static_cast<size_t>((y + m_blockId) % 255 + x);
    copyPixels(out, m_ramp.data() + start, run);
    out += run;
    offset += run;
    length -= run;
  }
}

void DeviceModel::finishFrame() {
  CameraRecord* entry = record();
  if (entry != nullptr) {
    add(m_spoiled ? entry->framesFailedByFault : entry->framesSent, 1);
  }
  m_phase = Phase::Idle;
  if (m_acquisitionMode == 1) {
    m_acquiring = false;
  }
}

DeviceModel::Stream DeviceModel::streamRead(uint8_t* data, int length, int* transferred,
                                            Clock::time_point* wake) {
  std::lock_guard<std::mutex> lock(m_mutex);
  *transferred = 0;
  const Clock::time_point now = Clock::now();
  *wake = now + std::chrono::seconds(1);
  if (lost()) {
    return Stream::NoDevice;
  }
  if (length <= 0 || data == nullptr) {
    return Stream::Overflow;
  }
  CameraRecord* entry = record();
  if (m_phase == Phase::Idle) {
    if (!frameDue(now, wake)) {
      return Stream::Wait;
    }
    beginFrame(now);
  }
  const auto room = static_cast<size_t>(length);
  switch (m_phase) {
    case Phase::Leader: {
      if (room < kLeaderBytes) {
        m_phase = Phase::Idle;
        return Stream::Overflow;
      }
      std::memset(data, 0, kLeaderBytes);
      writeU32(data, 0x4C563355);  // "U3VL"
      writeU16(data + 6, kLeaderBytes);
      writeU64(data + 8, m_blockId);
      writeU16(data + 18, 0x0001);  // image
      writeU64(data + 20, static_cast<uint64_t>(nanoseconds(m_frameTime)));
      writeU32(data + 28, G::kMono8);
      writeU32(data + 32, m_frameWidth);
      writeU32(data + 36, m_frameHeight);
      *transferred = kLeaderBytes;
      m_phase = m_payloadBytes > 0 ? Phase::Payload : Phase::Trailer;
      return Stream::Data;
    }
    case Phase::Payload: {
      const bool stalled = fault(entry, Fault::StallStream);
      if (stalled || fault(entry, Fault::TransferTimeout)) {
        // The rest of this frame's payload is lost; its trailer follows.
        m_spoiled = true;
        m_phase = Phase::Trailer;
        return stalled ? Stream::Stall : Stream::TimedOut;
      }
      // A device splits the payload into the transfers the host configured in the SIRM; the host
      // gets at most the rest of the current one.
      uint64_t unitEnd = m_payloadBytes;
      const uint32_t unit = readU32(m_sirm.data() + 0x1C);
      const uint32_t units = readU32(m_sirm.data() + 0x20);
      if (unit > 0 && m_payloadSent < static_cast<uint64_t>(unit) * units) {
        unitEnd = std::min<uint64_t>(unitEnd, (m_payloadSent / unit + 1) * unit);
      }
      const auto count = static_cast<size_t>(std::min<uint64_t>(room, unitEnd - m_payloadSent));
      fillPayload(data, m_payloadSent, count);
      m_payloadSent += count;
      *transferred = static_cast<int>(count);
      if (m_payloadSent == m_payloadBytes) {
        m_phase = Phase::Trailer;
      }
      return Stream::Data;
    }
    case Phase::Trailer: {
      if (room < kTrailerBytes) {
        m_spoiled = true;
        finishFrame();
        return Stream::Overflow;
      }
      std::memset(data, 0, kTrailerBytes);
      writeU32(data, 0x54563355);  // "U3VT"
      writeU16(data + 6, kTrailerBytes);
      writeU64(data + 8, m_blockId);
      writeU16(data + 16, m_trailerStatus);
      writeU64(data + 20, m_payloadSent);
      writeU32(data + 28, m_frameHeight);
      *transferred = kTrailerBytes;
      finishFrame();
      return Stream::Data;
    }
    case Phase::Idle:
      break;
  }
  return Stream::Wait;
}

int DeviceModel::controlOut(const uint8_t* data, int length) {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (lost()) {
    return LIBUSB_ERROR_NO_DEVICE;
  }
  if (data == nullptr || length < 0) {
    return LIBUSB_ERROR_INVALID_PARAM;
  }
  if (static_cast<uint32_t>(length) > kMaxCommandTransfer) {
    return LIBUSB_ERROR_PIPE;  // more than the device takes in one command: it stalls
  }
  CameraRecord* entry = record();
  GenCpPacket::Command command;
  const GenCpPacket::Parse parsed = GenCpPacket::parse(data, static_cast<size_t>(length),
                                                       kMaxAckTransfer - GenCpPacket::kPrefixBytes, command);
  if (parsed == GenCpPacket::Parse::Ignored) {
    return LIBUSB_SUCCESS;
  }
  if (entry != nullptr) {
    add(entry->controlCommands, 1);
  }
  std::vector<uint8_t> answer;
  const uint16_t answerCode = GenCpPacket::answerCode(command.code);
  switch (parsed) {
    case GenCpPacket::Parse::Read: {
      std::vector<uint8_t> bytes(command.readLength);
      const uint16_t status = readMemory(command.address, bytes.data(), bytes.size());
      answer = status == GenCpPacket::kSuccess
                   ? GenCpPacket::ack(status, answerCode, command.id, bytes.data(), bytes.size())
                   : GenCpPacket::ack(status, answerCode, command.id, nullptr, 0);
      break;
    }
    case GenCpPacket::Parse::Write: {
      const uint16_t status = writeMemory(command.address, command.data, command.dataLength);
      answer = GenCpPacket::writeAck(
          status, command.id,
          status == GenCpPacket::kSuccess ? static_cast<uint16_t>(command.dataLength) : 0);
      break;
    }
    default:
      answer = GenCpPacket::ack(command.status, answerCode, command.id, nullptr, 0);
      break;
  }
  if ((command.flags & GenCpPacket::kFlagAckRequested) == 0) {
    return LIBUSB_SUCCESS;
  }
  if (fault(entry, Fault::PendingAck)) {
    m_acks.push_back(GenCpPacket::pendingAck(command.id, static_cast<uint16_t>(kResponseTimeMs)));
  }
  if (fault(entry, Fault::AckError)) {
    writeU16(answer.data() + 4, kAckErrorStatus);
    writeU16(answer.data() + 8, 0);
    answer.resize(GenCpPacket::kPrefixBytes);
  }
  if (fault(entry, Fault::AckWrongId)) {
    writeU16(answer.data() + 10, static_cast<uint16_t>(command.id + 1));
  }
  m_acks.push_back(std::move(answer));
  m_state.bump();
  return LIBUSB_SUCCESS;
}

int DeviceModel::controlIn(uint8_t* data, int length, int* transferred) {
  std::lock_guard<std::mutex> lock(m_mutex);
  *transferred = 0;
  if (lost()) {
    return LIBUSB_ERROR_NO_DEVICE;
  }
  if (data == nullptr || length < 0) {
    return LIBUSB_ERROR_INVALID_PARAM;
  }
  if (m_acks.empty()) {
    return LIBUSB_ERROR_TIMEOUT;
  }
  std::vector<uint8_t> answer = std::move(m_acks.front());
  m_acks.pop_front();
  if (answer.size() > static_cast<size_t>(length)) {
    // The host's buffer is smaller than the answer: what fits arrives, the transfer overflows.
    std::memcpy(data, answer.data(), static_cast<size_t>(length));
    *transferred = length;
    return LIBUSB_ERROR_OVERFLOW;
  }
  std::memcpy(data, answer.data(), answer.size());
  *transferred = static_cast<int>(answer.size());
  return LIBUSB_SUCCESS;
}

}  // namespace Zazod::FakeUsb3
