// The frame path: good frames stored and handed to the sink once, the per-frame line, failed grabs,
// skipped images, image numbers past 32 bits, reader failures, and repeated opens.
#include <gtest/gtest.h>

#include <chrono>

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
// return promptly, and the camera opens again once it is back.
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
  EXPECT_LT(std::chrono::steady_clock::now() - begin, seconds(1));
  EXPECT_FALSE(camera->m_isOpened);
  EXPECT_FALSE(camera->m_isGrabbing);

  device->Replug();
  log.clear();
  ASSERT_EQ(camera->IOpenCamera(), 1);
  ASSERT_EQ(camera->IStartCamera(), 1);
  snapAndWaitForLine();
  EXPECT_EQ(sink.count(), 2U);

  device->Unplug();
  const auto deleteBegin = std::chrono::steady_clock::now();
  camera.reset();
  EXPECT_LT(std::chrono::steady_clock::now() - deleteBegin, seconds(1));
}

}  // namespace
