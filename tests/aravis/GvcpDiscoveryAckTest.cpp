// GvcpDiscoveryAck: only the whole acknowledge of our own discovery command, with a printable
// identity and a serial number without spaces, identifies a device. Each row is an answer a
// hostile device may send. The same answers through a socket, from a device of the test's own on
// loopback, show that the probe and the listing keep to the judgement.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "DeviceIdentity.h"
#include "GvcpDiscoveryAck.h"
#include "GvcpProbe.h"
#include "HostileGvcpDevice.h"
#include "pylon/PylonIncludes.h"

namespace {

using Zazod::Aravis::DeviceIdentity;
using Zazod::Aravis::GvcpDiscoveryAck;
using Zazod::Aravis::GvcpProbe;
using Verdict = GvcpDiscoveryAck::Verdict;
using Bytes = std::vector<uint8_t>;

void put(Bytes& bytes, size_t offset, const std::string& text) {
  std::memcpy(bytes.data() + offset, text.data(), text.size());
}

// A well-formed acknowledge of request `requestId` (header and the 0xf8-byte discovery block).
Bytes answer(uint16_t requestId = 1, const std::string& vendor = "Basler",
             const std::string& model = "acA1300", const std::string& serial = "21054321",
             const std::string& userName = "line 3") {
  Bytes bytes(GvcpDiscoveryAck::kHeaderSize + GvcpDiscoveryAck::kBlockSize, 0);
  bytes[2] = 0x00;
  bytes[3] = 0x03;
  bytes[4] = 0x00;
  bytes[5] = 0xf8;
  bytes[6] = static_cast<uint8_t>(requestId >> 8);
  bytes[7] = static_cast<uint8_t>(requestId & 0xff);
  put(bytes, 8 + 0x48, vendor);
  put(bytes, 8 + 0x68, model);
  put(bytes, 8 + 0xd8, serial);
  put(bytes, 8 + 0xe8, userName);
  return bytes;
}

Bytes with(Bytes bytes, const std::function<void(Bytes&)>& change) {
  change(bytes);
  return bytes;
}

// The first `size` bytes of `bytes`.
Bytes prefix(const Bytes& bytes, size_t size) {
  return Bytes(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(size));
}

void setLength(Bytes& bytes, size_t length) {
  bytes[4] = static_cast<uint8_t>(length >> 8);
  bytes[5] = static_cast<uint8_t>(length & 0xff);
}

struct AnswerCase {
  const char* name;
  Bytes bytes;
  Verdict verdict;
  const char* reason;  // null for an identified device
};

std::ostream& operator<<(std::ostream& out, const AnswerCase& c) { return out << c.name; }

constexpr const char* kNoAck = "the answer is no acknowledge of this discovery command";
constexpr const char* kShort = "the answer is shorter than a GVCP header";
constexpr const char* kLengthMismatch = "the answer's declared length is not the length received";
constexpr const char* kNoBlock = "the answer's length cannot carry a whole discovery block";
constexpr const char* kMissingName = "the device gave no vendor, model or serial number";
constexpr const char* kBadSerial =
    "the device's serial number holds a space or a byte that is no printable ASCII";
constexpr const char* kBadName =
    "the device's vendor, model or user-defined name holds a byte that is no printable ASCII";

std::vector<AnswerCase> answerCases() {
  const std::string full32(32, 'V');  // a vendor field without its NUL: all 32 bytes are the name
  return {
      {"Whole", answer(), Verdict::Identified, nullptr},
      {"FullFieldsWithoutNul", answer(1, full32, full32, std::string(16, 'S'), std::string(16, 'U')),
       Verdict::Identified, nullptr},
      {"NoUserName", answer(1, "Basler", "acA1300", "21054321", ""), Verdict::Identified, nullptr},
      {"Empty", {}, Verdict::Refused, kShort},
      {"HeaderCutShort", Bytes{0, 0, 0, 3, 0, 0, 0}, Verdict::Refused, kShort},
      // An acknowledge of 8 bytes that claims nothing more: every field would be empty.
      {"HeaderOnly", with(prefix(answer(), 8), [](Bytes& b) { setLength(b, 0); }), Verdict::Refused,
       kNoBlock},
      {"HeaderOnlyClaimingTheBlock", prefix(answer(), 8), Verdict::Refused, kLengthMismatch},
      {"TruncatedBeforeTheSerial", prefix(answer(), 8 + 0xd8), Verdict::Refused, kLengthMismatch},
      {"TruncatedByOneByte", prefix(answer(), answer().size() - 1), Verdict::Refused, kLengthMismatch},
      {"OverlongTrailingBytes", with(answer(), [](Bytes& b) { b.resize(b.size() + 4, 0); }), Verdict::Refused,
       kLengthMismatch},
      {"ShortBlockDeclaredAndSent", with(prefix(answer(), 8 + 0x80), [](Bytes& b) { setLength(b, 0x80); }),
       Verdict::Refused, kNoBlock},
      {"LengthBeyondAnyAnswer", with(answer(), [](Bytes& b) { b.resize(8 + 600, 0), setLength(b, 600); }),
       Verdict::Refused, kNoBlock},
      {"LargerBlockWithinBounds",
       with(answer(), [](Bytes& b) { b.resize(8 + 0x100, 0), setLength(b, 0x100); }), Verdict::Identified,
       nullptr},
      {"ErrorStatus", with(answer(), [](Bytes& b) { b[0] = 0x80, b[1] = 0x01; }), Verdict::Refused,
       "the device answered with an error status"},
      {"AnotherAcknowledge", with(answer(), [](Bytes& b) { b[3] = 0x81; }), Verdict::Ignored, kNoAck},
      {"ACommandInsteadOfAnAnswer", with(answer(), [](Bytes& b) { b[3] = 0x02; }), Verdict::Ignored, kNoAck},
      {"AnotherRequestId", answer(2), Verdict::Ignored, kNoAck},
      {"AllFieldsZero", answer(1, "", "", "", ""), Verdict::Refused, kMissingName},
      {"NoSerial", answer(1, "Basler", "acA1300", ""), Verdict::Refused, kMissingName},
      {"NoVendor", answer(1, "", "acA1300"), Verdict::Refused, kMissingName},
      {"SerialWithASpace", answer(1, "Basler", "acA1300", "AB CD"), Verdict::Refused, kBadSerial},
      {"SerialWithATab", answer(1, "Basler", "acA1300", "AB\tCD"), Verdict::Refused, kBadSerial},
      {"SerialWithANewline", answer(1, "Basler", "acA1300", "AB\nCD"), Verdict::Refused, kBadSerial},
      {"SerialOfInvalidUtf8", answer(1, "Basler", "acA1300", "AB\xff\xfe"), Verdict::Refused, kBadSerial},
      {"SerialOfValidUtf8", answer(1, "Basler", "acA1300", "AB\xc3\xa9"), Verdict::Refused, kBadSerial},
      {"SerialWithDelete", answer(1, "Basler", "acA1300", "AB\x7f"), Verdict::Refused, kBadSerial},
      {"VendorWithAnEscape", answer(1, "Bas\x1b[2Jler"), Verdict::Refused, kBadName},
      {"ModelWithACarriageReturn", answer(1, "Basler", "acA\r1300"), Verdict::Refused, kBadName},
      {"UserNameOfInvalidUtf8", answer(1, "Basler", "acA1300", "21054321", "\xc3("), Verdict::Refused,
       kBadName},
      {"VendorWithASpace", answer(1, "Basler AG"), Verdict::Identified, nullptr},
  };
}

class HostileAnswers : public ::testing::TestWithParam<AnswerCase> {};

TEST_P(HostileAnswers, IdentifyOnlyAWholeAnswerWithAnAcceptableIdentity) {
  const AnswerCase& c = GetParam();
  DeviceIdentity identity{"before", "before", "before", "before"};
  const GvcpDiscoveryAck::Outcome outcome =
      GvcpDiscoveryAck::parse(c.bytes.data(), c.bytes.size(), 1, identity);
  EXPECT_EQ(outcome.verdict, c.verdict);
  if (c.reason == nullptr) {
    EXPECT_EQ(outcome.reason, nullptr);
  } else {
    EXPECT_STREQ(outcome.reason, c.reason);
    EXPECT_EQ(identity.serialNumber, "before");  // untouched unless identified
  }
}

INSTANTIATE_TEST_SUITE_P(GvcpDiscoveryAck, HostileAnswers, ::testing::ValuesIn(answerCases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(GvcpDiscoveryAck, TakesTheFieldsOfTheBlock) {
  const Bytes bytes = answer(7, "Basler", "acA1300-30gm", "21054321", "line 3");
  DeviceIdentity identity;
  ASSERT_EQ(GvcpDiscoveryAck::parse(bytes.data(), bytes.size(), 7, identity).verdict, Verdict::Identified);
  EXPECT_EQ(identity.vendor, "Basler");
  EXPECT_EQ(identity.model, "acA1300-30gm");
  EXPECT_EQ(identity.serialNumber, "21054321");
  EXPECT_EQ(identity.userDefinedName, "line 3");
  uint8_t command[GvcpDiscoveryAck::kHeaderSize];
  GvcpDiscoveryAck::command(7, command);
  EXPECT_EQ(Bytes(command, command + sizeof command),
            (Bytes{0x42, 0x01, 0x00, 0x02, 0x00, 0x00, 0x00, 0x07}));
}

// What Aravis's own discovery reports goes through the same rules; its names are not bounded by
// the discovery block's fields.
TEST(DeviceIdentity, BoundsTheLengthOfEveryName) {
  const std::string longest(DeviceIdentity::kMaxLength, 'x');
  const std::string tooLong(DeviceIdentity::kMaxLength + 1, 'x');
  EXPECT_EQ(DeviceIdentity({longest, longest, longest, longest}).refusal(), nullptr);
  for (int field = 0; field < 4; ++field) {
    DeviceIdentity identity{"Basler", "acA1300", "21054321", ""};
    std::string* names[] = {&identity.vendor, &identity.model, &identity.serialNumber,
                            &identity.userDefinedName};
    *names[field] = tooLong;
    EXPECT_STREQ(identity.refusal(), "the device gave a name longer than 64 bytes") << field;
  }
}

struct ProbeCase {
  const char* name;
  Bytes reply;
  const char* refusal;  // null: identified
};

std::ostream& operator<<(std::ostream& out, const ProbeCase& c) { return out << c.name; }

class ProbeAgainstAHostileDevice : public ::testing::TestWithParam<ProbeCase> {};

TEST_P(ProbeAgainstAHostileDevice, IdentifiesOnlyWholeAcceptableAnswers) {
  const ProbeCase& c = GetParam();
  HostileGvcpDevice device("127.0.0.9", c.reply);
  ASSERT_TRUE(device.bound());
  GvcpProbe::Identity identity;
  const char* refusal = "unset";
  const bool identified = GvcpProbe::identify("127.0.0.9", 3000, identity, &refusal);
  EXPECT_GE(device.commands(), 1);  // the device was asked, and so answered
  if (c.refusal == nullptr) {
    EXPECT_TRUE(identified);
    EXPECT_EQ(refusal, nullptr);
    EXPECT_EQ(identity.serialNumber, "21054321");
  } else {
    EXPECT_FALSE(identified);
    EXPECT_STREQ(refusal, c.refusal);
  }
}

INSTANTIATE_TEST_SUITE_P(
    GvcpProbe, ProbeAgainstAHostileDevice,
    ::testing::Values(
        ProbeCase{"Whole", answer(), nullptr},
        ProbeCase{"HeaderOnly", with(prefix(answer(), 8), [](Bytes& b) { setLength(b, 0); }), kNoBlock},
        ProbeCase{"SerialWithASpace", answer(1, "Basler", "acA1300", "21054321 EMU0001"), kBadSerial},
        // Longer than the probe's buffer: seen whole through its own length, not cut.
        ProbeCase{"Oversized", with(answer(), [](Bytes& b) { b.resize(4000, 'A'); }),
                  "the answer is longer than any GVCP answer"}),
    [](const auto& info) { return std::string(info.param.name); });

// What the SDK writes to stderr while `run` runs.
template <typename Run>
std::string stderrOf(Run run) {
  std::fflush(stderr);
  char path[] = "/tmp/zazod-stderr-XXXXXX";
  const int file = mkstemp(path);
  const int saved = dup(2);
  dup2(file, 2);
  run();
  std::fflush(stderr);
  dup2(saved, 2);
  close(saved);
  std::string text;
  char buffer[4096];
  lseek(file, 0, SEEK_SET);
  for (ssize_t got = read(file, buffer, sizeof buffer); got > 0; got = read(file, buffer, sizeof buffer)) {
    text.append(buffer, static_cast<size_t>(got));
  }
  close(file);
  std::remove(path);
  return text;
}

struct ListingCase {
  const char* name;
  Bytes reply;
  const char* listed;  // the serial number listed, or null
  const char* line;    // the line on stderr ("" for none)
};

std::ostream& operator<<(std::ostream& out, const ListingCase& c) { return out << c.name; }

class ListingOfAHostileDevice : public ::testing::TestWithParam<ListingCase> {};

// The attack of a serial number with a space: listed as "basler 21054321 EMU0001", the key would
// open the device whose serial number is "21054321". Such a device is not listed at all.
TEST_P(ListingOfAHostileDevice, ListsOnlyDevicesThatNameThemselvesAcceptably) {
  const ListingCase& c = GetParam();
  HostileGvcpDevice device("127.0.0.9", c.reply);
  ASSERT_TRUE(device.bound());
  const char* before = std::getenv("ZAZOD_SDK_ARAVIS_ADDRESSES");
  const std::string restore = before != nullptr ? before : "";
  setenv("ZAZOD_SDK_ARAVIS_ADDRESSES", "127.0.0.9", 1);
  Pylon::PylonInitialize();
  Pylon::DeviceInfoList_t devices;
  const std::string errors =
      stderrOf([&] { Pylon::CTlFactory::GetInstance().EnumerateDevices(devices, false); });
  Pylon::PylonTerminate();
  setenv("ZAZOD_SDK_ARAVIS_ADDRESSES", restore.c_str(), 1);
  EXPECT_GE(device.commands(), 1);
  if (c.listed != nullptr) {
    ASSERT_EQ(devices.size(), 1u);
    EXPECT_EQ(std::string(devices[0].GetSerialNumber().c_str()), c.listed);
  } else {
    EXPECT_TRUE(devices.empty());
  }
  EXPECT_EQ(errors, c.line);
}

INSTANTIATE_TEST_SUITE_P(
    AravisTransport, ListingOfAHostileDevice,
    ::testing::Values(
        ListingCase{"Whole", answer(), "21054321", ""},
        ListingCase{
            "SerialWithASpace", answer(1, "Basler", "acA1300", "21054321 EMU0001"), nullptr,
            "zazod_sdk: the GigE Vision device at 127.0.0.9 is not listed: the device's serial number "
            "holds a space or a byte that is no printable ASCII\n"},
        ListingCase{
            "HeaderOnly", with(prefix(answer(), 8), [](Bytes& b) { setLength(b, 0); }), nullptr,
            "zazod_sdk: the GigE Vision device at 127.0.0.9 is not listed: the answer's length cannot "
            "carry a whole discovery block\n"}),
    [](const auto& info) { return std::string(info.param.name); });

// Aravis's own discovery (no addresses set) reports what a device says of itself just as well:
// the same rules keep the device with a spaced serial number out of the list.
TEST(AravisTransport, DiscoveryListsNoDeviceWithASpacedSerialNumber) {
  // Aravis broadcasts its discovery (to 255.255.255.255), which only a socket bound to any address
  // receives; the test's namespace has nothing but loopback.
  HostileGvcpDevice device("0.0.0.0", answer(1, "Basler", "acA1300", "21054321 EMU0001"));
  ASSERT_TRUE(device.bound());
  const char* before = std::getenv("ZAZOD_SDK_ARAVIS_ADDRESSES");
  const std::string restore = before != nullptr ? before : "";
  unsetenv("ZAZOD_SDK_ARAVIS_ADDRESSES");
  Pylon::PylonInitialize();
  Pylon::DeviceInfoList_t devices;
  const std::string errors =
      stderrOf([&] { Pylon::CTlFactory::GetInstance().EnumerateDevices(devices, false); });
  Pylon::PylonTerminate();
  setenv("ZAZOD_SDK_ARAVIS_ADDRESSES", restore.c_str(), 1);
  EXPECT_GE(device.commands(), 1);  // Aravis asked it
  EXPECT_TRUE(devices.empty());
  EXPECT_NE(
      errors.find("zazod_sdk: a GigEVision device Aravis found is not listed: the device's serial number "
                  "holds a space or a byte that is no printable ASCII\n"),
      std::string::npos)
      << errors;
}

}  // namespace
