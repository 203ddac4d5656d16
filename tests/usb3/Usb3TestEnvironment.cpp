// Usb3TestEnvironment: the test program's state file and its reset between tests.
#include "Usb3TestEnvironment.h"

#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <stdexcept>

using Zazod::FakeUsb3::CameraSetup;
using Zazod::FakeUsb3::FakeUsb3Control;

namespace {
std::unique_ptr<Usb3TestEnvironment> environment;
}

Usb3TestEnvironment::Usb3TestEnvironment(std::string folder, FakeUsb3Control control)
    : m_folder(std::move(folder)), m_control(std::move(control)) {}

Usb3TestEnvironment::~Usb3TestEnvironment() {
  unlink((m_folder + "/state").c_str());
  rmdir(m_folder.c_str());
}

void Usb3TestEnvironment::setUp() {
  char folder[] = "/tmp/fake-usb3-test.XXXXXX";
  if (mkdtemp(folder) == nullptr) {
    throw std::runtime_error("cannot make a temporary folder");
  }
  const std::string path = std::string(folder) + "/state";
  CameraSetup first;
  first.serial = "USB30001";
  CameraSetup second;
  second.serial = "USB30002";
  FakeUsb3Control control = FakeUsb3Control::create(path, {first, second});
  setenv("ZAZOD_FAKE_USB3_STATE", path.c_str(), 1);
  environment.reset(new Usb3TestEnvironment(folder, std::move(control)));
}

Usb3TestEnvironment& Usb3TestEnvironment::instance() { return *environment; }

void Usb3TestEnvironment::reset() {
  for (size_t i = 0; i < m_control.cameraCount(); ++i) {
    m_control.replug(i);
    m_control.disarmAll(i);
    m_control.setLine1Hz(i, 0);
    m_control.setFrameRateHz(i, FakeUsb3Control::kDefaultFrameRateMilliHz / 1000.0);
    m_control.resetCounters(i);
  }
}

void Usb3TestEnvironment::Flag::set() {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_set = true;
  m_changed.notify_all();
}

bool Usb3TestEnvironment::Flag::waitFor(std::chrono::seconds bound) {
  std::unique_lock<std::mutex> lock(m_mutex);
  return m_changed.wait_for(lock, bound, [&] { return m_set; });
}
