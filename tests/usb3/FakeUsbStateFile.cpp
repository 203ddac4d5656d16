// FakeUsbStateFile: the temporary folder, the state file and the environment variable.
#include "FakeUsbStateFile.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

FakeUsbStateFile::FakeUsbStateFile(const std::vector<Zazod::FakeUsb3::CameraSetup>& cameras) {
  const char* base = std::getenv("TMPDIR");
  std::string folder = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/zazod-usb3-XXXXXX";
  if (mkdtemp(folder.data()) == nullptr) {
    throw std::runtime_error("no temporary folder for the fake USB3 Vision devices: " +
                             std::string(std::strerror(errno)));
  }
  m_folder = folder;
  m_path = folder + "/state";
  try {
    m_control = std::make_unique<Zazod::FakeUsb3::FakeUsb3Control>(
        Zazod::FakeUsb3::FakeUsb3Control::create(m_path, cameras));
  } catch (...) {
    remove();
    throw;
  }
  setenv("ZAZOD_FAKE_USB3_STATE", m_path.c_str(), 1);
}

FakeUsbStateFile::~FakeUsbStateFile() { remove(); }

void FakeUsbStateFile::remove() {
  m_control.reset();
  if (!m_path.empty()) {
    unlink(m_path.c_str());
  }
  if (!m_folder.empty()) {
    rmdir(m_folder.c_str());
  }
}
