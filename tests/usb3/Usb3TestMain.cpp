// The USB3 Vision tests' main. It runs tests only inside a private network namespace that has
// nothing but loopback (scripts/netns: Aravis is enabled, and one test adds a GigE Vision camera),
// and only with the fake USB3 Vision device standing in for libusb: it puts the fake's folder first
// on LD_LIBRARY_PATH and starts itself again when that is not so yet, then checks that the libusb
// this process loaded is the fake's and refuses to run with any other. Listing the tests touches
// neither network nor USB and works anywhere.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <link.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

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

bool fakeFirstOnLibraryPath() {
  const char* path = std::getenv("LD_LIBRARY_PATH");
  const std::string first = std::string(FAKE_USB3_LIB_DIR) + ":";
  return path != nullptr &&
         (std::strcmp(path, FAKE_USB3_LIB_DIR) == 0 || std::strncmp(path, first.c_str(), first.size()) == 0);
}

// The file the libusb of this process was loaded from ("" when none is loaded).
std::string loadedLibusb() {
  void* handle = dlopen("libusb-1.0.so.0", RTLD_NOW | RTLD_NOLOAD);
  if (handle == nullptr) {
    return std::string();
  }
  link_map* map = nullptr;
  std::string file;
  if (dlinfo(handle, RTLD_DI_LINKMAP, &map) == 0 && map != nullptr && map->l_name != nullptr) {
    file = map->l_name;
  }
  dlclose(handle);
  return file;
}

}  // namespace

int main(int argc, char** argv) {
  if (listingOnly(argc, argv)) {
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
  }
  if (!NetworkNamespace::onlyLoopback()) {
    std::fprintf(stderr,
                 "usb3_tests: refusing to run outside a private network namespace with only "
                 "loopback; run it as scripts/netns %s\n",
                 argv[0]);
    return 1;
  }
  if (!fakeFirstOnLibraryPath()) {
    const char* old = std::getenv("LD_LIBRARY_PATH");
    const std::string path =
        std::string(FAKE_USB3_LIB_DIR) + (old != nullptr && *old != '\0' ? std::string(":") + old : "");
    setenv("LD_LIBRARY_PATH", path.c_str(), 1);
    execv("/proc/self/exe", argv);
    std::perror("usb3_tests: starting again with the fake libusb");
    return 1;
  }
  const std::string libusb = loadedLibusb();
  const std::string wanted = std::string(FAKE_USB3_LIB_DIR) + "/";
  if (libusb.compare(0, wanted.size(), wanted) != 0) {
    std::fprintf(stderr, "usb3_tests: refusing to run with the libusb at \"%s\"; the fake's is in %s\n",
                 libusb.c_str(), FAKE_USB3_LIB_DIR);
    return 1;
  }
  ::testing::InitGoogleTest(&argc, argv);
  // Set before the SDK layer is loaded (with the module, or at the first SDK call): the Aravis
  // backend asks no GigE Vision address (a test that wants one sets it) and lists the USB3 Vision
  // devices beside them.
  setenv("ZAZOD_SDK_TRANSPORTS", "aravis", 1);
  setenv("ZAZOD_SDK_ARAVIS_ADDRESSES", "", 1);
  unsetenv("ZAZOD_SDK_ARAVIS_VENDORS");
  if (!Usb3Rig::setUp()) {
    return 1;
  }
  const int result = RUN_ALL_TESTS();
  Usb3Rig::tearDown();
  return result;
}
