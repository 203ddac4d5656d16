// Usb3Rig: the fake USB3 Vision cameras every test of this process shares. Aravis keeps one libusb
// context for its listing for the life of the process, so the cameras are set up once, before the
// SDK layer first lists devices; tests steer them through the fake's control API and leave each
// one plugged in and without armed faults.
#pragma once

#include <memory>
#include <string>

#include "FakeUsbStateFile.h"

class Usb3Rig {
 public:
  // The cameras: two of the accepted vendor at different sizes and one of another vendor.
  enum Camera : size_t { First = 0, Second = 1, OtherVendor = 2 };

  // Creates the state file and points ZAZOD_FAKE_USB3_STATE at it; false with a message on stderr
  // when that fails.
  static bool setUp();
  // Removes the state file and its folder.
  static void tearDown();
  static Usb3Rig& instance();

  Zazod::FakeUsb3::FakeUsb3Control& control() { return m_file->control(); }
  static std::string serial(Camera camera);
  static uint32_t width(Camera camera);
  static uint32_t height(Camera camera);
  // The module's key of the camera ("basler SERIAL").
  static std::string key(Camera camera) { return "basler " + serial(camera); }

 private:
  std::unique_ptr<FakeUsbStateFile> m_file;
};
