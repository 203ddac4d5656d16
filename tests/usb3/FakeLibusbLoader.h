// FakeLibusbLoader: makes a program run on the fake USB3 Vision device rather than on the system's
// libusb. The fake is a library with libusb's SONAME in a folder of its own; a process loads it
// only when that folder comes first on LD_LIBRARY_PATH at its start. ensureFirst() starts the
// program again with the folder put first when it is not so yet, and then checks that the libusb
// the process loaded is the fake's, and takes the folder off LD_LIBRARY_PATH again, so that the
// programs this one starts load what they would have loaded.
#pragma once

#include <string>

class FakeLibusbLoader {
 public:
  // Returns only when the fake libusb is the one loaded (true), or with a message in `error`
  // (false). May replace the process image (execv) with `argv` again.
  static bool ensureFirst(const char* folder, char** argv, std::string& error);
  // The file the libusb of this process was loaded from ("" when none is loaded).
  static std::string loaded();
};
