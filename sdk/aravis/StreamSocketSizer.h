// Zazod::Aravis::StreamSocketSizer: gives the UDP socket of an Aravis GigE Vision stream its
// receive buffer at once. Aravis applies the configured buffer size only when the first frame's
// leader arrives, after the kernel has already dropped whatever of that frame did not fit into the
// default buffer; so the socket is found among the process's descriptors by its local port and
// sized before acquisition starts.
#pragma once

#include <cstddef>
#include <cstdint>

namespace Zazod::Aravis {

class StreamSocketSizer {
 public:
  // True when a UDP socket bound to `port` was found and its buffer set to at least `bytes`
  // (beyond the system's limit where the process may, as root may).
  static bool resize(uint16_t port, size_t bytes);
};

}  // namespace Zazod::Aravis
