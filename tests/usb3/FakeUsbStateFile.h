// FakeUsbStateFile: fake USB3 Vision devices for this process and the processes it starts: a state
// file with the given cameras in a fresh temporary folder, ZAZOD_FAKE_USB3_STATE pointed at it (set
// it before the first libusb_init, that is before the SDK layer first lists devices), and the
// fake's control API over it. The file and its folder go with the object.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "FakeUsb3Control.h"

class FakeUsbStateFile {
 public:
  // Throws std::runtime_error with the reason when the folder or the file cannot be made.
  explicit FakeUsbStateFile(const std::vector<Zazod::FakeUsb3::CameraSetup>& cameras);
  ~FakeUsbStateFile();
  FakeUsbStateFile(const FakeUsbStateFile&) = delete;
  FakeUsbStateFile& operator=(const FakeUsbStateFile&) = delete;

  Zazod::FakeUsb3::FakeUsb3Control& control() { return *m_control; }
  const std::string& path() const { return m_path; }

 private:
  void remove();

  std::string m_folder;
  std::string m_path;
  std::unique_ptr<Zazod::FakeUsb3::FakeUsb3Control> m_control;
};
