// The live view's parts on their own: the display slot's rate cap and buffer hand-over, the
// encoder's picture and histogram, the sink's pairing of snaps with frames, the access policy, and
// the bounded log of a long-running host.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <chrono>
#include <set>
#include <vector>

#include "AccessPolicy.h"
#include "DisplayEncoder.h"
#include "DisplaySlot.h"
#include "LogCapture.h"
#include "ViewSink.h"

namespace {

using namespace std::chrono_literals;
using Clock = DisplaySlot::Clock;

std::vector<uint8_t> ramp(uint32_t width, uint32_t height) {
  std::vector<uint8_t> pixels(static_cast<size_t>(width) * height);
  for (size_t i = 0; i < pixels.size(); ++i) {
    pixels[i] = static_cast<uint8_t>(i % width);
  }
  return pixels;
}

struct RateCase {
  const char* name;
  double cameraHz;
  Clock::duration jitter;  // added to every other frame's time
  int minCopied;           // of one second of frames
  int maxCopied;
};

class DisplayRate : public testing::TestWithParam<RateCase> {};

TEST_P(DisplayRate, CopiesAboutThirtyFramesASecondAtMost) {
  const RateCase& c = GetParam();
  DisplaySlot slot(30);
  const std::vector<uint8_t> pixels = ramp(64, 48);
  const Clock::time_point start = Clock::now();
  const auto period =
      std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(1.0 / c.cameraHz));
  int copied = 0;
  const int frames = static_cast<int>(c.cameraHz);
  for (int i = 0; i < frames; ++i) {
    const Clock::time_point at = start + i * period + (i % 2 == 1 ? c.jitter : Clock::duration::zero());
    copied += slot.offer(pixels.data(), 64, 48, 8, static_cast<uint32_t>(i + 1), at) ? 1 : 0;
  }
  EXPECT_GE(copied, c.minCopied);
  EXPECT_LE(copied, c.maxCopied);
  EXPECT_EQ(slot.newest(), static_cast<uint64_t>(copied));
}

INSTANTIATE_TEST_SUITE_P(Cases, DisplayRate,
                         testing::Values(RateCase{"Slow", 10, Clock::duration::zero(), 10, 10},
                                         RateCase{"Thirty", 30, Clock::duration::zero(), 30, 30},
                                         RateCase{"ThirtyWithJitter", 30, 8ms, 30, 30},
                                         RateCase{"Hundred", 100, Clock::duration::zero(), 29, 32},
                                         RateCase{"Thousand", 1000, Clock::duration::zero(), 29, 32}),
                         [](const testing::TestParamInfo<RateCase>& info) {
                           return std::string(info.param.name);
                         });

TEST(DisplaySlot, HandsOverTheNewestCopyAndReusesThreeBuffers) {
  DisplaySlot slot(1000);
  Clock::time_point at = Clock::now();
  std::vector<uint8_t> pixels = ramp(32, 8);
  DisplayPixels reader;
  std::set<const uint8_t*> buffers;
  for (uint32_t i = 1; i <= 30; ++i) {
    pixels[0] = static_cast<uint8_t>(i);
    at += 10ms;
    ASSERT_TRUE(slot.offer(pixels.data(), 32, 8, 8, i, at));
    if (i % 3 == 0) {  // a reader that keeps its copy while frames go on arriving
      ASSERT_TRUE(slot.take(reader.sequence, reader));
      EXPECT_EQ(reader.imageNumber, i);
      EXPECT_EQ(reader.pixels[0], i);
      EXPECT_EQ(reader.pixels[1], 1);
      buffers.insert(reader.pixels.data());
    }
  }
  EXPECT_FALSE(slot.take(reader.sequence, reader));  // nothing newer
  EXPECT_EQ(slot.overwritten(), 20U);                // two of every three were never taken
  EXPECT_LE(buffers.size(), 3U);                     // no new buffer once each has the frame's size
}

TEST(DisplaySlot, OtherPixelSizesAreNotCopied) {
  DisplaySlot slot(30);
  const std::vector<uint8_t> pixels(size_t{64} * 2);
  ASSERT_TRUE(slot.offer(pixels.data(), 8, 8, 16, 1, Clock::now()));
  DisplayPixels reader;
  ASSERT_TRUE(slot.take(0, reader));
  EXPECT_TRUE(reader.pixels.empty());
  EXPECT_EQ(reader.bitsPerPixel, 16);
  const std::shared_ptr<const EncodedFrame> frame = DisplayEncoder::encode(reader);
  EXPECT_FALSE(frame->drawn);
  EXPECT_TRUE(frame->jpeg.isEmpty());
}

TEST(DisplayEncoder, PictureAndHistogramOfTheCopy) {
  DisplaySlot slot(30);
  DisplayEncoder encoder(slot);
  const std::vector<uint8_t> pixels = ramp(256, 10);  // every grey value ten times
  ASSERT_TRUE(slot.offer(pixels.data(), 256, 10, 8, 7, Clock::now()));
  const std::shared_ptr<const EncodedFrame> frame = encoder.newerThan(0, Clock::now() + 5s);
  ASSERT_TRUE(frame);
  EXPECT_TRUE(frame->drawn);
  EXPECT_EQ(frame->imageNumber, 7U);
  for (int value = 0; value < 256; ++value) {
    ASSERT_EQ(frame->histogram[value], 10U) << value;
  }
  QBuffer jpeg;
  jpeg.setData(frame->jpeg);
  QImageReader reader(&jpeg, "jpeg");
  const QImage image = reader.read();
  ASSERT_FALSE(image.isNull()) << reader.errorString().toStdString();
  EXPECT_EQ(image.size(), QSize(256, 10));
  EXPECT_NEAR(qGray(image.pixel(200, 5)), 200, 8);

  // Every viewer gets the one encoding; with nothing newer the wait ends at its deadline.
  EXPECT_EQ(encoder.newerThan(0, Clock::now()).get(), frame.get());
  EXPECT_EQ(encoder.newerThan(frame->sequence, Clock::now() + 20ms), nullptr);
  EXPECT_EQ(encoder.encoded(), 1U);
}

class Sink : public testing::Test {
 protected:
  void frame(Clock::time_point at, uint32_t number) {
    m_sink.frameArrived(m_pixels.data(), 8, 8, 8, number, at);
  }
  void snap(Clock::time_point at, bool accepted) {
    m_sink.snapFired(at);
    m_sink.snapAnswered(accepted);
  }

  const std::vector<uint8_t> m_pixels = ramp(8, 8);
  DisplaySlot m_slot{30};
  ViewSink m_sink{m_slot};
  const Clock::time_point m_start = Clock::now();
};

TEST_F(Sink, PairsEachSnapWithItsFrame) {
  snap(m_start, true);
  frame(m_start + 5ms, 1);
  snap(m_start + 10ms, false);  // refused: waits for nothing
  snap(m_start + 20ms, true);
  frame(m_start + 22ms, 2);
  const ViewSink::Figures figures = m_sink.figures(m_start + 30ms);
  EXPECT_EQ(figures.snapped, 2U);
  EXPECT_EQ(figures.refused, 1U);
  EXPECT_EQ(figures.delivered, 2U);
  EXPECT_EQ(figures.waiting, 0U);
  EXPECT_EQ(figures.latency.count, 2U);
  EXPECT_NEAR(figures.latency.p50, 2.0, 1e-6);
  EXPECT_NEAR(figures.latency.max, 5.0, 1e-6);
}

TEST_F(Sink, ASnapWithoutAFrameDoesNotShiftTheLaterPairs) {
  snap(m_start, true);  // lost: no frame comes
  snap(m_start + 3s, true);
  frame(m_start + 3s + 1ms, 1);
  ViewSink::Figures figures = m_sink.figures(m_start + 3s + 2ms);
  EXPECT_EQ(figures.unanswered, 1U);
  EXPECT_EQ(figures.latency.count, 1U);
  EXPECT_NEAR(figures.latency.max, 1.0, 1e-6);
  // A failed grab answers a snap too, without a latency.
  snap(m_start + 4s, true);
  m_sink.onFailedGrab();
  figures = m_sink.figures(m_start + 4s);
  EXPECT_EQ(figures.failed, 1U);
  EXPECT_EQ(figures.waiting, 0U);
  EXPECT_EQ(figures.latency.count, 1U);
}

TEST_F(Sink, FrameRateOfTheLastTwoSeconds) {
  for (uint32_t i = 0; i < 100; ++i) {
    frame(m_start + i * 50ms, i + 1);  // 20 a second for 5 s
  }
  EXPECT_NEAR(m_sink.figures(m_start + 4950ms).framesPerSecond, 20.0, 0.01);
  EXPECT_EQ(m_sink.figures(m_start + 10s).framesPerSecond, 0.0);  // nothing for 5 s
  EXPECT_EQ(m_sink.figures(m_start + 10s).delivered, 100U);
}

struct AccessCase {
  const char* name;
  std::string token;
  AccessPolicy::Request request;
  int status;
};

class Access : public testing::TestWithParam<AccessCase> {};

TEST_P(Access, Judges) {
  const AccessCase& c = GetParam();
  const AccessPolicy policy(c.token, {"127.0.0.1", "localhost"});
  EXPECT_EQ(policy.judge(c.request).status, c.status);
}

AccessPolicy::Request get(std::string host, std::string cookie = {}, std::string header = {},
                          std::string param = {}, std::string path = "/") {
  return AccessPolicy::Request{
      "GET",          std::move(host), {}, {}, std::move(cookie), std::move(header), std::move(param),
      std::move(path)};
}

AccessPolicy::Request post(std::string origin, std::string type) {
  return AccessPolicy::Request{"POST", "127.0.0.1:8190", std::move(origin), std::move(type), {}, {}, {}};
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Access,
    testing::Values(
        AccessCase{"LoopbackHost", "", get("127.0.0.1:8190"), 200},
        AccessCase{"LocalhostHost", "", get("localhost:8190"), 200}, AccessCase{"NoHost", "", get(""), 200},
        AccessCase{"RebindingHost", "", get("attacker.example:8190"), 403},
        AccessCase{"LookalikeHost", "", get("127.0.0.1.attacker.example:8190"), 403},
        AccessCase{"TokenMissing", "secret-token", get("camera-pc:8190"), 403},
        AccessCase{"TokenInCookie", "secret-token",
                   get("camera-pc:8190", "a=1; zazod_view_token=secret-token"), 200},
        AccessCase{"TokenInHeader", "secret-token", get("camera-pc:8190", "", "secret-token"), 200},
        AccessCase{"TokenInQuery", "secret-token", get("camera-pc:8190", "", "", "secret-token"), 200},
        // The query carries the token on the page's entry path only, where the printed address
        // has it; anywhere else it would end up in logs and histories for nothing.
        AccessCase{"TokenInQueryOfState", "secret-token",
                   get("camera-pc:8190", "", "", "secret-token", "/api/state"), 403},
        AccessCase{"TokenWrong", "secret-token", get("camera-pc:8190", "zazod_view_token=secret-tokeX"), 403},
        AccessCase{"TokenPrefix", "secret-token", get("camera-pc:8190", "", "secret-toke"), 403},
        AccessCase{"OtherCookieName", "secret-token", get("camera-pc:8190", "xzazod_view_token=secret-token"),
                   403},
        AccessCase{"PostJsonSameOrigin", "", post("http://127.0.0.1:8190", "application/json"), 200},
        AccessCase{"PostJsonCharset", "", post("", "application/json; charset=utf-8"), 200},
        AccessCase{"PostOtherOrigin", "", post("http://attacker.example", "application/json"), 403},
        AccessCase{"PostNullOrigin", "", post("null", "application/json"), 403},
        AccessCase{"PostForm", "", post("", "application/x-www-form-urlencoded"), 415},
        AccessCase{"PostJsonLookalike", "", post("", "application/jsonp"), 415}),
    [](const testing::TestParamInfo<AccessCase>& info) { return std::string(info.param.name); });

TEST(AccessPolicy, MadeUpTokensDiffer) {
  const std::string token = AccessPolicy::newToken();
  EXPECT_EQ(token.size(), 32U);
  EXPECT_EQ(token.find_first_not_of("0123456789abcdef"), std::string::npos);
  EXPECT_NE(AccessPolicy::newToken(), token);
}

TEST(LogCaptureRetention, KeepsTheNewestLinesAndMarksStayValid) {
  LogCapture capture;
  capture.setRetention(3);
  for (int i = 1; i <= 5; ++i) {
    qWarning("line %d", i);
  }
  EXPECT_EQ(capture.size(), 5U);
  const std::vector<CapturedLine> kept = capture.linesSince(0);
  ASSERT_EQ(kept.size(), 3U);
  EXPECT_EQ(kept.front().text, QStringLiteral("line 3"));
  EXPECT_EQ(kept.front().type, QtWarningMsg);
  const std::vector<CapturedLine> last = capture.linesSince(4);
  ASSERT_EQ(last.size(), 1U);
  EXPECT_EQ(last.front().text, QStringLiteral("line 5"));
  EXPECT_TRUE(capture.linesSince(5).empty());
}

}  // namespace
