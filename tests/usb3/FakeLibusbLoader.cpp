// FakeLibusbLoader: the library path check, the restart and the check of the library loaded.
#include "FakeLibusbLoader.h"

#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

bool firstOnLibraryPath(const std::string& folder) {
  const char* path = std::getenv("LD_LIBRARY_PATH");
  if (path == nullptr) {
    return false;
  }
  const std::string value = path;
  return value == folder || value.compare(0, folder.size() + 1, folder + ":") == 0;
}

}  // namespace

std::string FakeLibusbLoader::loaded() {
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

bool FakeLibusbLoader::ensureFirst(const char* folder, char** argv, std::string& error) {
  const std::string wanted = folder;
  if (!firstOnLibraryPath(wanted)) {
    const char* old = std::getenv("LD_LIBRARY_PATH");
    const std::string path =
        wanted + (old != nullptr && *old != '\0' ? std::string(":") + old : std::string());
    setenv("LD_LIBRARY_PATH", path.c_str(), 1);
    execv("/proc/self/exe", argv);
    error = std::string("starting again with the fake libusb: ") + std::strerror(errno);
    return false;
  }
  // Loaded now (a program that reaches libusb only through the module would load it later), and
  // kept for the life of the process: every later user of libusb-1.0.so.0 gets this one.
  if (dlopen("libusb-1.0.so.0", RTLD_NOW | RTLD_GLOBAL) == nullptr) {
    error = std::string("the fake libusb does not load: ") + dlerror();
    return false;
  }
  const std::string file = loaded();
  if (file.compare(0, wanted.size() + 1, wanted + "/") != 0) {
    error = "refusing to run with the libusb at \"" + file + "\"; the fake's is in " + wanted;
    return false;
  }
  // Loaded: the programs this one starts (Aravis's fake GigE Vision camera, arv-tool) get the
  // library path they would have had, not the fake (in a sanitizer build it would need the
  // sanitizer's runtime, which they do not load).
  const std::string path = std::getenv("LD_LIBRARY_PATH");
  if (path.size() > wanted.size() + 1) {
    setenv("LD_LIBRARY_PATH", path.substr(wanted.size() + 1).c_str(), 1);
  } else {
    unsetenv("LD_LIBRARY_PATH");
  }
  return true;
}
