// StreamPath: the ZAZOD_SDK_ARAVIS_PACKET_SOCKET setting, the way it gives with and without the
// permission to open a packet socket, and how a bad value is reported.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "StreamPath.h"

namespace {

using Zazod::Aravis::StreamPath;

struct ModeCase {
  const char* text;
  std::optional<StreamPath::Mode> mode;
};

TEST(StreamPath, OnlyAutoAndOffAreModes) {
  const ModeCase cases[] = {{"auto", StreamPath::Mode::Auto},
                            {"off", StreamPath::Mode::Off},
                            {"", std::nullopt},
                            {"AUTO", std::nullopt},
                            {"on", std::nullopt},
                            {"off ", std::nullopt},
                            {"auto\n", std::nullopt},
                            {"0", std::nullopt}};
  for (const ModeCase& c : cases) {
    EXPECT_EQ(StreamPath::parseMode(c.text), c.mode) << '"' << c.text << '"';
  }
}

TEST(StreamPath, OffAlwaysGivesTheSocketAutoThePacketSocketWherePermitted) {
  EXPECT_EQ(StreamPath::choose(StreamPath::Mode::Auto, true), StreamPath::Way::PacketSocket);
  EXPECT_EQ(StreamPath::choose(StreamPath::Mode::Auto, false), StreamPath::Way::SocketNotPermitted);
  EXPECT_EQ(StreamPath::choose(StreamPath::Mode::Off, true), StreamPath::Way::SocketBySetting);
  EXPECT_EQ(StreamPath::choose(StreamPath::Mode::Off, false), StreamPath::Way::SocketBySetting);
}

// A bad value is reported, bounded and with its control characters replaced, and "auto" is used:
// the way is then the one "auto" gives in this process.
TEST(StreamPath, ABadSettingIsReportedAndAutoUsed) {
  const char* before = std::getenv("ZAZOD_SDK_ARAVIS_PACKET_SOCKET");
  const std::string saved = before != nullptr ? before : "";
  const StreamPath::Way automatic =
      StreamPath::choose(StreamPath::Mode::Auto, StreamPath::packetSocketPermitted());
  struct Case {
    const char* value;
    const char* report;
  };
  const Case cases[] = {
      {"of", "zazod_sdk: ZAZOD_SDK_ARAVIS_PACKET_SOCKET: \"of\" is neither auto nor off; auto used\n"},
      {"o\x1b[2Jff\n",
       "zazod_sdk: ZAZOD_SDK_ARAVIS_PACKET_SOCKET: \"o?[2Jff?\" is neither auto nor off; auto used\n"},
      {"0123456789012345678901234567890123456789",
       "zazod_sdk: ZAZOD_SDK_ARAVIS_PACKET_SOCKET: \"01234567890123456789012345678901...\" is neither auto "
       "nor "
       "off; auto used\n"},
  };
  for (const Case& c : cases) {
    setenv("ZAZOD_SDK_ARAVIS_PACKET_SOCKET", c.value, 1);
    ::testing::internal::CaptureStderr();
    const StreamPath::Way way = StreamPath::current();
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), c.report);
    EXPECT_EQ(way, automatic);
  }
  setenv("ZAZOD_SDK_ARAVIS_PACKET_SOCKET", "off", 1);
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(StreamPath::current(), StreamPath::Way::SocketBySetting);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
  if (before != nullptr) {
    setenv("ZAZOD_SDK_ARAVIS_PACKET_SOCKET", saved.c_str(), 1);
  } else {
    unsetenv("ZAZOD_SDK_ARAVIS_PACKET_SOCKET");
  }
}

}  // namespace
