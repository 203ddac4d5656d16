// Acquisition control: the state transitions of start, snap, stop and close over the grab modes,
// their exact log lines and SDK calls, and what failures leave in the flags.
#include <gtest/gtest.h>

#include <new>
#include <ostream>

#include "PluginTestSupport.h"

namespace {

const std::vector<std::string> kControlOps = {
    "IsGrabbing", "StopGrabbing", "CanWaitForFrameTriggerReady", "StartGrabbing", "ExecuteSoftwareTrigger",
    "IsOpen",     "Close"};

class AcquisitionTest : public PluginTest {
 protected:
  void SetUp() override {
    PluginTest::SetUp();
    device = std::make_unique<emu::EmulatedCamera>(addCamera());
  }
  CCameraBasler& openCamera() { return createOpen(*device); }
  // Opens and starts in a mode; the log and journal start empty after.
  CCameraBasler& grabbingIn(int32_t mode) {
    openCamera();
    camera->m_requestedGrabMode = mode;
    EXPECT_EQ(camera->IStartCamera(), 1);
    device->ClearJournal();
    log.clear();
    return *camera;
  }
  std::vector<std::string> controlCalls() const { return operations(device->Journal(), kControlOps); }
  std::vector<std::string> writes() const { return nodeWrites(device->Journal()); }
  LogLine stopLine(const char* tag) const {
    return debugLine(QString("Stop Grabbing camera( %1 ).  -  %2").arg(configText(), tag));
  }
  LogLine startLine(const char* tag) const {
    return debugLine(QString("Start Grabbing camera( %1 ).  -  %2").arg(configText(), tag));
  }
  LogLine closeLine() const {
    return debugLine(QString("Close camera( %1 ).  -  CCameraBasler::ICloseCamera").arg(configText()));
  }
  static LogLine notReadyLine(const char* tag) {
    return warningLine(
        QString("The cameras must can be queried whether they are ready to accept the next frame "
                "trigger.  -  %1")
            .arg(tag));
  }

  std::unique_ptr<emu::EmulatedCamera> device;
};

constexpr const char* kStart = "CCameraBasler::IStartCamera";
constexpr const char* kSnap = "CCameraBasler::ISnapCamera";
constexpr const char* kStop = "CCameraBasler::IStopCamera";

// One row of the start transitions: from a grab state, a request, what the camera sees and logs.
struct StartCase {
  const char* name;
  int32_t startedMode;  // -1: open but never started
  int32_t request;
  int result;
  bool grabbingAfter;
  int32_t activeAfter;
  std::vector<std::string> writes;
  std::vector<std::string> calls;
  bool stopLogged;
  bool startLogged;
};

class StartTransitions : public AcquisitionTest, public ::testing::WithParamInterface<StartCase> {};

TEST_P(StartTransitions, FollowTheTable) {
  const StartCase& c = GetParam();
  if (c.startedMode < 0) {
    openCamera();
  } else {
    grabbingIn(c.startedMode);
  }
  camera->m_requestedGrabMode = c.request;
  EXPECT_EQ(camera->IStartCamera(), c.result);
  EXPECT_EQ(camera->m_isGrabbing, c.grabbingAfter);
  EXPECT_EQ(camera->m_activeGrabMode, c.activeAfter);
  EXPECT_EQ(writes(), c.writes);
  EXPECT_EQ(controlCalls(), c.calls);
  std::vector<LogLine> expected;
  if (c.stopLogged) {
    expected.push_back(stopLine(kStart));
  }
  if (c.startLogged) {
    expected.push_back(startLine(kStart));
  }
  EXPECT_EQ(log.lines(), expected);
}

const std::vector<std::string> kRestartCalls = {"IsGrabbing", "StopGrabbing", "CanWaitForFrameTriggerReady",
                                                "StartGrabbing"};
const std::vector<std::string> kFreshStartCalls = {"IsGrabbing", "CanWaitForFrameTriggerReady",
                                                   "StartGrabbing"};

INSTANTIATE_TEST_SUITE_P(
    Table, StartTransitions,
    ::testing::Values(StartCase{"OpenedHardware",
                                -1,
                                1,
                                1,
                                true,
                                1,
                                {"TriggerMode=On", "TriggerSource=Line1"},
                                kFreshStartCalls,
                                false,
                                true},
                      StartCase{"OpenedSoftware",
                                -1,
                                2,
                                1,
                                true,
                                2,
                                {"TriggerMode=On", "TriggerSource=Software"},
                                kFreshStartCalls,
                                false,
                                true},
                      StartCase{"OpenedCounted",
                                -1,
                                3,
                                1,
                                true,
                                3,
                                {"TriggerMode=On", "TriggerSource=Software"},
                                kFreshStartCalls,
                                false,
                                true},
                      StartCase{"SameModeDoesNothing", 2, 2, 1, true, 2, {}, {}, false, false},
                      StartCase{"SoftwareToCountedRestarts",
                                2,
                                3,
                                1,
                                true,
                                3,
                                {"TriggerMode=On", "TriggerSource=Software"},
                                kRestartCalls,
                                true,
                                true},
                      StartCase{"SoftwareToHardwareRestarts",
                                2,
                                1,
                                1,
                                true,
                                1,
                                {"TriggerMode=On", "TriggerSource=Line1"},
                                kRestartCalls,
                                true,
                                true},
                      StartCase{"OpenedRequestNoneOnlyRecords", -1, 0, 1, false, 0, {}, {}, false, false},
                      StartCase{
                          "RequestNoneWhileGrabbingOnlyRecords", 2, 0, 1, true, 0, {}, {}, false, false},
                      StartCase{"RequestFourOnlyRecords", 2, 4, 1, true, 4, {}, {}, false, false},
                      StartCase{"UnknownCodeOnlyRecords", 2, 77, 1, true, 77, {}, {}, false, false},
                      StartCase{"NegativeCodeOnlyRecords", -1, -3, 1, false, -3, {}, {}, false, false}),
    [](const ::testing::TestParamInfo<StartCase>& info) { return std::string(info.param.name); });

TEST_F(AcquisitionTest, StartOnAClosedCameraRefusesSilently) {
  create();
  camera->m_requestedGrabMode = 2;
  EXPECT_EQ(camera->IStartCamera(), 0);
  EXPECT_TRUE(device->Journal().empty());
  EXPECT_TRUE(log.lines().empty());
}

TEST_F(AcquisitionTest, SameModeReturnsOneEvenWhenTheSdkNoLongerGrabs) {
  grabbingIn(2);
  device->Unplug();
  device->ClearJournal();
  EXPECT_EQ(camera->IStartCamera(), 1);
  EXPECT_TRUE(device->Journal().empty());
}

TEST_F(AcquisitionTest, MissingTriggerSourceFailsAfterWritingTheMode) {
  openCamera();
  device->RemoveNode("TriggerSource");
  camera->m_requestedGrabMode = 1;
  EXPECT_EQ(camera->IStartCamera(), 0);
  EXPECT_EQ(writes(), std::vector<std::string>{"TriggerMode=On"});
  EXPECT_EQ(log.lines(),
            std::vector<LogLine>{criticalLine(
                "An exception occurred :  NULL pointer dereferenced  -  CCameraBasler::IStartCamera")});
  EXPECT_FALSE(camera->m_isGrabbing);
  EXPECT_EQ(camera->m_activeGrabMode, 0);
}

// The restart's writes are verified too: a source the device lists but cannot take now is refused
// at its write, and grabbing does not start on a trigger that would never fire.
TEST_F(PluginTest, RestartRefusesASourceTheDeviceCannotTake) {
  emu::CameraDescription description;
  for (emu::NodeDescription& node : description.nodes) {
    if (node.name == "TriggerSource") {
      node.entries = {{"Line1", GenApi::NA}, {"Software", GenApi::RW}};
    }
  }
  emu::EmulatedCamera device = addCamera(description);
  createOpen(device);
  camera->m_requestedGrabMode = GrabMode_HardwareTrigger;
  EXPECT_EQ(camera->IStartCamera(), 0);
  EXPECT_EQ(log.lines(), std::vector<LogLine>{criticalLine("An exception occurred :  Entry 'Line1' of node "
                                                           "'TriggerSource' is not available.  -  "
                                                           "CCameraBasler::IStartCamera")});
  EXPECT_EQ(nodeWrites(device.Journal()), std::vector<std::string>{"TriggerMode=On"});
  EXPECT_TRUE(operations(device.Journal(), {"StartGrabbing"}).empty());
  EXPECT_FALSE(camera->m_isGrabbing);
}

TEST_F(AcquisitionTest, StartOnACameraThatCannotReportReadinessWarnsAndKeepsFlags) {
  openCamera();
  device->SetCanWaitForFrameTriggerReady(false);
  camera->m_requestedGrabMode = 2;
  EXPECT_EQ(camera->IStartCamera(), 0);
  EXPECT_EQ(log.lines(), std::vector<LogLine>{notReadyLine(kStart)});
  EXPECT_FALSE(camera->m_isGrabbing);
  EXPECT_EQ(camera->m_activeGrabMode, 0);
  EXPECT_EQ(writes(), (std::vector<std::string>{"TriggerMode=On", "TriggerSource=Software"}));
}

// A restart that stopped a running grab and then cannot go on leaves the object not grabbing, so
// later snaps are refused instead of reporting triggers that produce nothing.
TEST_F(AcquisitionTest, RestartThatStoppedGrabbingAndFailsLeavesTheObjectStopped) {
  grabbingIn(2);
  device->SetCanWaitForFrameTriggerReady(false);
  camera->m_requestedGrabMode = 3;
  EXPECT_EQ(camera->IStartCamera(), 0);
  EXPECT_EQ(log.lines(), (std::vector<LogLine>{stopLine(kStart), notReadyLine(kStart)}));
  EXPECT_FALSE(camera->m_isGrabbing);
  EXPECT_EQ(camera->m_activeGrabMode, 0);
  EXPECT_EQ(camera->ISnapCamera(0), 0);

  device->SetCanWaitForFrameTriggerReady(true);
  grabbingIn(2);
  device->FailNext("FromString:TriggerSource", emu::Fault{"AccessException", "locked"});
  camera->m_requestedGrabMode = 1;
  EXPECT_EQ(camera->IStartCamera(), 0);
  EXPECT_EQ(log.lines(),
            (std::vector<LogLine>{stopLine(kStart), criticalLine("An exception occurred :  locked  -  "
                                                                 "CCameraBasler::IStartCamera")}));
  EXPECT_FALSE(camera->m_isGrabbing);
  EXPECT_EQ(camera->m_activeGrabMode, 0);
}

struct ForeignRestartCase {
  const char* name;
  int32_t startedMode;  // 2: IStartCamera changes to 3; 1: the snap switches to software
  const char* site;
};
void PrintTo(const ForeignRestartCase& value, std::ostream* os) { *os << value.name; }

class ForeignExceptionAfterTheStop : public AcquisitionTest,
                                     public ::testing::WithParamInterface<ForeignRestartCase> {};

// A std::bad_alloc after the restart stopped the grab goes on to the caller unchanged, and the flags
// say that the camera no longer grabs: the next snap is refused, the next start begins afresh.
TEST_P(ForeignExceptionAfterTheStop, LeavesTheObjectStopped) {
  const ForeignRestartCase& c = GetParam();
  grabbingIn(c.startedMode);
  device->FailNext(c.site, emu::Fault{"bad_alloc", ""});
  const char* tag = c.startedMode == 1 ? kSnap : kStart;
  if (c.startedMode == 1) {
    EXPECT_THROW(camera->ISnapCamera(0), std::bad_alloc);
  } else {
    camera->m_requestedGrabMode = 3;
    camera->m_frameLimit = 10;
    EXPECT_THROW(camera->IStartCamera(), std::bad_alloc);
  }
  EXPECT_EQ(log.lines(), std::vector<LogLine>{stopLine(tag)});
  EXPECT_FALSE(camera->m_isGrabbing);
  EXPECT_EQ(camera->m_activeGrabMode, 0);

  device->ClearJournal();
  EXPECT_EQ(camera->ISnapCamera(0), 0);
  EXPECT_TRUE(device->Journal().empty());
  log.clear();
  EXPECT_EQ(camera->IStartCamera(), 1);
  EXPECT_EQ(log.lines(), std::vector<LogLine>{startLine(kStart)});
  EXPECT_EQ(camera->ISnapCamera(0), 1);
  EXPECT_TRUE(sink.waitForFrames(1));
}

INSTANTIATE_TEST_SUITE_P(
    Sites, ForeignExceptionAfterTheStop,
    ::testing::Values(ForeignRestartCase{"StartTriggerMode", 2, "FromString:TriggerMode"},
                      ForeignRestartCase{"StartTriggerSource", 2, "FromString:TriggerSource"},
                      ForeignRestartCase{"StartStartGrabbing", 2, "StartGrabbing"},
                      ForeignRestartCase{"SnapTriggerMode", 1, "FromString:TriggerMode"},
                      ForeignRestartCase{"SnapStartGrabbing", 1, "StartGrabbing"}),
    [](const ::testing::TestParamInfo<ForeignRestartCase>& info) { return std::string(info.param.name); });

TEST_F(AcquisitionTest, FailureBeforeAnyStopKeepsTheFlags) {
  openCamera();
  camera->m_activeGrabMode = 4;  // recorded mode, not grabbing
  device->FailNext("StartGrabbing", emu::Fault{"RuntimeException", "no buffers"});
  camera->m_requestedGrabMode = 2;
  EXPECT_EQ(camera->IStartCamera(), 0);
  EXPECT_EQ(log.lines(), std::vector<LogLine>{criticalLine(
                             "An exception occurred :  no buffers  -  CCameraBasler::IStartCamera")});
  EXPECT_FALSE(camera->m_isGrabbing);
  EXPECT_EQ(camera->m_activeGrabMode, 4);
}

TEST_F(AcquisitionTest, SnapInHardwareModeSwitchesToSoftwareOnce) {
  grabbingIn(1);
  EXPECT_EQ(camera->ISnapCamera(0), 1);
  EXPECT_EQ(camera->m_activeGrabMode, 4);
  EXPECT_TRUE(camera->m_isGrabbing);
  EXPECT_EQ(log.linesWithoutFrames(), (std::vector<LogLine>{stopLine(kSnap), startLine(kSnap)}));
  EXPECT_EQ(writes(), (std::vector<std::string>{"TriggerMode=On", "TriggerSource=Software"}));
  EXPECT_EQ(controlCalls(),
            (std::vector<std::string>{"IsGrabbing", "StopGrabbing", "CanWaitForFrameTriggerReady",
                                      "StartGrabbing", "ExecuteSoftwareTrigger"}));
  ASSERT_TRUE(sink.waitForFrames(1));

  device->ClearJournal();
  log.clear();
  EXPECT_EQ(camera->ISoftTriggerCamera(), 1);
  EXPECT_EQ(controlCalls(), std::vector<std::string>{"ExecuteSoftwareTrigger"});
  ASSERT_TRUE(sink.waitForFrames(2));

  // The request is still 1: the next start restarts on "Line1", and the line triggers frames again.
  device->ClearJournal();
  EXPECT_EQ(camera->IStartCamera(), 1);
  EXPECT_EQ(camera->m_activeGrabMode, 1);
  EXPECT_EQ(writes(), (std::vector<std::string>{"TriggerMode=On", "TriggerSource=Line1"}));
  device->PulseLine1();
  EXPECT_TRUE(sink.waitForFrames(3));
}

TEST_F(AcquisitionTest, SnapRefusalsMakeNoSdkCall) {
  openCamera();
  EXPECT_EQ(camera->ISnapCamera(0), 0);  // not grabbing
  grabbingIn(3);
  EXPECT_EQ(camera->ISnapCamera(0), 0);  // frame limit 0
  camera->m_frameLimit = 2;
  config.snapInhibited = true;
  EXPECT_EQ(camera->ISnapCamera(0), 0);
  EXPECT_TRUE(device->Journal().empty());
  EXPECT_TRUE(log.lines().empty());
}

TEST_F(AcquisitionTest, CountedModeUsesTheImageNumberOfAnEarlierGrab) {
  grabbingIn(3);
  camera->m_frameLimit = 2;
  ASSERT_EQ(camera->ISnapCamera(0), 1);
  ASSERT_TRUE(sink.waitForFrames(1));
  ASSERT_EQ(camera->ISnapCamera(0), 1);
  ASSERT_TRUE(sink.waitForFrames(2));
  EXPECT_EQ(camera->m_imageNumber, 2U);
  EXPECT_EQ(camera->ISnapCamera(0), 0);
  // Stop and start do not reset the number: the limit still counts frames of the earlier grab.
  camera->IStopCamera();
  camera->m_requestedGrabMode = 3;
  ASSERT_EQ(camera->IStartCamera(), 1);
  EXPECT_EQ(camera->ISnapCamera(0), 0);
  camera->m_frameLimit = 3;
  EXPECT_EQ(camera->ISnapCamera(0), 1);
  ASSERT_TRUE(sink.waitForFrames(3));
  EXPECT_EQ(camera->m_imageNumber, 1U);  // the new grab counts from 1
}

TEST_F(AcquisitionTest, SnapFailuresLogAndKeepWhatACompletedSwitchSet) {
  grabbingIn(2);
  device->FailNext("ExecuteSoftwareTrigger", emu::Fault{"TimeoutException", "busy"});
  EXPECT_EQ(camera->ISnapCamera(0), 0);
  EXPECT_EQ(log.lines(), std::vector<LogLine>{
                             criticalLine("An exception occurred :  busy  -  CCameraBasler::ISnapCamera")});
  EXPECT_TRUE(camera->m_isGrabbing);

  grabbingIn(1);
  device->FailNext("ExecuteSoftwareTrigger", emu::Fault{"TimeoutException", "busy"});
  EXPECT_EQ(camera->ISnapCamera(0), 0);
  EXPECT_TRUE(camera->m_isGrabbing);
  EXPECT_EQ(camera->m_activeGrabMode, 4);

  grabbingIn(1);
  device->SetCanWaitForFrameTriggerReady(false);
  EXPECT_EQ(camera->ISnapCamera(0), 0);
  EXPECT_EQ(log.lines(), (std::vector<LogLine>{stopLine(kSnap), notReadyLine(kSnap)}));
  EXPECT_FALSE(camera->m_isGrabbing);
  EXPECT_EQ(camera->m_activeGrabMode, 0);
}

TEST_F(AcquisitionTest, StopDoesNothingUnlessGrabbingAndClearsEvenWhenTheSdkStopped) {
  openCamera();
  camera->m_activeGrabMode = 4;
  camera->IStopCamera();
  EXPECT_EQ(camera->m_activeGrabMode, 4);
  EXPECT_TRUE(device->Journal().empty());

  grabbingIn(2);
  camera->IStopCamera();
  EXPECT_EQ(log.lines(), std::vector<LogLine>{stopLine(kStop)});
  EXPECT_FALSE(camera->m_isGrabbing);
  EXPECT_EQ(camera->m_activeGrabMode, 0);

  // Flags say grabbing while the SDK does not: no line, no StopGrabbing, flags cleared.
  log.clear();
  device->ClearJournal();
  camera->m_isGrabbing = true;
  camera->m_activeGrabMode = 2;
  camera->IStopCamera();
  EXPECT_TRUE(log.lines().empty());
  EXPECT_EQ(controlCalls(), std::vector<std::string>{"IsGrabbing"});
  EXPECT_FALSE(camera->m_isGrabbing);
  EXPECT_EQ(camera->m_activeGrabMode, 0);
}

TEST_F(AcquisitionTest, StopFailureKeepsTheFlags) {
  grabbingIn(2);
  device->FailNext("StopGrabbing", emu::Fault{"RuntimeException", "stuck"});
  camera->IStopCamera();
  EXPECT_EQ(log.lines(),
            (std::vector<LogLine>{stopLine(kStop), criticalLine("An exception occurred :  stuck  -  "
                                                                "CCameraBasler::IStopCamera")}));
  EXPECT_TRUE(camera->m_isGrabbing);
  EXPECT_EQ(camera->m_activeGrabMode, 2);
}

TEST_F(AcquisitionTest, CloseOfAGrabbingCameraStopsThenCloses) {
  grabbingIn(2);
  camera->ICloseCamera();
  EXPECT_EQ(log.lines(),
            (std::vector<LogLine>{debugLine("CCameraBasler::ICloseCamera"), stopLine(kStop), closeLine()}));
  EXPECT_FALSE(camera->m_isOpened);
  EXPECT_FALSE(camera->m_isGrabbing);
  EXPECT_EQ(camera->m_activeGrabMode, 0);
  EXPECT_EQ(controlCalls(), (std::vector<std::string>{"IsGrabbing", "StopGrabbing", "IsOpen", "Close"}));
  EXPECT_EQ(camera->IStartCamera(), 0);
}

TEST_F(AcquisitionTest, CloseFailureIsLoggedAndTheObjectIsClosedAllTheSame) {
  openCamera();
  device->FailNext("Close", emu::Fault{"RuntimeException", "cable"});
  camera->ICloseCamera();
  EXPECT_EQ(
      log.lines(),
      (std::vector<LogLine>{debugLine("CCameraBasler::ICloseCamera"), closeLine(),
                            criticalLine("An exception occurred :  cable  -  CCameraBasler::ICloseCamera")}));
  EXPECT_FALSE(camera->m_isOpened);
}

}  // namespace

namespace {

// What an operation makes of the camera as one sequence: its SDK calls, GenApi lookups, node writes
// and log lines in the order in which they happen. "{cfg}" stands for the configuration address.
struct OrderCase {
  const char* name;
  int32_t startedMode;  // -1: a fresh object, 0: opened, otherwise opened and grabbing in this mode
  int32_t request;
  std::function<void(CCameraBasler&)> action;
  std::vector<std::string> timeline;
};
void PrintTo(const OrderCase& value, std::ostream* os) { *os << value.name; }

class CallOrder : public PluginTest, public ::testing::WithParamInterface<OrderCase> {};

TEST_P(CallOrder, InterleavesCallsLookupsAndLines) {
  const OrderCase& c = GetParam();
  emu::CameraDescription description;
  description.journalLookups = true;
  emu::EmulatedCamera device = addCamera(description);
  if (c.startedMode < 0) {
    create();
  } else {
    createOpen(device);
  }
  if (c.startedMode > 0) {
    camera->m_requestedGrabMode = c.startedMode;
    ASSERT_EQ(camera->IStartCamera(), 1);
  }
  camera->m_requestedGrabMode = c.request;
  const std::vector<std::string> timeline = timelineOf(log, device, [&] { c.action(*camera); });
  std::vector<std::string> expected;
  for (std::string entry : c.timeline) {
    const size_t at = entry.find("{cfg}");
    if (at != std::string::npos) {
      entry.replace(at, 5, configText().toStdString());
    }
    expected.push_back(entry);
  }
  EXPECT_EQ(timeline, expected);
}

const std::vector<std::string> kRestartBody = {"GetNodeMap",
                                               "GetNode:TriggerMode",
                                               "TriggerMode=On",
                                               "GetNode:TriggerSource",
                                               "TriggerSource=Software",
                                               "CanWaitForFrameTriggerReady",
                                               "StartGrabbing"};

std::vector<std::string> joined(std::vector<std::string> first, const std::vector<std::string>& second) {
  first.insert(first.end(), second.begin(), second.end());
  return first;
}

INSTANTIATE_TEST_SUITE_P(
    Operations, CallOrder,
    ::testing::Values(
        // The configuration looks up the selector and the mode node first, the source and the
        // acquisition mode only where it writes them; the success line follows the open.
        OrderCase{"Open",
                  -1,
                  1,
                  [](CCameraBasler& c) { c.IOpenCamera(); },
                  {"GetSerialNumber",
                   "CreateDevice",
                   "Attach",
                   "IsPylonDeviceAttached",
                   "RegisterConfiguration",
                   "RegisterImageEventHandler",
                   "Open",
                   "GetNodeMap",
                   "GetNode:TriggerSelector",
                   "GetNode:TriggerMode",
                   "TriggerSelector=FrameStart",
                   "TriggerMode=On",
                   "GetNode:TriggerSource",
                   "TriggerSource=Software",
                   "TriggerSelector=AcquisitionStart",
                   "TriggerMode=Off",
                   "TriggerSelector=FrameStart",
                   "GetNode:AcquisitionMode",
                   "AcquisitionMode=Continuous",
                   "log: CCameraBasler::IOpenCamera success***************************  \n"}},
        OrderCase{"FirstStart", 0, 2, [](CCameraBasler& c) { c.IStartCamera(); },
                  joined(joined({"IsGrabbing"}, kRestartBody),
                         {"log: Start Grabbing camera( {cfg} ).  -  CCameraBasler::IStartCamera"})},
        // The stop line comes before the stop, both nodes are written before the start, and the
        // start line after it.
        OrderCase{"Restart", 2, 3, [](CCameraBasler& c) { c.IStartCamera(); },
                  joined(joined({"IsGrabbing",
                                 "log: Stop Grabbing camera( {cfg} ).  -  CCameraBasler::IStartCamera",
                                 "StopGrabbing"},
                                kRestartBody),
                         {"log: Start Grabbing camera( {cfg} ).  -  CCameraBasler::IStartCamera"})},
        OrderCase{
            "SnapSwitch", 1, 1, [](CCameraBasler& c) { c.ISnapCamera(0); },
            joined(joined({"IsGrabbing", "log: Stop Grabbing camera( {cfg} ).  -  CCameraBasler::ISnapCamera",
                           "StopGrabbing"},
                          kRestartBody),
                   {"log: Start Grabbing camera( {cfg} ).  -  CCameraBasler::ISnapCamera",
                    "ExecuteSoftwareTrigger"})},
        OrderCase{"Stop",
                  2,
                  2,
                  [](CCameraBasler& c) { c.IStopCamera(); },
                  {"IsGrabbing", "log: Stop Grabbing camera( {cfg} ).  -  CCameraBasler::IStopCamera",
                   "StopGrabbing"}},
        OrderCase{"Close",
                  2,
                  2,
                  [](CCameraBasler& c) { c.ICloseCamera(); },
                  {"log: CCameraBasler::ICloseCamera", "IsGrabbing",
                   "log: Stop Grabbing camera( {cfg} ).  -  CCameraBasler::IStopCamera", "StopGrabbing",
                   "IsOpen", "log: Close camera( {cfg} ).  -  CCameraBasler::ICloseCamera", "Close"}}),
    [](const ::testing::TestParamInfo<OrderCase>& info) { return std::string(info.param.name); });

// ITriggerCamera, which the camera inherits from the interface, reaches the camera's own snap
// through the table: in hardware-trigger mode it switches to software trigger like a snap.
TEST_F(PluginTest, InheritedTriggerReachesTheCamerasOwnSnap) {
  emu::EmulatedCamera device = addCamera();
  createOpen(device);
  ASSERT_EQ(camera->IStartCamera(), 1);  // request 1: hardware trigger
  log.clear();
  ICameraObject& host = *camera;
  EXPECT_EQ(host.ITriggerCamera(), 1);
  EXPECT_EQ(camera->m_activeGrabMode, GrabMode_SwitchedToSoftware);
  EXPECT_TRUE(camera->m_isGrabbing);
  const QString cfg = configText();
  EXPECT_EQ(log.linesWithoutFrames(),
            (std::vector<LogLine>{
                debugLine(QString("Stop Grabbing camera( %1 ).  -  CCameraBasler::ISnapCamera").arg(cfg)),
                debugLine(QString("Start Grabbing camera( %1 ).  -  CCameraBasler::ISnapCamera").arg(cfg))}));
  EXPECT_TRUE(sink.waitForFrames(1));
  EXPECT_EQ(host.ITriggerCamera(), 1);
  EXPECT_TRUE(sink.waitForFrames(2));
}

}  // namespace
