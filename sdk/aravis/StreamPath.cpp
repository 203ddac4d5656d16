// Zazod::Aravis::StreamPath: the setting, the permission test and the descriptions.
#include "StreamPath.h"

#include <arpa/inet.h>
#include <linux/if_ether.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace Zazod::Aravis {

namespace {

constexpr const char* kModeVariable = "ZAZOD_SDK_ARAVIS_PACKET_SOCKET";
constexpr size_t kShownLength = 32;

}  // namespace

std::optional<StreamPath::Mode> StreamPath::parseMode(const char* text) {
  if (std::strcmp(text, "auto") == 0) {
    return Mode::Auto;
  }
  if (std::strcmp(text, "off") == 0) {
    return Mode::Off;
  }
  return std::nullopt;
}

StreamPath::Way StreamPath::choose(Mode mode, bool packetSocketPermitted) {
  if (mode == Mode::Off) {
    return Way::SocketBySetting;
  }
  return packetSocketPermitted ? Way::PacketSocket : Way::SocketNotPermitted;
}

StreamPath::Way StreamPath::current() {
  Mode mode = Mode::Auto;
  if (const char* setting = std::getenv(kModeVariable); setting != nullptr) {
    if (const std::optional<Mode> parsed = parseMode(setting)) {
      mode = *parsed;
    } else {
      std::fprintf(stderr, "zazod_sdk: %s: \"%s\" is neither auto nor off; auto used\n", kModeVariable,
                   shown(setting).c_str());
    }
  }
  return choose(mode, mode == Mode::Auto && packetSocketPermitted());
}

bool StreamPath::packetSocketPermitted() {
  const int fd = socket(AF_PACKET, SOCK_RAW | SOCK_CLOEXEC, htons(ETH_P_ALL));
  if (fd < 0) {
    return false;
  }
  close(fd);
  return true;
}

const char* StreamPath::describe(Way way) {
  switch (way) {
    case Way::PacketSocket:
      return "the packet socket";
    case Way::SocketBySetting:
      return "a UDP socket (ZAZOD_SDK_ARAVIS_PACKET_SOCKET=off)";
    case Way::SocketNotPermitted:
      return "a UDP socket (the process may not open a packet socket: no CAP_NET_RAW)";
  }
  return "a UDP socket";
}

bool StreamPath::diagnosticsEnabled() {
  const char* setting = std::getenv("ZAZOD_SDK_DIAGNOSTICS");
  return setting != nullptr && std::strcmp(setting, "1") == 0;
}

std::string StreamPath::shown(const char* text) {
  std::string result;
  for (const char* c = text; *c != '\0' && result.size() < kShownLength; ++c) {
    result.push_back(*c >= 0x20 && *c < 0x7f ? *c : '?');
  }
  if (std::strlen(text) > kShownLength) {
    result += "...";
  }
  return result;
}

}  // namespace Zazod::Aravis
