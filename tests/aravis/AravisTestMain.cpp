// The Aravis integration tests' main: it enables the Aravis backend for the fake camera's address
// only, and runs tests only inside a private network namespace that has nothing but loopback
// (scripts/netns), because Aravis's discovery broadcasts on every interface. Listing the tests
// touches no network and works anywhere.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "FakeCamera.h"
#include "NetworkNamespace.h"

namespace {

bool listingOnly(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--gtest_list_tests") == 0) {
      return true;
    }
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (!listingOnly(argc, argv) && !NetworkNamespace::onlyLoopback()) {
    std::fprintf(stderr,
                 "aravis_tests: refusing to run outside a private network namespace with only "
                 "loopback; run it as scripts/netns %s\n",
                 argv[0]);
    return 1;
  }
  // Set before the SDK layer is loaded (with the module, or at the first SDK call).
  setenv("ZAZOD_SDK_TRANSPORTS", "aravis", 1);
  setenv("ZAZOD_SDK_ARAVIS_ADDRESSES", FakeCamera::address(), 1);
  setenv("ZAZOD_SDK_ARAVIS_VENDORS", "*", 1);
  // The way the run's streams are to take (CTest runs every test with each): "off" by the setting,
  // the others by the process's permission under "auto".
  if (const char* way = std::getenv("ZAZOD_TEST_STREAM_WAY"); way != nullptr) {
    setenv("ZAZOD_SDK_ARAVIS_PACKET_SOCKET", std::strcmp(way, "off") == 0 ? "off" : "auto", 1);
  }
  return RUN_ALL_TESTS();
}
