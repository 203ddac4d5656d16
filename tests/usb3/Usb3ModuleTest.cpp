// The module over USB3 Vision, through the Aravis backend and the fake USB3 Vision device that
// stands in for libusb: listing with the vendor filter, opening by serial number among several
// cameras, the software-trigger configuration on the device, the three grab modes with every frame's
// pixels checked, failed grabs for each transfer fault, control faults, removal mid-grab by both
// paths, and USB3 Vision cameras beside a GigE Vision camera in one process.
//
// The process runs inside a private network namespace with only loopback and the fake first on
// LD_LIBRARY_PATH (see Usb3TestMain); the cameras are those of Usb3Rig.
#include <arv.h>
#include <gtest/gtest.h>

#include <QString>
#include <QStringList>
#include <chrono>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "AravisPeer.h"
#include "FakeCamera.h"
#include "LoadedModule.h"
#include "LogCapture.h"
#include "PatternSink.h"
#include "ScopedEnvironment.h"
#include "TestPattern.h"
#include "Usb3Rig.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;
using std::chrono::seconds;
using Zazod::FakeUsb3::FakeUsb3Control;
using Zazod::FakeUsb3::Fault;
using Zazod::FakeUsb3::Removal;

// Bounds that only catch a hang: a frame or failed grab after a snap, and teardown of a camera
// whose device went away.
constexpr milliseconds kOutcomeTimeout{10000};
constexpr seconds kTeardownBound{10};
// Failed results carry this code base plus one plus Aravis's buffer status.
constexpr uint32_t kBufferErrorBase = 0xE2000000u;

QString grabErrorLine(ArvBufferStatus status) {
  const char* description = status == ARV_BUFFER_STATUS_SIZE_MISMATCH
                                ? "The frame does not fit the buffer (Aravis buffer status SIZE_MISMATCH)."
                                : "(a status no case here expects)";
  return QString("Basler Camera image grab error:  %1   %2  -  ZODOzizoZavozEzazodu::OnImageGrabbed")
      .arg(kBufferErrorBase + static_cast<uint32_t>(status + 1))
      .arg(description);
}

class Usb3Module : public ::testing::Test {
 protected:
  struct Camera {
    CameraConfig config;
    TestPattern pattern;
    PatternSink sink;
    ICameraObject* object = nullptr;
  };

  void SetUp() override {
    ASSERT_TRUE(LoadedModule::instance().loaded()) << LoadedModule::instance().error();
    // Installed before any camera exists: grab threads write to it from their first line on.
    m_log.emplace();
    for (size_t camera = 0; camera < control().cameraCount(); ++camera) {
      ASSERT_TRUE(control().plugged(camera)) << "camera " << camera << " left unplugged by an earlier test";
      control().setLine1Hz(camera, 0);
    }
  }

  void TearDown() override {
    for (std::unique_ptr<Camera>& camera : m_cameras) {
      if (camera->object != nullptr) {
        LoadedModule::instance().destroy(camera->object);
      }
    }
    m_cameras.clear();
    m_log.reset();
    // Whatever a failed test left behind, the next one finds every camera plugged in and calm.
    for (size_t camera = 0; camera < control().cameraCount(); ++camera) {
      if (!control().plugged(camera)) {
        control().replug(camera);
      }
      control().setLine1Hz(camera, 0);
    }
  }

  static FakeUsb3Control& control() { return Usb3Rig::instance().control(); }

  // The test's log capture, emptied: what is written from now on. It was installed before the
  // first camera and outlives the camera objects, which TearDown deletes first.
  LogCapture& captureLog() {
    m_log->clear();
    return *m_log;
  }

  // A module camera object for `key`, not opened; its sink checks the pattern at the given size
  // (learnt from its first frame).
  Camera& newCamera(const std::string& key, uint32_t width, uint32_t height) {
    m_cameras.push_back(std::make_unique<Camera>());
    Camera& camera = *m_cameras.back();
    camera.config.cameraKey = QString::fromStdString(key);
    camera.config.imageFormat = 1;
    camera.object = LoadedModule::instance().create(&camera.config, &camera.sink);
    camera.sink.check(&camera.pattern, true, width, height);
    return camera;
  }

  Camera& newCamera(Usb3Rig::Camera which) {
    return newCamera(Usb3Rig::key(which), Usb3Rig::width(which), Usb3Rig::height(which));
  }

  // Opened and grabbing in `mode`.
  Camera& startCamera(Usb3Rig::Camera which, int mode = GrabMode_SoftwareTrigger) {
    Camera& camera = newCamera(which);
    EXPECT_EQ(camera.object->IOpenCamera(), 1);
    camera.object->m_requestedGrabMode = mode;
    EXPECT_EQ(camera.object->IStartCamera(), 1);
    return camera;
  }

  void deleteCamera(Camera& camera) {
    LoadedModule::instance().destroy(camera.object);
    camera.object = nullptr;
  }

  // Snaps once and waits for the frame that follows; false when it did not come.
  static bool snapAndWait(Camera& camera) {
    const size_t before = camera.sink.count();
    return camera.object->ISnapCamera(0) == 1 && camera.sink.waitForFrames(before + 1, kOutcomeTimeout);
  }

  // Waits until `count` warning lines have come; false when they did not within the bound.
  static bool waitForWarnings(const LogCapture& log, size_t count) {
    const Clock::time_point deadline = Clock::now() + kOutcomeTimeout;
    while (log.lines(QtWarningMsg).size() < count) {
      if (Clock::now() >= deadline) {
        return false;
      }
      log.waitForLines(log.lines().size() + 1, milliseconds(100));
    }
    return true;
  }

  // Every frame so far whole, of the camera's size, and each one further along the pattern.
  static void expectWholeFrames(const Camera& camera, size_t frames) {
    const PatternSink::Tally tally = camera.sink.tally();
    EXPECT_EQ(tally.frames, frames);
    EXPECT_EQ(tally.mismatched, 0u) << ::testing::PrintToString(tally.phases);
    EXPECT_EQ(tally.notAdvancing, 0u) << ::testing::PrintToString(tally.phases);
    EXPECT_EQ(tally.wrongSize, 0u);
  }

  std::optional<LogCapture> m_log;
  std::vector<std::unique_ptr<Camera>> m_cameras;
};

TEST_F(Usb3Module, ListsTheCamerasOfTheAcceptedVendorsBySerialNumber) {
  struct Case {
    const char* vendors;  // null: unset
    QStringList keys;
  };
  const QStringList both{QString::fromStdString(Usb3Rig::key(Usb3Rig::First)),
                         QString::fromStdString(Usb3Rig::key(Usb3Rig::Second))};
  const QString other = QString::fromStdString(Usb3Rig::key(Usb3Rig::OtherVendor));
  const Case cases[] = {
      {nullptr, both},  // Basler by default
      {"Basler", both}, {"*", both + QStringList{other}}, {"acme imaging", {other}}, {"Acme", {}},
  };
  Camera& camera = newCamera(Usb3Rig::First);
  for (const Case& c : cases) {
    ScopedEnvironment vendors("ZAZOD_SDK_ARAVIS_VENDORS", c.vendors);
    EXPECT_EQ(camera.object->IEnumCameras(), c.keys)
        << "ZAZOD_SDK_ARAVIS_VENDORS=" << (c.vendors ? c.vendors : "(unset)");
  }
  // An unplugged camera is no longer listed, and is again once it is back.
  control().unplug(Usb3Rig::Second, Removal::DeviceLeft);
  EXPECT_EQ(camera.object->IEnumCameras(), QStringList{both[0]});
  control().replug(Usb3Rig::Second);
  EXPECT_EQ(camera.object->IEnumCameras(), both);
}

TEST_F(Usb3Module, OpensTheCameraOfItsKeyAndNoOther) {
  const FakeUsb3Control::Counters firstBefore = control().counters(Usb3Rig::First);
  const FakeUsb3Control::Counters secondBefore = control().counters(Usb3Rig::Second);
  Camera& second = startCamera(Usb3Rig::Second);
  for (int snap = 0; snap < 3; ++snap) {
    ASSERT_TRUE(snapAndWait(second)) << "snap " << snap;
  }
  second.object->IStopCamera();
  expectWholeFrames(second, 3);  // at the second camera's size, not the first's
  EXPECT_EQ(control().counters(Usb3Rig::Second).triggersReceived - secondBefore.triggersReceived, 3u);
  EXPECT_EQ(control().counters(Usb3Rig::First).controlCommands, firstBefore.controlCommands)
      << "the first camera was spoken to";

  // Neither a camera of a vendor not listed nor one that is not there opens.
  LogCapture& log = captureLog();
  for (const std::string& key : {Usb3Rig::key(Usb3Rig::OtherVendor), std::string("basler USB39999")}) {
    Camera& absent = newCamera(key, 640, 480);
    EXPECT_EQ(absent.object->IOpenCamera(), 0) << key;
    EXPECT_FALSE(absent.object->m_isOpened) << key;
  }
  // Refused without a word: the key matches no listed camera.
  EXPECT_TRUE(log.lines(QtCriticalMsg).empty()) << ::testing::PrintToString(log.lines());
  EXPECT_TRUE(log.lines(QtWarningMsg).empty()) << ::testing::PrintToString(log.lines());
}

TEST_F(Usb3Module, OpenAppliesTheSoftwareTriggerConfigurationToTheDevice) {
  const std::string serial = Usb3Rig::serial(Usb3Rig::First);
  {
    // The opposite of what the configuration writes, so every value read back is its work.
    AravisPeer peer(AravisPeer::Usb{serial.c_str()});
    ASSERT_TRUE(peer.controls()) << peer.lastError();
    ASSERT_TRUE(peer.set("TriggerSelector", "FrameStart")) << peer.lastError();
    ASSERT_TRUE(peer.set("TriggerMode", "Off")) << peer.lastError();
    ASSERT_TRUE(peer.set("TriggerSource", "Line1")) << peer.lastError();
    ASSERT_TRUE(peer.set("AcquisitionMode", "SingleFrame")) << peer.lastError();
  }
  Camera& camera = newCamera(Usb3Rig::First);
  LogCapture& log = captureLog();
  ASSERT_EQ(camera.object->IOpenCamera(), 1) << ::testing::PrintToString(log.lines());
  camera.object->ICloseCamera();  // one client at a time on a USB device

  AravisPeer peer(AravisPeer::Usb{serial.c_str()});
  ASSERT_TRUE(peer.controls()) << peer.lastError();
  EXPECT_EQ(peer.get("TriggerSelector"), "FrameStart");
  EXPECT_EQ(peer.get("AcquisitionMode"), "Continuous");
  EXPECT_EQ(peer.triggerMode("FrameStart"), "On");
  EXPECT_EQ(peer.triggerSource("FrameStart"), "Software");
  EXPECT_TRUE(log.lines(QtCriticalMsg).empty()) << ::testing::PrintToString(log.lines());
}

// Software trigger, counted software trigger (snaps admitted up to the limit) and hardware trigger
// (the fake's Line1 pulses): every frame whole, each one of its own trigger.
TEST_F(Usb3Module, EveryGrabModeDeliversWholeFramesOfItsTriggers) {
  struct Case {
    const char* name;
    int mode;
    uint32_t limit;  // counted mode
    int snaps;       // snaps made; the hardware case makes none
    size_t frames;
  };
  const Case cases[] = {
      {"software", GrabMode_SoftwareTrigger, 0, 12, 12},
      {"counted", GrabMode_SoftwareTriggerCounted, 5, 8, 5},
      {"hardware", GrabMode_HardwareTrigger, 0, 0, 10},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const FakeUsb3Control::Counters before = control().counters(Usb3Rig::First);
    Camera& camera = newCamera(Usb3Rig::First);
    LogCapture& log = captureLog();
    ASSERT_EQ(camera.object->IOpenCamera(), 1);
    camera.object->m_requestedGrabMode = c.mode;
    camera.object->m_frameLimit = c.limit;
    ASSERT_EQ(camera.object->IStartCamera(), 1) << ::testing::PrintToString(log.lines());
    int refused = 0;
    for (int snap = 0; snap < c.snaps; ++snap) {
      const size_t frames = camera.sink.count();
      if (camera.object->ISnapCamera(0) != 1) {
        ++refused;
        continue;
      }
      ASSERT_TRUE(camera.sink.waitForFrames(frames + 1, kOutcomeTimeout)) << "snap " << snap;
    }
    if (c.mode == GrabMode_HardwareTrigger) {
      control().setLine1Hz(Usb3Rig::First, 20);
      EXPECT_TRUE(camera.sink.waitForFrames(c.frames, seconds(30)));
      control().setLine1Hz(Usb3Rig::First, 0);
    }
    camera.object->IStopCamera();
    const FakeUsb3Control::Counters after = control().counters(Usb3Rig::First);
    const PatternSink::Tally tally = camera.sink.tally();
    if (c.mode == GrabMode_HardwareTrigger) {
      // Pulses may go on until the stop; each frame is one of them.
      EXPECT_GE(tally.frames, c.frames);
      EXPECT_LE(tally.frames, after.line1Pulses - before.line1Pulses);
      EXPECT_EQ(after.triggersReceived, before.triggersReceived);
    } else {
      EXPECT_EQ(tally.frames, c.frames);
      EXPECT_EQ(refused, c.snaps - static_cast<int>(c.frames));
      EXPECT_EQ(after.triggersReceived - before.triggersReceived, c.frames)
          << "a refused snap reached the camera";
    }
    EXPECT_EQ(tally.mismatched, 0u) << ::testing::PrintToString(tally.phases);
    EXPECT_EQ(tally.notAdvancing, 0u) << ::testing::PrintToString(tally.phases);
    EXPECT_EQ(tally.wrongSize, 0u);
    EXPECT_EQ(camera.object->m_imageNumber.load(), tally.frames) << "image numbers count the frames from 1";
    EXPECT_TRUE(log.lines(QtWarningMsg).empty()) << ::testing::PrintToString(log.lines(QtWarningMsg));
    EXPECT_TRUE(log.lines(QtCriticalMsg).empty()) << ::testing::PrintToString(log.lines(QtCriticalMsg));
    deleteCamera(camera);
  }
}

// A frame cut short on its way (a stalled endpoint, a transfer that timed out, a payload shorter
// than its leader said) ends as a failed grab with its warning line, never as a good frame, and the
// next snap gives a whole frame again. Aravis reads neither the trailer's status nor its valid
// payload size, so a frame whose trailer reports an error, or whose payload ran on past what the
// leader described (Aravis keeps the described part and drops the rest), arrives as a good frame:
// those cases pin that the frame arrives once and whole in what its leader described.
struct TransferFaultCase {
  const char* name;
  Fault fault;
  bool failsTheGrab;
};

void PrintTo(const TransferFaultCase& c, std::ostream* out) { *out << c.name; }

class Usb3TransferFault : public Usb3Module, public ::testing::WithParamInterface<TransferFaultCase> {};

TEST_P(Usb3TransferFault, GivesItsOutcomeAndTheNextFrameIsWhole) {
  const TransferFaultCase& c = GetParam();
  Camera& camera = startCamera(Usb3Rig::First);
  ASSERT_TRUE(snapAndWait(camera));
  LogCapture& log = captureLog();
  const FakeUsb3Control::Counters before = control().counters(Usb3Rig::First);
  control().arm(Usb3Rig::First, c.fault);
  ASSERT_EQ(camera.object->ISnapCamera(0), 1);
  if (c.failsTheGrab) {
    ASSERT_TRUE(waitForWarnings(log, 1))
        << "no failed grab for the spoiled frame; frames delivered " << camera.sink.count();
  } else {
    ASSERT_TRUE(camera.sink.waitForFrames(2, kOutcomeTimeout)) << "the frame never arrived";
  }
  EXPECT_EQ(control().armed(Usb3Rig::First, c.fault), 0u) << "the fault never came to pass";
  EXPECT_EQ(control().counters(Usb3Rig::First).framesFailedByFault - before.framesFailedByFault, 1u);
  ASSERT_TRUE(snapAndWait(camera)) << "no frame after the spoiled one";
  camera.object->IStopCamera();
  expectWholeFrames(camera, c.failsTheGrab ? 2 : 3);
  const std::vector<LogLine> expected =
      c.failsTheGrab ? std::vector<LogLine>{{QtWarningMsg, grabErrorLine(ARV_BUFFER_STATUS_SIZE_MISMATCH)}}
                     : std::vector<LogLine>{};
  EXPECT_EQ(log.lines(QtWarningMsg), expected);
  EXPECT_TRUE(log.lines(QtCriticalMsg).empty()) << ::testing::PrintToString(log.lines());
}

INSTANTIATE_TEST_SUITE_P(
    Faults, Usb3TransferFault,
    ::testing::Values(TransferFaultCase{"StalledEndpoint", Fault::StallStream, true},
                      TransferFaultCase{"TransferTimeout", Fault::TransferTimeout, true},
                      TransferFaultCase{"ShortPayload", Fault::ShortPayload, true},
                      TransferFaultCase{"OverlongPayload", Fault::OverlongPayload, false},
                      TransferFaultCase{"TrailerErrorStatus", Fault::TrailerError, false}),
    [](const ::testing::TestParamInfo<TransferFaultCase>& info) { return std::string(info.param.name); });

// A control acknowledge that is pending, carries another request's id or an error status, on the
// software trigger of a grabbing camera: the snap succeeds or is refused with its critical line,
// as the case says, and the camera goes on grabbing.
struct ControlFaultCase {
  const char* name;
  Fault fault;
  bool snapSucceeds;
};

void PrintTo(const ControlFaultCase& c, std::ostream* out) { *out << c.name; }

class Usb3ControlFault : public Usb3Module, public ::testing::WithParamInterface<ControlFaultCase> {};

TEST_P(Usb3ControlFault, TheSnapHasItsOutcomeAndTheCameraGoesOn) {
  const ControlFaultCase& c = GetParam();
  const FakeUsb3Control::Counters before = control().counters(Usb3Rig::First);
  Camera& camera = startCamera(Usb3Rig::First);
  LogCapture& log = captureLog();
  control().arm(Usb3Rig::First, c.fault);
  if (c.snapSucceeds) {
    EXPECT_TRUE(snapAndWait(camera)) << "the snap of the faulty acknowledge gave no frame";
  } else {
    EXPECT_EQ(camera.object->ISnapCamera(0), 0);
    const std::vector<LogLine> critical = log.lines(QtCriticalMsg);
    ASSERT_EQ(critical.size(), 1u) << ::testing::PrintToString(log.lines());
    EXPECT_TRUE(critical[0].text.startsWith("An exception occurred : ")) << critical[0];
    EXPECT_TRUE(critical[0].text.endsWith("CCameraBasler::ISnapCamera")) << critical[0];
  }
  EXPECT_EQ(control().armed(Usb3Rig::First, c.fault), 0u) << "the fault never came to pass";
  ASSERT_TRUE(snapAndWait(camera)) << "the camera stopped answering";
  // Every frame the camera sent arrives, once and whole, whatever became of the acknowledge: the
  // camera may have carried out a trigger whose acknowledge said otherwise, or (a command sent
  // again after an acknowledge with another id) one trigger twice.
  const uint64_t sent = control().counters(Usb3Rig::First).framesSent - before.framesSent;
  EXPECT_TRUE(camera.sink.waitForFrames(sent, kOutcomeTimeout));
  camera.object->IStopCamera();
  expectWholeFrames(camera, sent);
  EXPECT_TRUE(log.lines(QtWarningMsg).empty()) << ::testing::PrintToString(log.lines());
  if (c.snapSucceeds) {
    EXPECT_TRUE(log.lines(QtCriticalMsg).empty()) << ::testing::PrintToString(log.lines());
  }
}

INSTANTIATE_TEST_SUITE_P(Faults, Usb3ControlFault,
                         ::testing::Values(ControlFaultCase{"PendingAcknowledge", Fault::PendingAck, true},
                                           ControlFaultCase{"WrongRequestId", Fault::AckWrongId, true},
                                           ControlFaultCase{"ErrorStatus", Fault::AckError, false}),
                         [](const ::testing::TestParamInfo<ControlFaultCase>& info) {
                           return std::string(info.param.name);
                         });

// The device pulled out while grabbing, shown either way libusb can show it: no frame is made up,
// the loss is noticed, close and delete return within a bound, and once the device is back a new
// camera object opens it and grabs whole frames.
class Usb3Removal : public Usb3Module, public ::testing::WithParamInterface<Removal> {};

TEST_P(Usb3Removal, CloseIsBoundedAndTheReturnedCameraOpensAgain) {
  Camera& camera = startCamera(Usb3Rig::First);
  ASSERT_TRUE(snapAndWait(camera));
  LogCapture& log = captureLog();
  control().unplug(Usb3Rig::First, GetParam());
  // The loss is noticed: snaps are refused within the bound.
  const Clock::time_point begin = Clock::now();
  while (camera.object->ISnapCamera(0) == 1 && Clock::now() - begin < kTeardownBound) {
    log.waitForLines(log.lines().size() + 1, milliseconds(200));
  }
  EXPECT_LT(Clock::now() - begin, kTeardownBound) << "the removal was never noticed";
  EXPECT_EQ(camera.sink.count(), 1u) << "a frame came from a device that is gone";
  for (const LogLine& line : log.lines(QtWarningMsg)) {
    EXPECT_TRUE(line.text.startsWith("Basler Camera image grab error:  ")) << line;
  }
  Clock::time_point step = Clock::now();
  camera.object->ICloseCamera();
  EXPECT_LT(Clock::now() - step, kTeardownBound) << "ICloseCamera";
  EXPECT_FALSE(camera.object->m_isOpened);
  step = Clock::now();
  deleteCamera(camera);
  EXPECT_LT(Clock::now() - step, kTeardownBound) << "Camera_Delete";

  control().replug(Usb3Rig::First);
  Camera& again = startCamera(Usb3Rig::First);
  ASSERT_TRUE(again.object->m_isGrabbing);
  for (int snap = 0; snap < 3; ++snap) {
    ASSERT_TRUE(snapAndWait(again)) << "snap " << snap;
  }
  again.object->IStopCamera();
  expectWholeFrames(again, 3);
}

INSTANTIATE_TEST_SUITE_P(Paths, Usb3Removal, ::testing::Values(Removal::NoDevice, Removal::DeviceLeft),
                         [](const ::testing::TestParamInfo<Removal>& info) {
                           return std::string(info.param == Removal::NoDevice ? "NoDevice" : "DeviceLeft");
                         });

// Two USB3 Vision cameras and a GigE Vision camera (Aravis's fake, asked at its address) listed
// and grabbing together in one process, each frame in its own camera's sink at its own size.
TEST_F(Usb3Module, TwoUsbCamerasAndAGigECameraGrabTogether) {
  FakeCamera gige(FakeCamera::uniqueSerialNumber());
  gige.setSize(512, 512);
  ASSERT_TRUE(gige.start()) << "the fake GigE Vision camera did not come up";
  const std::string listed = std::string(FakeCamera::address()) + ",usb";
  ScopedEnvironment addresses("ZAZOD_SDK_ARAVIS_ADDRESSES", listed.c_str());
  ScopedEnvironment vendors("ZAZOD_SDK_ARAVIS_VENDORS", "Basler,Aravis");
  const std::string gigeKey = "basler " + gige.serialNumber();

  Camera& first = startCamera(Usb3Rig::First);
  Camera& second = startCamera(Usb3Rig::Second);
  Camera& third = newCamera(gigeKey, 512, 512);
  EXPECT_EQ(
      first.object->IEnumCameras(),
      (QStringList{QString::fromStdString(gigeKey), QString::fromStdString(Usb3Rig::key(Usb3Rig::First)),
                   QString::fromStdString(Usb3Rig::key(Usb3Rig::Second))}))
      << "the addresses in their order, then the USB3 Vision devices";
  LogCapture& log = captureLog();
  ASSERT_EQ(third.object->IOpenCamera(), 1);
  third.object->m_requestedGrabMode = GrabMode_SoftwareTrigger;
  ASSERT_EQ(third.object->IStartCamera(), 1);
  for (int round = 0; round < 5; ++round) {
    for (Camera* camera : {&first, &second, &third}) {
      ASSERT_TRUE(snapAndWait(*camera))
          << "round " << round << ", " << camera->config.cameraKey.toStdString();
    }
  }
  for (Camera* camera : {&first, &second, &third}) {
    camera->object->IStopCamera();
    expectWholeFrames(*camera, 5);
  }
  EXPECT_TRUE(log.lines(QtWarningMsg).empty()) << ::testing::PrintToString(log.lines());
  EXPECT_TRUE(log.lines(QtCriticalMsg).empty()) << ::testing::PrintToString(log.lines());
  for (std::unique_ptr<Camera>& camera : m_cameras) {
    deleteCamera(*camera);
  }
  gige.stop();
}

}  // namespace
