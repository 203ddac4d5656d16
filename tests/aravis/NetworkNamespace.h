// NetworkNamespace: whether this process runs in a private network namespace with only loopback,
// the one place where anything of ours may enable the Aravis backend (scripts/netns makes it).
#pragma once

struct NetworkNamespace {
  // True when the only network interface is `lo`.
  static bool onlyLoopback();
};
