// Zazod::Aravis::GvcpDiscoveryAck: the discovery command's bytes and the checks of its answer.
#include "GvcpDiscoveryAck.h"

#include <cstring>
#include <string>

namespace Zazod::Aravis {

namespace {

constexpr uint8_t kGvcpKey = 0x42;
constexpr uint8_t kFlagAcknowledge = 0x01;
constexpr uint16_t kDiscoveryCommand = 0x0002;
constexpr uint16_t kDiscoveryAck = 0x0003;
// Offsets in the discovery block (the same as in the device's bootstrap registers).
constexpr size_t kManufacturerOffset = 0x48;
constexpr size_t kModelOffset = 0x68;
constexpr size_t kSerialOffset = 0xd8;
constexpr size_t kSerialSize = 16;
constexpr size_t kUserNameOffset = 0xe8;
constexpr size_t kUserNameSize = 16;
constexpr size_t kNameSize = 32;

uint16_t word(const uint8_t* bytes) { return static_cast<uint16_t>((bytes[0] << 8) | bytes[1]); }

// A field of the block: its bytes up to the first NUL, or all of them when it has none.
std::string field(const uint8_t* block, size_t offset, size_t size) {
  const char* begin = reinterpret_cast<const char*>(block + offset);
  const void* end = std::memchr(begin, '\0', size);
  return std::string(begin, end != nullptr ? static_cast<const char*>(end) - begin : size);
}

}  // namespace

void GvcpDiscoveryAck::command(uint16_t requestId, uint8_t (&out)[kHeaderSize]) {
  const uint8_t bytes[kHeaderSize] = {kGvcpKey,
                                      kFlagAcknowledge,
                                      0,
                                      kDiscoveryCommand,
                                      0,
                                      0,
                                      static_cast<uint8_t>(requestId >> 8),
                                      static_cast<uint8_t>(requestId & 0xff)};
  std::memcpy(out, bytes, sizeof bytes);
}

GvcpDiscoveryAck::Outcome GvcpDiscoveryAck::parse(const uint8_t* data, size_t size, uint16_t requestId,
                                                  DeviceIdentity& identity) {
  if (data == nullptr || size < kHeaderSize) {
    return {Verdict::Refused, "the answer is shorter than a GVCP header"};
  }
  const uint16_t status = word(data);
  const uint16_t answer = word(data + 2);
  const size_t length = word(data + 4);
  const uint16_t ackId = word(data + 6);
  if (answer != kDiscoveryAck || ackId != requestId) {
    return {Verdict::Ignored, "the answer is no acknowledge of this discovery command"};
  }
  if (status != 0) {
    return {Verdict::Refused, "the device answered with an error status"};
  }
  if (length != size - kHeaderSize) {
    return {Verdict::Refused, "the answer's declared length is not the length received"};
  }
  if (length < kBlockSize || length > kMaxPayloadSize) {
    return {Verdict::Refused, "the answer's length cannot carry a whole discovery block"};
  }
  const uint8_t* block = data + kHeaderSize;
  DeviceIdentity found{field(block, kManufacturerOffset, kNameSize), field(block, kModelOffset, kNameSize),
                       field(block, kSerialOffset, kSerialSize),
                       field(block, kUserNameOffset, kUserNameSize)};
  if (const char* refusal = found.refusal()) {
    return {Verdict::Refused, refusal};
  }
  identity = std::move(found);
  return {Verdict::Identified, nullptr};
}

}  // namespace Zazod::Aravis
