// The fake USB3 Vision tests' main: they run only inside a private network namespace with only
// loopback (Aravis's discovery broadcasts on every interface) and with the fake libusb loaded in
// place of the real one; listing the tests needs neither.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include "NetworkNamespace.h"
#include "Usb3TestEnvironment.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  bool listing = false;
  for (int i = 1; i < argc; ++i) {
    listing = listing || std::strcmp(argv[i], "--gtest_list_tests") == 0;
  }
  if (!listing && !NetworkNamespace::onlyLoopback()) {
    std::fprintf(stderr,
                 "usb3_tests: refusing to run outside a private network namespace with only loopback; "
                 "run it as tests/usb3/run-with-fake LIB_DIR %s\n",
                 argv[0]);
    return 1;
  }
  Usb3TestEnvironment::setUp();
  return RUN_ALL_TESTS();
}
