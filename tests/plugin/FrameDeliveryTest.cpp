// The frame path: good frames stored and handed to the sink once, the per-frame line, failed grabs,
// skipped images, image numbers past 32 bits, reader failures, a throwing sink, what has finished
// when a stop returns, and repeated opens.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <ostream>
#include <stdexcept>

#include "PluginTestSupport.h"

namespace {

using std::chrono::seconds;

class FrameTest : public PluginTest {
 protected:
  void SetUp() override {
    PluginTest::SetUp();
    device = std::make_unique<emu::EmulatedCamera>(addCamera());
    createGrabbing(*device);
  }
  // Snaps once and waits for the frame's line (every outcome of a frame writes exactly one line).
  void snapAndWaitForLine() {
    const size_t before = log.lines().size();
    ASSERT_EQ(camera->ISnapCamera(0), 1);
    ASSERT_TRUE(log.waitForLines(before + 1, seconds(5)));
  }

  std::unique_ptr<emu::EmulatedCamera> device;
};

TEST_F(FrameTest, GoodFrameIsStoredBeforeTheSinkAndLoggedAfterIt) {
  EXPECT_EQ(camera->m_frameBuffer, nullptr);
  snapAndWaitForLine();
  snapAndWaitForLine();
  const std::vector<RecordedFrame> frames = sink.frames();
  ASSERT_EQ(frames.size(), 2U);
  for (size_t i = 0; i < frames.size(); ++i) {
    EXPECT_EQ(frames[i].camera, camera.get());
    EXPECT_NE(frames[i].buffer, nullptr);
    EXPECT_EQ(frames[i].width, 640U);
    EXPECT_EQ(frames[i].height, 480U);
    EXPECT_EQ(frames[i].imageNumber, i + 1);
  }
  EXPECT_NE(frames[0].firstPixel, frames[1].firstPixel);
  EXPECT_EQ(log.lines(), (std::vector<LogLine>{frameLine(1), frameLine(2)}));
}

TEST_F(FrameTest, FailedGrabOnlyWarns) {
  snapAndWaitForLine();
  const RecordedFrame last = sink.frames().back();
  log.clear();
  device->FailNextResults(1, 3758096385U, "Frame lost in transfer");
  snapAndWaitForLine();
  EXPECT_EQ(log.lines(), std::vector<LogLine>{warningLine(
                             "Basler Camera image grab error:  3758096385   Frame lost in transfer  -  "
                             "ZODOzizoZavozEzazodu::OnImageGrabbed")});
  EXPECT_EQ(sink.count(), 1U);
  EXPECT_EQ(camera->m_frameBuffer, last.buffer);
  EXPECT_EQ(camera->m_imageNumber, last.imageNumber);
}

TEST_F(FrameTest, SkippedImagesAreReportedWithTheModelName) {
  device->InjectSkippedImages(4);
  const size_t before = log.lines().size();
  ASSERT_EQ(camera->ISnapCamera(0), 1);
  ASSERT_TRUE(log.waitForLines(before + 2, seconds(5)));
  EXPECT_EQ(log.lines(), (std::vector<LogLine>{debugLine("Basler Camera( Emulated ), skipped  4  images.  -  "
                                                         "ZODOzizoZavozEzazodu::OnImagesSkipped"),
                                               frameLine(1)}));
  EXPECT_EQ(sink.count(), 1U);
}

struct NumberCase {
  int64_t sdkNumber;
  uint32_t stored;
};

class ImageNumbers : public FrameTest, public ::testing::WithParamInterface<NumberCase> {};

TEST_P(ImageNumbers, KeepTheLow32Bits) {
  device->SetNextImageNumber(GetParam().sdkNumber);
  snapAndWaitForLine();
  EXPECT_EQ(camera->m_imageNumber, GetParam().stored);
  EXPECT_EQ(log.lines(), std::vector<LogLine>{frameLine(GetParam().stored)});
}

INSTANTIATE_TEST_SUITE_P(Numbers, ImageNumbers,
                         ::testing::Values(NumberCase{int64_t{1} << 32, 0U},
                                           NumberCase{(int64_t{1} << 32) - 1, 4294967295U},
                                           NumberCase{(int64_t{1} << 32) + 7, 7U}));

TEST_F(FrameTest, TheLineShowsTheNumberTheSinkLeft) {
  sink.setAction([](ICameraObject* object) { object->m_imageNumber = 99; });
  snapAndWaitForLine();
  EXPECT_EQ(log.lines(), std::vector<LogLine>{frameLine(99)});
}

TEST_F(FrameTest, ReaderFailureKeepsWhatWasStoredAndSkipsTheSink) {
  snapAndWaitForLine();
  log.clear();
  device->FailNext("GetHeight", emu::Fault{"RuntimeException", "payload unreadable"});
  device->SetNextImageNumber(50);
  snapAndWaitForLine();
  EXPECT_EQ(log.lines(),
            std::vector<LogLine>{criticalLine(
                "An exception occurred :  payload unreadable  -  CCameraBasler::OnImageGrabbed")});
  EXPECT_EQ(sink.count(), 1U);
  EXPECT_EQ(camera->m_imageNumber, 1U);  // not reached
  EXPECT_EQ(camera->m_width, 640U);
}

struct ReaderCase {
  const char* reader;
  int storedBefore;  // fields stored before the failing read, in the order buffer, width, height
};
void PrintTo(const ReaderCase& value, std::ostream* os) { *os << value.reader; }

class FailingReader : public FrameTest, public ::testing::WithParamInterface<ReaderCase> {};

// Each field is stored as soon as it is read: those read before the failing reader hold the new
// frame's values, the others the old ones (values no frame of this camera has), and the sink is not
// called. The next frame is delivered whole.
TEST_P(FailingReader, StoresTheFieldsReadBeforeItAndKeepsTheOthers) {
  uint8_t oldPixels = 0;
  camera->m_frameBuffer = &oldPixels;
  camera->m_width = 7;
  camera->m_height = 9;
  camera->m_imageNumber = 11;
  device->SetNextImageNumber(50);
  device->FailNext(GetParam().reader, emu::Fault{"RuntimeException", "payload unreadable"});
  snapAndWaitForLine();
  EXPECT_EQ(log.lines(),
            std::vector<LogLine>{criticalLine(
                "An exception occurred :  payload unreadable  -  CCameraBasler::OnImageGrabbed")});
  EXPECT_EQ(sink.count(), 0U);
  const int stored = GetParam().storedBefore;
  void* const buffer = camera->m_frameBuffer;
  EXPECT_EQ(buffer != static_cast<void*>(&oldPixels), stored >= 1);
  EXPECT_NE(buffer, nullptr);
  EXPECT_EQ(camera->m_width, stored >= 2 ? 640U : 7U);
  EXPECT_EQ(camera->m_height, stored >= 3 ? 480U : 9U);
  EXPECT_EQ(camera->m_imageNumber, 11U);

  log.clear();
  snapAndWaitForLine();
  ASSERT_EQ(sink.count(), 1U);
  const RecordedFrame frame = sink.frames().front();
  EXPECT_NE(frame.buffer, static_cast<void*>(&oldPixels));
  EXPECT_EQ(frame.width, 640U);
  EXPECT_EQ(frame.height, 480U);
  EXPECT_EQ(frame.imageNumber, 51U);
}

INSTANTIATE_TEST_SUITE_P(Readers, FailingReader,
                         ::testing::Values(ReaderCase{"GetBuffer", 0}, ReaderCase{"GetWidth", 1},
                                           ReaderCase{"GetHeight", 2}, ReaderCase{"GetImageNumber", 3}),
                         [](const ::testing::TestParamInfo<ReaderCase>& info) {
                           return std::string(info.param.reader);
                         });

struct SinkThrowCase {
  const char* name;
  void (*raise)();
};
void PrintTo(const SinkThrowCase& value, std::ostream* os) { *os << value.name; }

class ThrowingSink : public FrameTest, public ::testing::WithParamInterface<SinkThrowCase> {};

// Whatever the host's OnFrameReady throws goes on to the SDK, which called the handler: the module
// catches nothing of it, writes no line for that frame, and the next frame is delivered as usual.
TEST_P(ThrowingSink, ItsExceptionReachesTheSdkAndTheNextFrameStillComes) {
  std::atomic<int> calls{0};
  sink.setAction([&](ICameraObject*) {
    if (calls.fetch_add(1) == 0) {
      GetParam().raise();
    }
  });
  ASSERT_EQ(camera->ISnapCamera(0), 1);
  ASSERT_EQ(camera->ISnapCamera(0), 1);
  // The sink records a frame only after its action has returned, so the frame whose action threw
  // is not among the recorded ones.
  ASSERT_TRUE(sink.waitForFrames(1));
  ASSERT_TRUE(log.waitForLines(1, seconds(5)));
  EXPECT_EQ(calls.load(), 2);
  EXPECT_EQ(sink.frames().at(0).imageNumber, 2U);
  EXPECT_EQ(log.lines(), std::vector<LogLine>{frameLine(2)});
  EXPECT_EQ(camera->m_imageNumber, 2U);
  EXPECT_TRUE(camera->m_isGrabbing);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, ThrowingSink,
    ::testing::Values(SinkThrowCase{"Std", [] { throw std::runtime_error("host display gone"); }},
                      SinkThrowCase{"GenICam", [] { throw RUNTIME_EXCEPTION("host display gone"); }},
                      SinkThrowCase{"Other", [] { throw 7; }}),
    [](const ::testing::TestParamInfo<SinkThrowCase>& info) { return std::string(info.param.name); });

struct EndCase {
  const char* name;
  void (*end)(std::unique_ptr<CCameraBasler>& camera);
};
void PrintTo(const EndCase& value, std::ostream* os) { *os << value.name; }

class SinkFinished : public FrameTest, public ::testing::WithParamInterface<EndCase> {};

// Stopping, closing and deleting return only once a running OnFrameReady has returned, so the host
// may delete its sink right after them. The sink waits for the call to return; a call that did not
// wait for it finds it still running.
TEST_P(SinkFinished, BeforeTheCallThatEndsTheGrabReturns) {
  std::promise<void> entered;
  std::promise<void> returned;
  std::shared_future<void> returnedFuture = returned.get_future().share();
  std::atomic<bool> running{false};
  std::atomic<bool> first{true};
  sink.setAction([&](ICameraObject*) {
    if (!first.exchange(false)) {
      return;
    }
    running.store(true);
    entered.set_value();
    returnedFuture.wait_for(std::chrono::milliseconds(300));  // times out unless the call returned early
    running.store(false);
  });
  ASSERT_EQ(camera->ISnapCamera(0), 1);
  ASSERT_EQ(entered.get_future().wait_for(seconds(5)), std::future_status::ready);
  GetParam().end(camera);
  const bool stillRunning = running.load();
  returned.set_value();
  EXPECT_FALSE(stillRunning) << GetParam().name << " returned while OnFrameReady was still running";
  camera.reset();
}

INSTANTIATE_TEST_SUITE_P(
    Calls, SinkFinished,
    ::testing::Values(EndCase{"Stop", [](std::unique_ptr<CCameraBasler>& c) { c->IStopCamera(); }},
                      EndCase{"Close", [](std::unique_ptr<CCameraBasler>& c) { c->ICloseCamera(); }},
                      EndCase{"Delete", [](std::unique_ptr<CCameraBasler>& c) { c.reset(); }}),
    [](const ::testing::TestParamInfo<EndCase>& info) { return std::string(info.param.name); });

struct GrabbingOpenCase {
  const char* name;
  const char* key;
  bool removeCameras;
  std::vector<LogLine> lines;
};
void PrintTo(const GrabbingOpenCase& value, std::ostream* os) { *os << value.name; }

class OpenWhileGrabbing : public FrameTest, public ::testing::WithParamInterface<GrabbingOpenCase> {};

// An open that finds nothing to open leaves a grabbing camera as it was: the grab goes on.
TEST_P(OpenWhileGrabbing, ThatFindsNoCameraLeavesTheGrabRunning) {
  config.cameraKey = QString::fromUtf8(GetParam().key);
  if (GetParam().removeCameras) {
    emu::RemoveAllCameras();
  }
  EXPECT_EQ(camera->IOpenCamera(), 0);
  EXPECT_EQ(log.lines(), GetParam().lines);
  EXPECT_TRUE(camera->m_isOpened);
  EXPECT_TRUE(camera->m_isGrabbing);
  EXPECT_EQ(camera->m_activeGrabMode, GrabMode_SoftwareTrigger);
  log.clear();
  snapAndWaitForLine();
  EXPECT_EQ(sink.count(), 1U);
  EXPECT_EQ(log.lines(), std::vector<LogLine>{frameLine(1)});
}

INSTANTIATE_TEST_SUITE_P(
    Keys, OpenWhileGrabbing,
    ::testing::Values(GrabbingOpenCase{"InvalidKey",
                                       "basler",
                                       false,
                                       {warningLine("Camera key in config file invalid. The format should be "
                                                    "(name serialnum).  -  CCameraBasler::IOpenCamera")}},
                      GrabbingOpenCase{"NoListedDevice", "basler NOSUCH", false, {}},
                      GrabbingOpenCase{"NoCameraPresent",
                                       "basler EMU0001",
                                       true,
                                       {warningLine("No camera present  -  CCameraBasler::IOpenCamera")}}),
    [](const ::testing::TestParamInfo<GrabbingOpenCase>& info) { return std::string(info.param.name); });

TEST_F(FrameTest, ReopeningKeepsOneDeliveryPerFrame) {
  camera->IStopCamera();
  for (int i = 0; i < 3; ++i) {
    ASSERT_EQ(camera->IOpenCamera(), 1);
  }
  camera->m_requestedGrabMode = GrabMode_SoftwareTrigger;
  ASSERT_EQ(camera->IStartCamera(), 1);
  log.clear();
  snapAndWaitForLine();
  snapAndWaitForLine();
  EXPECT_EQ(sink.count(), 2U);
  EXPECT_EQ(log.lines(), (std::vector<LogLine>{frameLine(1), frameLine(2)}));
}

TEST_F(FrameTest, OpeningWhileGrabbingStopsFirst) {
  snapAndWaitForLine();
  log.clear();
  ASSERT_EQ(camera->IOpenCamera(), 1);
  EXPECT_EQ(
      log.lines(),
      (std::vector<LogLine>{
          debugLine(QString("Stop Grabbing camera( %1 ).  -  CCameraBasler::IStopCamera").arg(configText())),
          debugLine("CCameraBasler::IOpenCamera success***************************  \n")}));
  EXPECT_FALSE(camera->m_isGrabbing);
  EXPECT_EQ(camera->m_activeGrabMode, 0);
  EXPECT_EQ(camera->ISnapCamera(0), 0);
  ASSERT_EQ(camera->IStartCamera(), 1);
  log.clear();
  snapAndWaitForLine();
  EXPECT_EQ(sink.count(), 2U);
}

TEST_F(PluginTest, WithoutASinkFramesAreStillRecordedAndLogged) {
  emu::EmulatedCamera device = addCamera();
  camera = std::make_unique<CCameraBasler>(&config, nullptr);
  ASSERT_EQ(camera->IOpenCamera(), 1);
  camera->m_requestedGrabMode = GrabMode_SoftwareTrigger;
  ASSERT_EQ(camera->IStartCamera(), 1);
  log.clear();
  ASSERT_EQ(camera->ISnapCamera(0), 1);
  ASSERT_TRUE(log.waitForLines(1, seconds(5)));
  EXPECT_EQ(log.lines(), std::vector<LogLine>{frameLine(1)});
  EXPECT_EQ(camera->m_imageNumber, 1U);
}

}  // namespace

namespace {

// A camera unplugged while it grabs: the object neither hangs nor crashes, closing and deleting
// return (the bound only catches a hang), and the same object opens again once it is back and
// delivers each frame once: the reopen leaves one frame handler, not a second beside the first.
TEST_F(FrameTest, UnpluggedMidGrabClosesPromptlyAndOpensAgainWhenBack) {
  snapAndWaitForLine();
  device->Unplug();
  log.clear();
  EXPECT_EQ(camera->ISnapCamera(0), 0);
  EXPECT_EQ(log.lines(),
            std::vector<LogLine>{criticalLine(
                "An exception occurred :  ExecuteSoftwareTrigger: the camera device has been removed.  -  "
                "CCameraBasler::ISnapCamera")});
  const auto begin = std::chrono::steady_clock::now();
  camera->ICloseCamera();
  EXPECT_LT(std::chrono::steady_clock::now() - begin, seconds(30));
  EXPECT_FALSE(camera->m_isOpened);
  EXPECT_FALSE(camera->m_isGrabbing);

  device->Replug();
  log.clear();
  ASSERT_EQ(camera->IOpenCamera(), 1);
  ASSERT_EQ(camera->IStartCamera(), 1);
  snapAndWaitForLine();
  snapAndWaitForLine();
  // Stopping ends the grab loop, so a second handler's call for either frame would have come.
  camera->IStopCamera();
  const std::vector<RecordedFrame> frames = sink.frames();
  ASSERT_EQ(frames.size(), 3U) << "a frame reached the sink more or less than once after the reopen";
  EXPECT_LT(frames[1].imageNumber, frames[2].imageNumber);
  EXPECT_NE(frames[1].firstPixel, frames[2].firstPixel);
  ASSERT_EQ(camera->IStartCamera(), 1);

  device->Unplug();
  const auto deleteBegin = std::chrono::steady_clock::now();
  camera.reset();
  EXPECT_LT(std::chrono::steady_clock::now() - deleteBegin, seconds(30));
}

}  // namespace
