// The fake libusb's calls as a client other than Aravis makes them: asynchronous transfers that
// are cancelled or whose device goes always call back through handle_events_timeout, and GenCP
// commands that are malformed, out of bounds or too long are refused with a device's status (or
// ignored, or stalled) without writing past any buffer.
#include <gtest/gtest.h>
#include <libusb-1.0/libusb.h>

#include <chrono>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "FakeUsb3Control.h"
#include "GenCpPacket.h"
#include "Usb3TestEnvironment.h"

using Zazod::FakeUsb3::FakeUsb3Control;
using Zazod::FakeUsb3::GenCpPacket;
using Zazod::FakeUsb3::Removal;
using Zazod::FakeUsb3::writeU16;
using Zazod::FakeUsb3::writeU32;
using Zazod::FakeUsb3::writeU64;

namespace {

constexpr unsigned char kControlOut = 0x01;
constexpr unsigned char kControlIn = 0x81;
constexpr unsigned char kStreamIn = 0x83;

// The first camera, opened and its control and stream interfaces claimed, on a context of its own.
class OpenedDevice {
 public:
  OpenedDevice() {
    libusb_init(&m_context);
    libusb_device** list = nullptr;
    const ssize_t count = libusb_get_device_list(m_context, &list);
    if (count > 0 && libusb_open(list[0], &m_handle) == LIBUSB_SUCCESS) {
      libusb_claim_interface(m_handle, 0);
      libusb_claim_interface(m_handle, 2);
    }
    libusb_free_device_list(list, 1);
  }
  ~OpenedDevice() {
    if (m_handle != nullptr) {
      libusb_close(m_handle);
    }
    libusb_exit(m_context);
  }
  libusb_context* context() const { return m_context; }
  libusb_device_handle* handle() const { return m_handle; }

 private:
  libusb_context* m_context = nullptr;
  libusb_device_handle* m_handle = nullptr;
};

std::vector<uint8_t> command(uint16_t code, uint16_t id, const std::vector<uint8_t>& payload) {
  std::vector<uint8_t> packet(GenCpPacket::kPrefixBytes + payload.size());
  writeU32(packet.data(), GenCpPacket::kMagic);
  writeU16(packet.data() + 4, GenCpPacket::kFlagAckRequested);
  writeU16(packet.data() + 6, code);
  writeU16(packet.data() + 8, static_cast<uint16_t>(payload.size()));
  writeU16(packet.data() + 10, id);
  std::copy(payload.begin(), payload.end(), packet.begin() + GenCpPacket::kPrefixBytes);
  return packet;
}

std::vector<uint8_t> readCommand(uint16_t id, uint64_t address, uint16_t length) {
  std::vector<uint8_t> payload(12);
  writeU64(payload.data(), address);
  writeU16(payload.data() + 10, length);
  return command(GenCpPacket::kReadMem, id, payload);
}

std::vector<uint8_t> writeCommand(uint16_t id, uint64_t address, uint32_t value) {
  std::vector<uint8_t> payload(12);
  writeU64(payload.data(), address);
  writeU32(payload.data() + 8, value);
  return command(GenCpPacket::kWriteMem, id, payload);
}

struct Counting {
  int calls = 0;
  std::vector<libusb_transfer_status> statuses;
};

void LIBUSB_CALL countCallback(libusb_transfer* transfer) {
  auto* counting = static_cast<Counting*>(transfer->user_data);
  ++counting->calls;
  counting->statuses.push_back(transfer->status);
}

// Runs handle_events until `calls` callbacks came, within a bound that only catches a hang.
bool handleUntil(libusb_context* context, const Counting& counting, int calls) {
  const auto bound = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (counting.calls < calls && std::chrono::steady_clock::now() < bound) {
    timeval tv{0, 100000};
    libusb_handle_events_timeout(context, &tv);
  }
  return counting.calls >= calls;
}

class LibusbCallsTest : public ::testing::Test {
 protected:
  void SetUp() override { Usb3TestEnvironment::instance().reset(); }
  FakeUsb3Control& control() { return Usb3TestEnvironment::instance().control(); }
};

}  // namespace

TEST_F(LibusbCallsTest, CancelledAndOrphanedTransfersAlwaysCallBack) {
  OpenedDevice device;
  ASSERT_NE(device.handle(), nullptr);
  // No acquisition runs: the stream sends nothing, so every transfer stays in flight.
  Counting counting;
  std::vector<std::vector<unsigned char>> buffers(3, std::vector<unsigned char>(4096));
  std::vector<libusb_transfer*> transfers;
  for (auto& buffer : buffers) {
    libusb_transfer* transfer = libusb_alloc_transfer(0);
    libusb_fill_bulk_transfer(transfer, device.handle(), kStreamIn, buffer.data(),
                              static_cast<int>(buffer.size()), countCallback, &counting, 0);
    ASSERT_EQ(libusb_submit_transfer(transfer), LIBUSB_SUCCESS);
    transfers.push_back(transfer);
  }
  EXPECT_EQ(libusb_cancel_transfer(transfers[0]), LIBUSB_SUCCESS);
  EXPECT_EQ(libusb_cancel_transfer(transfers[0]), LIBUSB_ERROR_NOT_FOUND);
  EXPECT_EQ(libusb_cancel_transfer(transfers[2]), LIBUSB_SUCCESS);
  ASSERT_TRUE(handleUntil(device.context(), counting, 2));
  EXPECT_EQ(counting.statuses,
            (std::vector<libusb_transfer_status>{LIBUSB_TRANSFER_CANCELLED, LIBUSB_TRANSFER_CANCELLED}));
  control().unplug(0, Removal::NoDevice);
  ASSERT_TRUE(handleUntil(device.context(), counting, 3));
  EXPECT_EQ(counting.statuses.back(), LIBUSB_TRANSFER_NO_DEVICE);
  EXPECT_EQ(libusb_submit_transfer(transfers[1]), LIBUSB_ERROR_NO_DEVICE);
  for (libusb_transfer* transfer : transfers) {
    libusb_free_transfer(transfer);
  }
  EXPECT_EQ(counting.calls, 3);
}

struct HostileCase {
  const char* name;
  std::vector<uint8_t> bytes;
  int outResult;    // of the bulk OUT transfer
  bool answered;    // whether an acknowledge follows
  uint16_t status;  // its status
};

void PrintTo(const HostileCase& c, std::ostream* out) { *out << c.name; }

class HostileCommandTest : public LibusbCallsTest, public ::testing::WithParamInterface<HostileCase> {};

TEST_P(HostileCommandTest, IsRefusedAsADeviceWould) {
  const HostileCase& c = GetParam();
  OpenedDevice device;
  ASSERT_NE(device.handle(), nullptr);
  std::vector<uint8_t> bytes = c.bytes;
  int transferred = 0;
  EXPECT_EQ(libusb_bulk_transfer(device.handle(), kControlOut, bytes.data(), static_cast<int>(bytes.size()),
                                 &transferred, 200),
            c.outResult);
  std::vector<uint8_t> answer(2048, 0xAB);
  const int result = libusb_bulk_transfer(device.handle(), kControlIn, answer.data(), 1024, &transferred, 50);
  if (!c.answered) {
    EXPECT_EQ(result, LIBUSB_ERROR_TIMEOUT);
    EXPECT_EQ(transferred, 0);
    return;
  }
  ASSERT_EQ(result, LIBUSB_SUCCESS);
  ASSERT_GE(transferred, 12);
  EXPECT_EQ(Zazod::FakeUsb3::readU16(answer.data() + 4), c.status);
  EXPECT_EQ(Zazod::FakeUsb3::readU16(answer.data() + 10), Zazod::FakeUsb3::readU16(c.bytes.data() + 10));
  EXPECT_EQ(answer[1024], 0xAB);
}

namespace {
std::vector<uint8_t> withLengthField(std::vector<uint8_t> bytes, uint16_t length) {
  writeU16(bytes.data() + 8, length);
  return bytes;
}
std::vector<uint8_t> withMagic(std::vector<uint8_t> bytes, uint32_t magic) {
  writeU32(bytes.data(), magic);
  return bytes;
}
}  // namespace

INSTANTIATE_TEST_SUITE_P(
    Commands, HostileCommandTest,
    ::testing::Values(
        HostileCase{"GoodRead", readCommand(7, 0x0004, 64), LIBUSB_SUCCESS, true, GenCpPacket::kSuccess},
        HostileCase{"WrongMagic", withMagic(readCommand(7, 0x0004, 64), 0x12345678), LIBUSB_SUCCESS, false,
                    0},
        HostileCase{"TooShortForAPrefix", std::vector<uint8_t>(11, 0x55), LIBUSB_SUCCESS, false, 0},
        HostileCase{"LengthFieldDisagrees", withLengthField(readCommand(8, 0x0004, 64), 40), LIBUSB_SUCCESS,
                    true, GenCpPacket::kInvalidHeader},
        HostileCase{"ReadOfNothing", readCommand(9, 0x0004, 0), LIBUSB_SUCCESS, true,
                    GenCpPacket::kInvalidParameter},
        HostileCase{"ReadLongerThanAnAck", readCommand(10, 0x100000, 1013), LIBUSB_SUCCESS, true,
                    GenCpPacket::kInvalidParameter},
        HostileCase{"ReadWrappingTheAddressSpace", readCommand(11, 0xFFFFFFFFFFFFFFF0ULL, 64), LIBUSB_SUCCESS,
                    true, GenCpPacket::kInvalidAddress},
        HostileCase{"ReadPastTheManifest", readCommand(12, 0x3000 + 70, 64), LIBUSB_SUCCESS, true,
                    GenCpPacket::kInvalidAddress},
        HostileCase{"WriteToTheVendorName", writeCommand(13, 0x0004, 0x41414141), LIBUSB_SUCCESS, true,
                    GenCpPacket::kWriteProtect},
        HostileCase{"WriteNowhere", writeCommand(14, 0x7000000, 1), LIBUSB_SUCCESS, true,
                    GenCpPacket::kInvalidAddress},
        HostileCase{"WidthBeyondItsMaximum", writeCommand(15, 0x10000, 100000), LIBUSB_SUCCESS, true,
                    GenCpPacket::kInvalidParameter},
        HostileCase{"UnknownCommand", command(0x0900, 16, {}), LIBUSB_SUCCESS, true,
                    GenCpPacket::kNotImplemented},
        HostileCase{"LongerThanTheDeviceTakes",
                    command(GenCpPacket::kWriteMem, 17, std::vector<uint8_t>(1100, 1)), LIBUSB_ERROR_PIPE,
                    false, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(LibusbCallsTest, AnAcknowledgeLargerThanTheBufferOverflowsWithinIt) {
  OpenedDevice device;
  ASSERT_NE(device.handle(), nullptr);
  std::vector<uint8_t> bytes = readCommand(20, 0x0004, 64);
  int transferred = 0;
  ASSERT_EQ(libusb_bulk_transfer(device.handle(), kControlOut, bytes.data(), static_cast<int>(bytes.size()),
                                 &transferred, 200),
            LIBUSB_SUCCESS);
  std::vector<uint8_t> answer(64, 0xAB);
  EXPECT_EQ(libusb_bulk_transfer(device.handle(), kControlIn, answer.data(), 32, &transferred, 200),
            LIBUSB_ERROR_OVERFLOW);
  EXPECT_EQ(transferred, 32);
  EXPECT_EQ(answer[32], 0xAB);
}
