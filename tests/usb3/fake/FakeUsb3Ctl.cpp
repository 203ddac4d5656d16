// fake-usb3-ctl: the command line of the fake USB3 Vision cameras' control API, for scripts.
//   fake-usb3-ctl STATE_FILE create N WxH | unplug I [no-device|device-left] | replug I
//                 | fault I NAME [COUNT] | line1 I HZ | rate I HZ | counters I
// Exit status 0 on success, 2 for a bad command line, 1 when the state file refuses the change.
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <vector>

#include "FakeUsb3Control.h"

using Zazod::FakeUsb3::CameraSetup;
using Zazod::FakeUsb3::FakeUsb3Control;
using Zazod::FakeUsb3::Fault;
using Zazod::FakeUsb3::Removal;

namespace {

int usage() {
  std::fprintf(stderr,
               "usage: fake-usb3-ctl STATE_FILE create N WxH | unplug I [no-device|device-left] | replug I\n"
               "                    | fault I NAME [COUNT] | line1 I HZ | rate I HZ | counters I\n"
               "faults: stall-stream transfer-timeout short-payload overlong-payload trailer-error\n"
               "        ack-wrong-id ack-error pending-ack\n");
  return 2;
}

// A whole decimal number in [0, max]; false for anything else.
bool number(const std::string& text, unsigned long max, unsigned long& value) {
  if (text.empty() || text.size() > 10 || text.find_first_not_of("0123456789") != std::string::npos) {
    return false;
  }
  value = std::strtoul(text.c_str(), nullptr, 10);
  return value <= max;
}

bool rate(const std::string& text, double& value) {
  char* end = nullptr;
  value = std::strtod(text.c_str(), &end);
  return !text.empty() && end != nullptr && *end == '\0' && value >= 0 && value <= 100000;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    return usage();
  }
  const std::string path = argv[1];
  const std::string command = argv[2];
  const std::vector<std::string> args(argv + 3, argv + argc);
  try {
    if (command == "create") {
      unsigned long count = 0;
      unsigned long width = 0;
      unsigned long height = 0;
      const std::string size = args.size() > 1 ? args[1] : "640x480";
      const size_t x = size.find('x');
      if (args.size() > 2 || !number(args[0], 16, count) || x == std::string::npos ||
          !number(size.substr(0, x), 16384, width) || !number(size.substr(x + 1), 16384, height)) {
        return usage();
      }
      std::vector<CameraSetup> cameras;
      for (unsigned long i = 1; i <= count; ++i) {
        char serial[16];
        std::snprintf(serial, sizeof(serial), "USB3%04lu", i);
        CameraSetup setup;
        setup.serial = serial;
        setup.width = static_cast<uint32_t>(width);
        setup.height = static_cast<uint32_t>(height);
        cameras.push_back(setup);
      }
      FakeUsb3Control::create(path, cameras);
      return 0;
    }
    unsigned long camera = 0;
    if (!number(args[0], 1000, camera)) {
      return usage();
    }
    FakeUsb3Control control = FakeUsb3Control::attach(path);
    if (command == "unplug" && args.size() <= 2) {
      const std::string how = args.size() == 2 ? args[1] : "no-device";
      if (how != "no-device" && how != "device-left") {
        return usage();
      }
      control.unplug(camera, how == "no-device" ? Removal::NoDevice : Removal::DeviceLeft);
    } else if (command == "replug" && args.size() == 1) {
      control.replug(camera);
    } else if (command == "fault" && (args.size() == 2 || args.size() == 3)) {
      Fault fault{};
      unsigned long count = 1;
      if (!FakeUsb3Control::faultFromName(args[1], fault) ||
          (args.size() == 3 && !number(args[2], 1000000, count))) {
        return usage();
      }
      control.arm(camera, fault, static_cast<uint32_t>(count));
    } else if ((command == "line1" || command == "rate") && args.size() == 2) {
      double hz = 0;
      if (!rate(args[1], hz)) {
        return usage();
      }
      command == "line1" ? control.setLine1Hz(camera, hz) : control.setFrameRateHz(camera, hz);
    } else if (command == "counters" && args.size() == 1) {
      const FakeUsb3Control::Counters c = control.counters(camera);
      std::printf(
          "framesSent %llu\ntriggersReceived %llu\nframesFailedByFault %llu\ncontrolCommands %llu\n"
          "line1Pulses %llu\n",
          static_cast<unsigned long long>(c.framesSent), static_cast<unsigned long long>(c.triggersReceived),
          static_cast<unsigned long long>(c.framesFailedByFault),
          static_cast<unsigned long long>(c.controlCommands), static_cast<unsigned long long>(c.line1Pulses));
    } else {
      return usage();
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "fake-usb3-ctl: %s\n", e.what());
    return 1;
  }
  return 0;
}
