// Zazod::Aravis::StreamPath: which way a GigE Vision stream receives its packets. Aravis reads them
// from a packet socket (a memory-mapped ring the kernel fills, far cheaper per frame) when the
// process may open one (root, or CAP_NET_RAW) and from the stream's UDP socket otherwise, without
// saying which. So the choice is made here, before the stream exists, with the same test Aravis
// makes, and Aravis is told to use the socket whenever the choice is the socket:
//   ZAZOD_SDK_ARAVIS_PACKET_SOCKET  "auto" (default): the packet socket where the process may open
//                                   one; "off": always the socket. Any other value is reported
//                                   and "auto" is used.
//   ZAZOD_SDK_DIAGNOSTICS           "1": the Aravis backend writes one stderr line for each GigE
//                                   Vision camera it lists and each stream it starts, saying the
//                                   way its packets take.
#pragma once

#include <optional>
#include <string>

namespace Zazod::Aravis {

class StreamPath {
 public:
  enum class Mode { Auto, Off };
  enum class Way { PacketSocket, SocketBySetting, SocketNotPermitted };

  // "auto" or "off", exactly; nothing otherwise.
  static std::optional<Mode> parseMode(const char* text);
  // The way for `mode`, given whether the process may open a packet socket.
  static Way choose(Mode mode, bool packetSocketPermitted);
  // The way a stream started now takes: the setting (a bad value reported on stderr) and a packet
  // socket opened and closed again to see whether the process may.
  static Way current();
  static bool packetSocketPermitted();
  // "the packet socket", "a UDP socket (ZAZOD_SDK_ARAVIS_PACKET_SOCKET=off)", ...
  static const char* describe(Way way);
  static bool diagnosticsEnabled();
  // The value shown in a report: at most 32 characters, anything but printable ASCII as '?'.
  static std::string shown(const char* text);
};

}  // namespace Zazod::Aravis
