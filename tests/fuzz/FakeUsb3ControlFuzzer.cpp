// libFuzzer target: the fake USB3 Vision camera's control channel and stream as a hostile host
// drives them. The input is a sequence of steps: a GenCP command of chosen bytes (often with a
// valid prefix, so the parser's later checks are reached) written to the control OUT endpoint,
// an acknowledge read into a buffer of chosen size, or a stream read of chosen size. Every buffer
// is exactly as large as the length given, so AddressSanitizer catches any write past it.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "DeviceModel.h"
#include "FakeUsb3Control.h"
#include "FuzzInput.h"
#include "GenCpPacket.h"

using namespace Zazod::FakeUsb3;

namespace {

SharedState* sharedState = nullptr;

void setUp() {
  char path[] = "/tmp/fake-usb3-fuzz.XXXXXX";
  const int fd = mkstemp(path);
  if (fd < 0) {
    std::abort();
  }
  close(fd);
  CameraSetup setup;
  setup.serial = "USB30001";
  setup.width = 300;
  setup.height = 4;
  FakeUsb3Control::create(path, {setup}).setFrameRateHz(0, 0);
  std::string error;
  sharedState = new SharedState(SharedState::map(path, error));
  unlink(path);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (sharedState == nullptr) {
    setUp();
  }
  CameraIdentity identity;
  sharedState->identity(0, identity);
  DeviceModel model(*sharedState, 0, identity, load(sharedState->record(0)->plugGeneration));
  FuzzInput input(data, size);
  for (int step = 0; step < 32 && input.byte() != 0xFF; ++step) {
    switch (input.choice(3)) {
      case 0: {
        const size_t length = input.choice(48) + (input.flag() ? 1024 : 0);
        std::vector<uint8_t> bytes(length);
        for (uint8_t& b : bytes) {
          b = input.byte();
        }
        if (input.flag() && length >= GenCpPacket::kPrefixBytes) {
          writeU32(bytes.data(), GenCpPacket::kMagic);
          writeU16(bytes.data() + 6, input.flag() ? GenCpPacket::kReadMem : GenCpPacket::kWriteMem);
          writeU16(bytes.data() + 8, static_cast<uint16_t>(length - GenCpPacket::kPrefixBytes));
        }
        model.controlOut(bytes.data(), static_cast<int>(bytes.size()));
        break;
      }
      case 1: {
        std::vector<uint8_t> buffer(input.choice(80) + 1);
        int transferred = 0;
        model.controlIn(buffer.data(), static_cast<int>(buffer.size()), &transferred);
        if (transferred < 0 || static_cast<size_t>(transferred) > buffer.size()) {
          std::abort();
        }
        break;
      }
      default: {
        std::vector<uint8_t> buffer(input.choice(255) * 8 + 1);
        int transferred = 0;
        DeviceModel::Clock::time_point wake;
        model.streamRead(buffer.data(), static_cast<int>(buffer.size()), &transferred, &wake);
        if (transferred < 0 || static_cast<size_t>(transferred) > buffer.size()) {
          std::abort();
        }
        break;
      }
    }
  }
  return 0;
}
