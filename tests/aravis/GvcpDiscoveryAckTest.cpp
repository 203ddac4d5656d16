// GvcpDiscoveryAck: only the whole acknowledge of our own discovery command, with a printable
// identity and a serial number without spaces, identifies a device. Each row is an answer a
// hostile device may send. The same answers through a socket, from a device of the test's own on
// loopback, show that the probe and the listing keep to the judgement.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "DeviceIdentity.h"
#include "GvcpDiscoveryAck.h"
#include "GvcpProbe.h"

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
Bytes prefix(const Bytes& bytes, size_t size) { return Bytes(bytes.begin(), bytes.begin() + size); }

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

// A GVCP device of the test's own on a loopback address: it answers every discovery command with
// the given bytes (the request id of the command put in, unless `keepId`) and counts the commands.
class HostileDevice {
 public:
  HostileDevice(const char* address, Bytes reply) : m_reply(std::move(reply)) {
    m_fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(3956);
    inet_pton(AF_INET, address, &local.sin_addr);
    m_bound = m_fd >= 0 && bind(m_fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) == 0;
    if (m_bound) {
      m_thread = std::thread([this] { serve(); });
    }
  }
  ~HostileDevice() {
    m_stop.store(true);
    if (m_thread.joinable()) {
      m_thread.join();
    }
    if (m_fd >= 0) {
      close(m_fd);
    }
  }
  bool bound() const { return m_bound; }
  int commands() const { return m_commands.load(); }

 private:
  void serve() {
    while (!m_stop.load()) {
      pollfd entry{m_fd, POLLIN, 0};
      if (poll(&entry, 1, 50) <= 0) {  // a slice, to look at m_stop again
        continue;
      }
      uint8_t command[64];
      sockaddr_in peer{};
      socklen_t size = sizeof peer;
      const ssize_t got =
          recvfrom(m_fd, command, sizeof command, 0, reinterpret_cast<sockaddr*>(&peer), &size);
      if (got < 8) {
        continue;
      }
      m_commands.fetch_add(1);
      Bytes reply = m_reply;
      if (reply.size() >= 8) {
        reply[6] = command[6];
        reply[7] = command[7];
      }
      sendto(m_fd, reply.data(), reply.size(), 0, reinterpret_cast<const sockaddr*>(&peer), size);
    }
  }

  Bytes m_reply;
  int m_fd = -1;
  bool m_bound = false;
  std::atomic<bool> m_stop{false};
  std::atomic<int> m_commands{0};
  std::thread m_thread;
};

struct ProbeCase {
  const char* name;
  Bytes reply;
  const char* refusal;  // null: identified
};

std::ostream& operator<<(std::ostream& out, const ProbeCase& c) { return out << c.name; }

class ProbeAgainstAHostileDevice : public ::testing::TestWithParam<ProbeCase> {};

TEST_P(ProbeAgainstAHostileDevice, IdentifiesOnlyWholeAcceptableAnswers) {
  const ProbeCase& c = GetParam();
  HostileDevice device("127.0.0.9", c.reply);
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

}  // namespace
