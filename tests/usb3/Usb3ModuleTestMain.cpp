// The USB3 Vision module tests' main. It runs tests only inside a private network namespace that has
// nothing but loopback (scripts/netns: Aravis is enabled, and one test adds a GigE Vision camera),
// and only with the fake USB3 Vision device standing in for libusb: it puts the fake's folder first
// on LD_LIBRARY_PATH and starts itself again when that is not so yet, then checks that the libusb
// this process loaded is the fake's and refuses to run with any other. Listing the tests touches
// neither network nor USB and works anywhere.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "FakeLibusbLoader.h"
#include "NetworkNamespace.h"
#include "Usb3Rig.h"

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
  if (listingOnly(argc, argv)) {
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
  }
  if (!NetworkNamespace::onlyLoopback()) {
    std::fprintf(stderr,
                 "usb3_module_tests: refusing to run outside a private network namespace with only "
                 "loopback; run it as scripts/netns %s\n",
                 argv[0]);
    return 1;
  }
  std::string error;
  if (!FakeLibusbLoader::ensureFirst(FAKE_USB3_LIB_DIR, argv, error)) {
    std::fprintf(stderr, "usb3_module_tests: %s\n", error.c_str());
    return 1;
  }
  ::testing::InitGoogleTest(&argc, argv);
  // Set before the SDK layer is loaded (with the module, or at the first SDK call): the Aravis
  // backend asks no GigE Vision address (a test that wants one sets it) and lists the USB3 Vision
  // devices, with no broadcast.
  setenv("ZAZOD_SDK_TRANSPORTS", "aravis", 1);
  setenv("ZAZOD_SDK_ARAVIS_ADDRESSES", "usb", 1);
  unsetenv("ZAZOD_SDK_ARAVIS_VENDORS");
  if (!Usb3Rig::setUp()) {
    return 1;
  }
  const int result = RUN_ALL_TESTS();
  Usb3Rig::tearDown();
  return result;
}
