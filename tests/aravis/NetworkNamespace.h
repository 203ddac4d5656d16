// NetworkNamespace: whether this process runs in a network namespace whose only interface is
// loopback (as scripts/netns makes it), which every program that enables Aravis insists on.
#pragma once

class NetworkNamespace {
 public:
  static bool onlyLoopback();
};
