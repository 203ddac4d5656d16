// Zazod::Aravis::GvcpDiscoveryAck: the judgement of one datagram that came back for a GVCP
// discovery command: whether it is the acknowledge of that command, whole (its declared length is
// the datagram's and carries the full discovery block) and naming its device acceptably
// (DeviceIdentity). Pure over the bytes, apart from any socket, so every hostile answer can be
// given to it directly.
#pragma once

#include <cstddef>
#include <cstdint>

#include "DeviceIdentity.h"

namespace Zazod::Aravis {

class GvcpDiscoveryAck {
 public:
  enum class Verdict {
    Identified,  // the device's whole answer, its identity taken
    Ignored,     // not the acknowledge of this command (another kind, another request id)
    Refused,     // this command's acknowledge, but broken or naming the device unacceptably
  };
  struct Outcome {
    Verdict verdict;
    const char* reason;  // why it was ignored or refused; null when identified
  };

  static constexpr size_t kHeaderSize = 8;
  // The discovery block every acknowledge carries (up to and with the user-defined name).
  static constexpr size_t kBlockSize = 0xf8;
  // The most a GVCP answer may carry (a 576-byte datagram without its IP, UDP and GVCP headers).
  static constexpr size_t kMaxPayloadSize = 540;

  // The bytes of a discovery command with this request id (the probe sends it to one device).
  static void command(uint16_t requestId, uint8_t (&out)[kHeaderSize]);
  // Judges `size` bytes received for the command of `requestId`; `identity` is set only when the
  // verdict is Identified.
  static Outcome parse(const uint8_t* data, size_t size, uint16_t requestId, DeviceIdentity& identity);
};

}  // namespace Zazod::Aravis
