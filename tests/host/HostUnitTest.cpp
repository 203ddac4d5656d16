// The host's own classes: latency statistics, the contact sheet's choice and layout of tiles, the
// reading of the module's log lines, the frame sink's counting, copying and waiting, and the
// pairing of snaps with the camera's answers.
#include <CameraInterface.h>
#include <gtest/gtest.h>

#include <QDebug>
#include <algorithm>
#include <thread>
#include <vector>

#include "ContactSheet.h"
#include "FrameCollector.h"
#include "LatencyStats.h"
#include "LogCapture.h"
#include "SnapPairing.h"

namespace {

using namespace std::chrono_literals;

// ---------------------------------------------------------------------------------------------

TEST(LatencyStats, NearestRankPercentilesOfUnsortedSamples) {
  std::vector<double> samples;
  for (int i = 100; i >= 1; --i) {
    samples.push_back(i);
  }
  const LatencyStats stats = LatencyStats::of(samples);
  EXPECT_EQ(stats.count, 100u);
  EXPECT_DOUBLE_EQ(stats.p50, 50);
  EXPECT_DOUBLE_EQ(stats.p99, 99);
  EXPECT_DOUBLE_EQ(stats.max, 100);
}

TEST(LatencyStats, SmallAndEmptySets) {
  EXPECT_EQ(LatencyStats::of({}).count, 0u);
  const LatencyStats one = LatencyStats::of({7.5});
  EXPECT_DOUBLE_EQ(one.p50, 7.5);
  EXPECT_DOUBLE_EQ(one.p99, 7.5);
  EXPECT_DOUBLE_EQ(one.max, 7.5);
  const LatencyStats three = LatencyStats::of({3, 1, 2});
  EXPECT_DOUBLE_EQ(three.p50, 2);
  EXPECT_DOUBLE_EQ(three.p99, 3);
}

// ---------------------------------------------------------------------------------------------

struct PickCase {
  size_t count;
  std::vector<size_t> positions;
};

class ContactSheetPick : public testing::TestWithParam<PickCase> {};

TEST_P(ContactSheetPick, SpreadsUpToSixteenTilesFromTheFirstPicture) {
  EXPECT_EQ(ContactSheet::pick(GetParam().count), GetParam().positions);
}

INSTANTIATE_TEST_SUITE_P(
    Counts, ContactSheetPick,
    testing::Values(PickCase{0, {}}, PickCase{1, {0}}, PickCase{3, {0, 1, 2}},
                    PickCase{16, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}},
                    PickCase{32, {0, 2, 4, 6, 8, 10, 12, 14, 16, 18, 20, 22, 24, 26, 28, 30}},
                    PickCase{30, {0, 1, 3, 5, 7, 9, 11, 13, 15, 16, 18, 20, 22, 24, 26, 28}}));

QImage filled(int width, int height, int value) {
  QImage image(width, height, QImage::Format_Grayscale8);
  image.fill(value);
  return image;
}

TEST(ContactSheet, TilesHalfSizeFramesInRowsOfCeilSqrt) {
  ContactSheet sheet;
  EXPECT_TRUE(sheet.compose().isNull());
  for (int i = 0; i < 5; ++i) {
    sheet.add(filled(640, 480, 100 + i * 20));
  }
  const QImage composed = sheet.compose();
  ASSERT_EQ(composed.size(), QSize(4 + 3 * (320 + 4), 4 + 2 * (240 + 4)));
  EXPECT_EQ(composed.format(), QImage::Format_Grayscale8);
  // Tile i sits in column i % 3, row i / 3, each 320x240 after a 4-pixel gap.
  for (int i = 0; i < 5; ++i) {
    const int left = 4 + (i % 3) * 324;
    const int top = 4 + (i / 3) * 244;
    EXPECT_EQ(qGray(composed.pixel(left, top)), 100 + i * 20) << "tile " << i;
    EXPECT_EQ(qGray(composed.pixel(left + 319, top + 239)), 100 + i * 20) << "tile " << i;
    EXPECT_EQ(qGray(composed.pixel(left - 1, top)), 40) << "gap before tile " << i;
  }
  // The sixth place stays background.
  EXPECT_EQ(qGray(composed.pixel(4 + 2 * 324 + 10, 4 + 244 + 10)), 40);
}

TEST(ContactSheet, KeepsNoMoreThanSixteenTiles) {
  ContactSheet sheet;
  for (int i = 0; i < 20; ++i) {
    sheet.add(filled(64, 48, i));
  }
  EXPECT_EQ(sheet.tileCount(), 16u);
  EXPECT_EQ(sheet.compose().size(), QSize(4 + 4 * 36, 4 + 4 * 28));
}

// ---------------------------------------------------------------------------------------------

class CountingObserver : public LogObserver {
 public:
  void onFailedGrab() override { ++failed; }
  void onSkippedImages(uint64_t count) override { skipped += count; }
  std::atomic<int> failed{0};
  std::atomic<uint64_t> skipped{0};
};

// The lines as the camera module streams them, items spaced by Qt's debug stream.
void logFailedGrab() {
  qWarning() << "Basler Camera image grab error: " << 3774873620u << " "
             << "Buffer incomplete"
             << " - "
             << "ZODOzizoZavozEzazodu::OnImageGrabbed";
}

void logSkipped(quint64 count) {
  qDebug() << "Basler Camera("
           << "Emulated"
           << "), skipped " << count << " images."
           << " - "
           << "ZODOzizoZavozEzazodu::OnImagesSkipped";
}

TEST(LogCapture, CountsFailedGrabsAndSkippedImagesFromAnyThread) {
  LogCapture capture;
  CountingObserver observer;
  capture.setObserver(&observer);
  std::thread grabThread([] {
    logFailedGrab();
    logSkipped(5);
  });
  grabThread.join();
  logSkipped(2);
  qDebug() << QString("Image Frame %1 grabbed.").arg(7u) << " _ "
           << "CCameraBasler::OnImageGrabbed";
  qWarning() << "No camera present"
             << " - "
             << "CCameraBasler::IOpenCamera";
  qDebug() << "Basler Camera image grab error: " << 1u << " "
           << "at debug level"
           << " - "
           << "elsewhere";
  capture.setObserver(nullptr);

  EXPECT_EQ(observer.failed, 1);
  EXPECT_EQ(observer.skipped, 7u);
  EXPECT_EQ(capture.size(), 6u);
  EXPECT_EQ(
      capture.problemsSince(0),
      "Basler Camera image grab error: 3774873620 Buffer incomplete - ZODOzizoZavozEzazodu::OnImageGrabbed; "
      "No camera present - CCameraBasler::IOpenCamera");
  EXPECT_EQ(capture.problemsSince(4), "No camera present - CCameraBasler::IOpenCamera");
  EXPECT_EQ(capture.linesSince(6).size(), 0u);
}

TEST(LogCapture, ReadsOnlyTheSkippedImagesLine) {
  struct Case {
    QtMsgType type;
    const char* text;
    uint64_t skipped;
  };
  for (const Case& c :
       {Case{QtDebugMsg, "Basler Camera( Emulated ), skipped  18446744073709551615  images.  -  tag",
             18446744073709551615ull},
        Case{QtWarningMsg, "Basler Camera( Emulated ), skipped  4  images.  -  tag", 0},
        Case{QtDebugMsg, "Basler Camera( Emulated ), skipped  many  images.  -  tag", 0},
        Case{QtDebugMsg, "Basler Camera( Emulated ), skipped  4  frames  -  tag", 0},
        Case{QtDebugMsg, "Camera( Emulated ), skipped  4  images.  -  tag", 0}}) {
    EXPECT_EQ(LogCapture::skippedImages(CapturedLine{c.type, c.text}), c.skipped) << c.text;
  }
}

// ---------------------------------------------------------------------------------------------

class StillCamera : public ICameraObject {
 public:
  StillCamera(CameraConfig* config, ICameraFrameSink* sink) : ICameraObject(config, sink), pixels(64 * 48) {}
  int IOpenCamera() override { return 1; }
  void ICloseCamera() override {}
  int IStartCamera() override { return 1; }
  void IStopCamera() override {}
  void IAuxCameraOp1() override {}
  void IAuxCameraOp2() override {}

  // One frame of the given grey value, delivered as a module does.
  void deliver(uint8_t value, uint32_t number) {
    std::fill(pixels.begin(), pixels.end(), value);
    m_frameBuffer = pixels.data();
    m_width = 64;
    m_height = 48;
    m_imageNumber = number;
    m_frameSink->OnFrameReady(this);
    std::fill(pixels.begin(), pixels.end(), 0);  // the buffer is reused once the call returns
  }

  std::vector<uint8_t> pixels;
};

TEST(FrameCollector, CopiesEveryKthFrameBelowTheLimit) {
  CameraConfig config;
  config.imageFormat = 1;
  FrameCollector collector(2, 5);
  StillCamera camera(&config, &collector);
  for (uint8_t i = 0; i < 7; ++i) {
    camera.deliver(static_cast<uint8_t>(10 + i), 100u + i);
  }
  const std::vector<KeptFrame> kept = collector.takeKept();
  ASSERT_EQ(kept.size(), 3u);  // ordinals 0, 2, 4; 6 is past the limit
  for (size_t k = 0; k < kept.size(); ++k) {
    EXPECT_EQ(kept[k].ordinal, 2 * k);
    EXPECT_EQ(kept[k].imageNumber, 100u + 2 * k);
    ASSERT_EQ(kept[k].image.size(), QSize(64, 48));
    EXPECT_EQ(qGray(kept[k].image.pixel(63, 47)), static_cast<int>(10 + 2 * k))
        << "a copy, not the reused buffer";
  }
  EXPECT_TRUE(collector.takeKept().empty());
  EXPECT_EQ(collector.counts().delivered, 7u);
  EXPECT_EQ(collector.counts().unreadable, 0u);
}

TEST(FrameCollector, FramesOfAnotherPixelSizeAreCountedButNotCopied) {
  CameraConfig config;
  config.imageFormat = 4;  // 16-bit grey
  FrameCollector collector(1, 10);
  StillCamera camera(&config, &collector);
  camera.deliver(1, 1);
  EXPECT_TRUE(collector.takeKept().empty());
  EXPECT_EQ(collector.counts().delivered, 1u);
  EXPECT_EQ(collector.counts().unreadable, 1u);
}

TEST(FrameCollector, SnapsAreAnsweredInOrderByFramesAndFailedGrabs) {
  CameraConfig config;
  config.imageFormat = 1;
  FrameCollector collector(0, 0);
  StillCamera camera(&config, &collector);
  camera.deliver(2, 2);  // before any snap: answers none
  const auto start = FrameCollector::Clock::now();
  collector.snapFired(start - 30ms);
  collector.snapFired(start - 20ms);
  collector.snapFired(start - 10ms);
  collector.snapWithdrawn();  // the third was refused
  collector.onFailedGrab();   // answers the first
  camera.deliver(1, 1);       // answers the second
  const SnapPairing pairing = collector.pairing(5s);
  ASSERT_EQ(pairing.latenciesMs.size(), 1u);
  EXPECT_GE(pairing.latenciesMs[0], 20.0);
  EXPECT_EQ(pairing.withoutFrame(), 0u);
  EXPECT_EQ(pairing.unpairedAnswers, 1u);
  EXPECT_EQ(collector.outcomes(), 3u);
  EXPECT_EQ(collector.counts().failed, 1u);
}

// ---------------------------------------------------------------------------------------------

// Snaps and answers in milliseconds from a common start; an answer is a frame unless noted failed.
struct PairingCase {
  const char* name;
  std::vector<int> snapsMs;
  std::vector<int> framesMs;
  std::vector<int> failedMs;
  int timeoutMs;
  std::vector<double> latenciesMs;
  uint64_t ignored;
  uint64_t unansweredAtEnd;
  uint64_t unpairedAnswers;
};

void PrintTo(const PairingCase& value, std::ostream* out) { *out << value.name; }

class SnapPairingCases : public testing::TestWithParam<PairingCase> {};

TEST_P(SnapPairingCases, PairsEachAnswerWithItsSnap) {
  const PairingCase& param = GetParam();
  const SnapPairing::Clock::time_point start{};
  std::vector<SnapPairing::Clock::time_point> snaps;
  for (const int ms : param.snapsMs) {
    snaps.push_back(start + std::chrono::milliseconds(ms));
  }
  std::vector<SnapPairing::Answer> answers;
  for (const int ms : param.framesMs) {
    answers.push_back(SnapPairing::Answer{start + std::chrono::milliseconds(ms), true});
  }
  for (const int ms : param.failedMs) {
    answers.push_back(SnapPairing::Answer{start + std::chrono::milliseconds(ms), false});
  }
  std::sort(answers.begin(), answers.end(),
            [](const SnapPairing::Answer& a, const SnapPairing::Answer& b) { return a.when < b.when; });
  const SnapPairing pairing = SnapPairing::of(snaps, answers, std::chrono::milliseconds(param.timeoutMs));
  EXPECT_EQ(pairing.latenciesMs, param.latenciesMs);
  EXPECT_EQ(pairing.ignored, param.ignored);
  EXPECT_EQ(pairing.unansweredAtEnd, param.unansweredAtEnd);
  EXPECT_EQ(pairing.unpairedAnswers, param.unpairedAnswers);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SnapPairingCases,
    testing::Values(
        PairingCase{"EveryTriggerAnswered", {0, 50, 100}, {37, 87, 137}, {}, 5000, {37, 37, 37}, 0, 0, 0},
        // The camera ignored the second: later frames keep their own latency, not one period more.
        PairingCase{"OneIgnored", {0, 50, 100, 150}, {37, 137, 187}, {}, 5000, {37, 37, 37}, 1, 0, 0},
        PairingCase{"FirstIgnored", {0, 50, 100}, {87, 137}, {}, 5000, {37, 37}, 1, 0, 0},
        PairingCase{"TwoInARowIgnored", {0, 50, 100, 150, 200}, {37, 237}, {}, 5000, {37, 37}, 3, 0, 0},
        // Frames slower than the snap period still pair with their own snaps.
        PairingCase{"LatencyAboveThePeriod",
                    {0, 50, 100, 150},
                    {70, 120, 170, 220},
                    {},
                    5000,
                    {70, 70, 70, 70},
                    0,
                    0,
                    0},
        PairingCase{"LastUnanswered", {0, 50, 100}, {37, 87}, {}, 5000, {37, 37}, 0, 1, 0},
        PairingCase{"NoneAnswered", {0, 50}, {}, {}, 5000, {}, 0, 2, 0},
        // A failed grab answers its snap without a latency.
        PairingCase{"FailedGrabAnswers", {0, 50, 100}, {37, 137}, {87}, 5000, {37, 37}, 0, 0, 0},
        // An answer later than the timeout belongs to no snap.
        PairingCase{"BeyondTheTimeout", {0, 50}, {37, 400}, {}, 200, {37}, 0, 1, 1},
        PairingCase{"FrameBeforeAnySnap", {100}, {20, 137}, {}, 5000, {37}, 0, 0, 1},
        PairingCase{"HardwareFramesWithoutSnaps", {}, {10, 20}, {}, 5000, {}, 0, 0, 2}),
    [](const testing::TestParamInfo<PairingCase>& info) { return info.param.name; });

TEST(FrameCollector, WaitEndsWithTheFrameOrAtTheDeadline) {
  CameraConfig config;
  config.imageFormat = 1;
  FrameCollector collector(0, 0);
  StillCamera camera(&config, &collector);
  EXPECT_FALSE(collector.waitForMoreThan(0, FrameCollector::Clock::now() + 20ms));

  std::thread grabThread([&] {
    camera.deliver(1, 1);
    collector.onFailedGrab();
  });
  EXPECT_TRUE(collector.waitForMoreThan(1, FrameCollector::Clock::now() + 10s));
  grabThread.join();
  EXPECT_EQ(collector.outcomes(), 2u);
}

}  // namespace
