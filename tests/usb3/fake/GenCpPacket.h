// Zazod::FakeUsb3::GenCpPacket: the GenCP packets of the USB3 Vision control channel as the fake
// device reads and writes them: a 12-byte prefix (magic "U3VC", flags or status, command, payload
// length, request id) and the read or write payloads. parse() takes whatever the host sent and
// refuses anything malformed with the status a device answers it with; nothing is read beyond
// the bytes given.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace Zazod::FakeUsb3 {

class GenCpPacket {
 public:
  static constexpr uint32_t kMagic = 0x43563355;  // "U3VC"
  static constexpr size_t kPrefixBytes = 12;
  static constexpr uint16_t kFlagAckRequested = 0x4000;
  static constexpr uint16_t kReadMem = 0x0800;
  static constexpr uint16_t kReadMemAck = 0x0801;
  static constexpr uint16_t kWriteMem = 0x0802;
  static constexpr uint16_t kWriteMemAck = 0x0803;
  static constexpr uint16_t kPendingAck = 0x0805;

  static constexpr uint16_t kSuccess = 0x0000;
  static constexpr uint16_t kNotImplemented = 0x8001;
  static constexpr uint16_t kInvalidParameter = 0x8002;
  static constexpr uint16_t kInvalidAddress = 0x8003;
  static constexpr uint16_t kWriteProtect = 0x8004;
  static constexpr uint16_t kBadAlignment = 0x8005;
  static constexpr uint16_t kAccessDenied = 0x8006;
  static constexpr uint16_t kBusy = 0x8007;
  static constexpr uint16_t kInvalidHeader = 0x800E;

  enum class Parse {
    Ignored,  // too short for a prefix, or another magic: nothing to answer
    Refused,  // a prefix, but a command the device answers with `status`
    Read,
    Write,
  };

  struct Command {
    uint16_t flags = 0;
    uint16_t code = 0;
    uint16_t id = 0;
    uint64_t address = 0;
    uint16_t readLength = 0;        // Read: bytes asked for
    const uint8_t* data = nullptr;  // Write: the bytes to write
    size_t dataLength = 0;
    uint16_t status = kSuccess;  // Refused: the answer
  };

  static Parse parse(const uint8_t* bytes, size_t length, size_t maxReadLength, Command& command);

  // An acknowledge: the prefix with `status`, `code` and `id`, then `payload`.
  static std::vector<uint8_t> ack(uint16_t status, uint16_t code, uint16_t id, const uint8_t* payload,
                                  size_t payloadLength);
  // The write acknowledge's payload: reserved, bytes written.
  static std::vector<uint8_t> writeAck(uint16_t status, uint16_t id, uint16_t written);
  static std::vector<uint8_t> pendingAck(uint16_t id, uint16_t timeoutMs);
  // The answer code that belongs to a command code.
  static uint16_t answerCode(uint16_t code) { return static_cast<uint16_t>(code | 1U); }
};

// Little-endian field access within a byte array whose bounds the caller has checked.
inline uint16_t readU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t readU32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline uint64_t readU64(const uint8_t* p) {
  return readU32(p) | (static_cast<uint64_t>(readU32(p + 4)) << 32);
}
inline void writeU16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline void writeU32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) {
    p[i] = static_cast<uint8_t>(v >> (8 * i));
  }
}
inline void writeU64(uint8_t* p, uint64_t v) {
  writeU32(p, static_cast<uint32_t>(v));
  writeU32(p + 4, static_cast<uint32_t>(v >> 32));
}

}  // namespace Zazod::FakeUsb3
