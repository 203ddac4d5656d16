// Fuzz target: the judgement of a GVCP discovery answer. Any datagram identifies a device only
// when it is the whole acknowledge of request 1 (its declared length the datagram's, the whole
// discovery block in it) and the identity it carries keeps the rules, checked here afresh from the
// bytes; anything else is ignored or refused with a reason and leaves the identity as it was.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "DeviceIdentity.h"
#include "GvcpDiscoveryAck.h"

namespace {

using Zazod::Aravis::DeviceIdentity;
using Zazod::Aravis::GvcpDiscoveryAck;

void check(bool condition) {
  if (!condition) {
    std::abort();
  }
}

bool printableAscii(const std::string& text, bool spaceAllowed) {
  for (const char c : text) {
    if (c < (spaceAllowed ? ' ' : '!') || c > '~') {
      return false;
    }
  }
  return true;
}

// The field at `offset` of the block as the bytes have it: up to its first NUL.
std::string field(const uint8_t* data, size_t offset, size_t size) {
  std::string text(reinterpret_cast<const char*>(data) + GvcpDiscoveryAck::kHeaderSize + offset, size);
  return text.substr(0, text.find('\0'));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  DeviceIdentity identity{"v", "m", "s", "u"};
  const GvcpDiscoveryAck::Outcome outcome = GvcpDiscoveryAck::parse(data, size, 1, identity);
  if (outcome.verdict != GvcpDiscoveryAck::Verdict::Identified) {
    check(outcome.reason != nullptr);
    check(identity.vendor == "v" && identity.model == "m" && identity.serialNumber == "s" &&
          identity.userDefinedName == "u");
    return 0;
  }
  check(outcome.reason == nullptr);
  check(size >= GvcpDiscoveryAck::kHeaderSize + GvcpDiscoveryAck::kBlockSize);
  check(size <= GvcpDiscoveryAck::kHeaderSize + GvcpDiscoveryAck::kMaxPayloadSize);
  check(data[0] == 0 && data[1] == 0 && data[2] == 0 && data[3] == 3 && data[6] == 0 && data[7] == 1);
  check(static_cast<size_t>((data[4] << 8) | data[5]) == size - GvcpDiscoveryAck::kHeaderSize);
  check(identity.vendor == field(data, 0x48, 32) && identity.model == field(data, 0x68, 32) &&
        identity.serialNumber == field(data, 0xd8, 16) && identity.userDefinedName == field(data, 0xe8, 16));
  check(!identity.vendor.empty() && !identity.model.empty() && !identity.serialNumber.empty());
  check(printableAscii(identity.vendor, true) && printableAscii(identity.model, true) &&
        printableAscii(identity.userDefinedName, true) && printableAscii(identity.serialNumber, false));
  return 0;
}
