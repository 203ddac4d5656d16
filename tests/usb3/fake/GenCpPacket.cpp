// Zazod::FakeUsb3::GenCpPacket: parsing commands and building acknowledges.
#include "GenCpPacket.h"

namespace Zazod::FakeUsb3 {

namespace {

constexpr size_t kReadPayloadBytes = 12;  // address, reserved, length
constexpr size_t kWriteAddressBytes = 8;  // address, then the data

}  // namespace

GenCpPacket::Parse GenCpPacket::parse(const uint8_t* bytes, size_t length, size_t maxReadLength,
                                      Command& command) {
  command = Command{};
  if (bytes == nullptr || length < kPrefixBytes || readU32(bytes) != kMagic) {
    return Parse::Ignored;
  }
  command.flags = readU16(bytes + 4);
  command.code = readU16(bytes + 6);
  const uint16_t payloadLength = readU16(bytes + 8);
  command.id = readU16(bytes + 10);
  const uint8_t* payload = bytes + kPrefixBytes;
  const size_t available = length - kPrefixBytes;
  if (payloadLength != available) {
    command.status = kInvalidHeader;
    return Parse::Refused;
  }
  switch (command.code) {
    case kReadMem:
      if (available != kReadPayloadBytes) {
        command.status = kInvalidParameter;
        return Parse::Refused;
      }
      command.address = readU64(payload);
      command.readLength = readU16(payload + 10);
      if (command.readLength == 0 || command.readLength > maxReadLength) {
        command.status = kInvalidParameter;
        return Parse::Refused;
      }
      return Parse::Read;
    case kWriteMem:
      if (available <= kWriteAddressBytes) {
        command.status = kInvalidParameter;
        return Parse::Refused;
      }
      command.address = readU64(payload);
      command.data = payload + kWriteAddressBytes;
      command.dataLength = available - kWriteAddressBytes;
      return Parse::Write;
    default:
      command.status = kNotImplemented;
      return Parse::Refused;
  }
}

std::vector<uint8_t> GenCpPacket::ack(uint16_t status, uint16_t code, uint16_t id, const uint8_t* payload,
                                      size_t payloadLength) {
  std::vector<uint8_t> packet(kPrefixBytes + payloadLength);
  writeU32(packet.data(), kMagic);
  writeU16(packet.data() + 4, status);
  writeU16(packet.data() + 6, code);
  writeU16(packet.data() + 8, static_cast<uint16_t>(payloadLength));
  writeU16(packet.data() + 10, id);
  for (size_t i = 0; i < payloadLength; ++i) {
    packet[kPrefixBytes + i] = payload[i];
  }
  return packet;
}

std::vector<uint8_t> GenCpPacket::writeAck(uint16_t status, uint16_t id, uint16_t written) {
  uint8_t payload[4] = {};
  writeU16(payload + 2, written);
  return ack(status, kWriteMemAck, id, payload, sizeof(payload));
}

std::vector<uint8_t> GenCpPacket::pendingAck(uint16_t id, uint16_t timeoutMs) {
  uint8_t payload[4] = {};
  writeU16(payload + 2, timeoutMs);
  return ack(kSuccess, kPendingAck, id, payload, sizeof(payload));
}

}  // namespace Zazod::FakeUsb3
