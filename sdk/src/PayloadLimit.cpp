// Pylon::Internal::PayloadLimit: the check of a pool's buffer size and count.
#include "PayloadLimit.h"

#include "gcbase/GCException.h"

namespace Pylon::Internal {

void PayloadLimit::check(const char* operation, int64_t payload, size_t bufferCount) {
  if (payload <= 0) {
    throw RUNTIME_EXCEPTION("%s: the camera reports a payload size of %lld.", operation,
                            static_cast<long long>(payload));
  }
  const uint64_t bytes = static_cast<uint64_t>(payload);
  if (bytes > kMaxBufferBytes) {
    throw RUNTIME_EXCEPTION(
        "%s: the camera reports a payload size of %lld bytes, more than the %llu bytes this SDK "
        "allocates for one buffer.",
        operation, static_cast<long long>(payload), static_cast<unsigned long long>(kMaxBufferBytes));
  }
  // bytes <= 2^30, so the product overflows 64 bits only for counts beyond 2^34; such counts are
  // refused by the division.
  if (bufferCount > kMaxPoolBytes / bytes) {
    throw RUNTIME_EXCEPTION(
        "%s: %zu buffers of %lld bytes are more than the %llu bytes this SDK allocates for one "
        "camera's buffers.",
        operation, bufferCount, static_cast<long long>(payload),
        static_cast<unsigned long long>(kMaxPoolBytes));
  }
}

}  // namespace Pylon::Internal
