// Usb3Rig: the fixed setup of the tests' fake USB3 Vision cameras.
#include "Usb3Rig.h"

#include <array>
#include <cstdio>
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
    instance().m_file = std::make_unique<FakeUsbStateFile>(cameras);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "usb3_module_tests: %s\n", error.what());
    return false;
  }
  return true;
}

void Usb3Rig::tearDown() { instance().m_file.reset(); }

std::string Usb3Rig::serial(Camera camera) { return kCameras.at(camera).serial; }
uint32_t Usb3Rig::width(Camera camera) { return kCameras.at(camera).width; }
uint32_t Usb3Rig::height(Camera camera) { return kCameras.at(camera).height; }
