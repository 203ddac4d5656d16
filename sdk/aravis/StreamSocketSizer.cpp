// Zazod::Aravis::StreamSocketSizer: finding the stream's socket and setting its receive buffer.
#include "StreamSocketSizer.h"

#include <dirent.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdlib>

namespace Zazod::Aravis {

bool StreamSocketSizer::resize(uint16_t port, size_t bytes) {
  DIR* descriptors = opendir("/proc/self/fd");
  if (descriptors == nullptr) {
    return false;
  }
  bool resized = false;
  const int size = static_cast<int>(bytes);
  while (dirent* entry = readdir(descriptors)) {
    char* end = nullptr;
    const long fd = std::strtol(entry->d_name, &end, 10);
    if (end == entry->d_name || *end != '\0' || fd == dirfd(descriptors)) {
      continue;
    }
    int type = 0;
    socklen_t typeSize = sizeof type;
    sockaddr_in local{};
    socklen_t localSize = sizeof local;
    if (getsockopt(static_cast<int>(fd), SOL_SOCKET, SO_TYPE, &type, &typeSize) != 0 || type != SOCK_DGRAM ||
        getsockname(static_cast<int>(fd), reinterpret_cast<sockaddr*>(&local), &localSize) != 0 ||
        local.sin_family != AF_INET || ntohs(local.sin_port) != port) {
      continue;
    }
    if (setsockopt(static_cast<int>(fd), SOL_SOCKET, SO_RCVBUFFORCE, &size, sizeof size) != 0) {
      setsockopt(static_cast<int>(fd), SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
    }
    int actual = 0;
    socklen_t actualSize = sizeof actual;
    resized =
        getsockopt(static_cast<int>(fd), SOL_SOCKET, SO_RCVBUF, &actual, &actualSize) == 0 && actual >= size;
  }
  closedir(descriptors);
  return resized;
}

}  // namespace Zazod::Aravis
