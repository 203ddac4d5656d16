#include "NetworkNamespace.h"

#include <net/if.h>

#include <string>
#include <vector>

bool NetworkNamespace::onlyLoopback() {
  std::vector<std::string> names;
  if (struct if_nameindex* interfaces = if_nameindex()) {
    for (struct if_nameindex* entry = interfaces; entry->if_index != 0; ++entry) {
      names.push_back(entry->if_name);
    }
    if_freenameindex(interfaces);
  }
  return names == std::vector<std::string>{"lo"};
}
