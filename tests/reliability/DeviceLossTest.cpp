// Device loss: an emulated camera unplugged while it grabs. Closing and deleting must return
// promptly (a hang check with a generous bound), the frame path may only warn about failed grabs
// or stay silent, and once the camera is back the same object opens and delivers again.
#include <CameraInterface.h>
#include <gtest/gtest.h>

#include <chrono>

#include "PluginTestSupport.h"

extern "C" ICameraObject* Camera_Create(CameraConfig* config, ICameraFrameSink* sink);
extern "C" void Camera_Delete(ICameraObject* camera);

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::seconds;
// Closing and deleting after a loss must not hang; the bound catches only that, whatever the load.
constexpr auto kBound = seconds(30);

template <class Fn>
Clock::duration timed(Fn&& fn) {
  const Clock::time_point start = Clock::now();
  fn();
  return Clock::now() - start;
}

// The lines of the host's operations: the grab thread may only add frame lines and failed-grab
// warnings around a device loss, and those are taken out here.
std::vector<LogLine> withoutGrabThreadLines(const std::vector<LogLine>& lines) {
  std::vector<LogLine> rest;
  for (const LogLine& line : lines) {
    const bool frame = line.type == QtDebugMsg && line.text.startsWith("\"Image Frame ");
    const bool grabError = line.type == QtWarningMsg &&
                           line.text.startsWith("Basler Camera image grab error: ") &&
                           line.text.endsWith("  -  ZODOzizoZavozEzazodu::OnImageGrabbed");
    if (!frame && !grabError) {
      rest.push_back(line);
    }
  }
  return rest;
}

struct LossCase {
  const char* name;
  bool freeRun;     // frames arriving on their own when the cable goes
  bool closeFirst;  // ICloseCamera before Camera_Delete
};

class DeviceLoss : public PluginTest, public ::testing::WithParamInterface<LossCase> {};

TEST_P(DeviceLoss, CloseAndDeleteReturnPromptlyAndTheObjectWorksAgain) {
  emu::CameraDescription description;
  description.freeRunHz = 1000.0;
  emu::EmulatedCamera device = addCamera(description);
  ICameraObject* object = Camera_Create(&config, &sink);
  ASSERT_EQ(object->IOpenCamera(), 1);
  object->m_requestedGrabMode = GrabMode_SoftwareTrigger;
  ASSERT_EQ(object->IStartCamera(), 1);
  if (GetParam().freeRun) {
    device.SetNodeValue("TriggerMode", "Off");
  } else {
    ASSERT_EQ(object->ISnapCamera(0), 1);
  }
  ASSERT_TRUE(sink.waitForFrames(1, seconds(5)));
  log.clear();

  device.Unplug();
  if (GetParam().closeFirst) {
    EXPECT_LT(timed([&] { object->ICloseCamera(); }), kBound);
    // The stop line appears only when the SDK had not yet seen the loss itself; no critical line.
    const LogLine closeTag = debugLine("CCameraBasler::ICloseCamera");
    const LogLine stop =
        debugLine(QString("Stop Grabbing camera( %1 ).  -  CCameraBasler::IStopCamera").arg(configText()));
    const LogLine close =
        debugLine(QString("Close camera( %1 ).  -  CCameraBasler::ICloseCamera").arg(configText()));
    const std::vector<LogLine> lines = withoutGrabThreadLines(log.lines());
    EXPECT_TRUE(lines == (std::vector<LogLine>{closeTag, close}) ||
                lines == (std::vector<LogLine>{closeTag, stop, close}))
        << ::testing::PrintToString(lines);
    const size_t framesAtLoss = sink.count();
    EXPECT_FALSE(object->m_isOpened);
    EXPECT_FALSE(object->m_isGrabbing);
    // The camera is gone: nothing grabs any more, and a snap is refused.
    EXPECT_EQ(object->ISnapCamera(0), 0);
    device.Replug();
    log.clear();
    ASSERT_EQ(object->IOpenCamera(), 1);
    object->m_requestedGrabMode = GrabMode_SoftwareTrigger;
    ASSERT_EQ(object->IStartCamera(), 1);
    ASSERT_EQ(object->ISnapCamera(0), 1);
    EXPECT_TRUE(sink.waitForFrames(framesAtLoss + 1, seconds(5)));
  }
  EXPECT_LT(timed([&] { Camera_Delete(object); }), kBound);
  for (const LogLine& line : log.lines()) {
    EXPECT_NE(line.type, QtCriticalMsg) << line;
  }
}

INSTANTIATE_TEST_SUITE_P(Losses, DeviceLoss,
                         ::testing::Values(LossCase{"TriggeredThenClosed", false, true},
                                           LossCase{"FreeRunningThenClosed", true, true},
                                           LossCase{"FreeRunningThenDeleted", true, false},
                                           LossCase{"TriggeredThenDeleted", false, false}),
                         [](const ::testing::TestParamInfo<LossCase>& info) { return info.param.name; });

}  // namespace
