// Usb3Rig: the shared state file of the fake USB3 Vision cameras and their fixed setup.
#include "Usb3Rig.h"

#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <vector>

namespace {

struct Setup {
  const char* serial;
  uint32_t width;
  uint32_t height;
  const char* vendor;
};

constexpr std::array<Setup, 3> kCameras{{
    {"USB30001", 640, 480, "Basler"},
    {"USB30002", 320, 256, "Basler"},
    {"USB30003", 640, 480, "Acme Imaging"},
}};

}  // namespace

Usb3Rig& Usb3Rig::instance() {
  static Usb3Rig rig;
  return rig;
}

bool Usb3Rig::setUp() {
  Usb3Rig& rig = instance();
  const char* base = std::getenv("TMPDIR");
  std::string folder = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/zazod-usb3-XXXXXX";
  if (mkdtemp(folder.data()) == nullptr) {
    std::perror("usb3_tests: no temporary folder for the fake cameras' state");
    return false;
  }
  rig.m_folder = folder;
  rig.m_path = folder + "/state";
  std::vector<Zazod::FakeUsb3::CameraSetup> cameras;
  for (const Setup& setup : kCameras) {
    Zazod::FakeUsb3::CameraSetup camera;
    camera.serial = setup.serial;
    camera.width = setup.width;
    camera.height = setup.height;
    camera.vendor = setup.vendor;
    cameras.push_back(camera);
  }
  try {
    rig.m_control = std::make_unique<Zazod::FakeUsb3::FakeUsb3Control>(
        Zazod::FakeUsb3::FakeUsb3Control::create(rig.m_path, cameras));
  } catch (const std::exception& error) {
    std::fprintf(stderr, "usb3_tests: the fake cameras' state: %s\n", error.what());
    tearDown();
    return false;
  }
  setenv("ZAZOD_FAKE_USB3_STATE", rig.m_path.c_str(), 1);
  return true;
}

void Usb3Rig::tearDown() {
  Usb3Rig& rig = instance();
  rig.m_control.reset();
  if (!rig.m_path.empty()) {
    unlink(rig.m_path.c_str());
  }
  if (!rig.m_folder.empty()) {
    rmdir(rig.m_folder.c_str());
  }
  rig.m_path.clear();
  rig.m_folder.clear();
}

std::string Usb3Rig::serial(Camera camera) { return kCameras.at(camera).serial; }
uint32_t Usb3Rig::width(Camera camera) { return kCameras.at(camera).width; }
uint32_t Usb3Rig::height(Camera camera) { return kCameras.at(camera).height; }
