// Listing cameras as keys and opening the camera a key names: key parsing, the warnings, the SDK
// calls in order, and what a failure leaves behind.
#include <gtest/gtest.h>

#include <new>
#include <ostream>

#include "PluginTestSupport.h"

namespace {

const LogLine kOpenSuccess = debugLine("CCameraBasler::IOpenCamera success***************************  \n");
const LogLine kInvalidKey = warningLine(
    "Camera key in config file invalid. The format should be (name serialnum).  -  "
    "CCameraBasler::IOpenCamera");
const LogLine kNoCamera = warningLine("No camera present  -  CCameraBasler::IOpenCamera");

emu::CameraDescription described(const std::string& serial) {
  emu::CameraDescription description;
  description.serialNumber = serial;
  return description;
}

TEST_F(PluginTest, ListsEveryCameraAsBaslerKeyInDeviceOrder) {
  CCameraBasler& object = create();
  EXPECT_TRUE(object.IEnumCameras().isEmpty());
  addCamera(described("EMU0002"));
  addCamera(described("EMU0001"));
  addCamera(described("EMU0001"));
  EXPECT_EQ(object.IEnumCameras(), (QStringList{"basler EMU0002", "basler EMU0001", "basler EMU0001"}));
  EXPECT_TRUE(log.lines().empty());
}

TEST_F(PluginTest, ListingLetsSdkFailuresOut) {
  emu::EmulatedCamera device = addCamera();
  CCameraBasler& object = create();
  emu::FailNextGlobal("EnumerateDevices", emu::Fault{"RuntimeException", "bus error"});
  EXPECT_THROW(object.IEnumCameras(), GenICam::RuntimeException);
  device.FailNext("GetSerialNumber", emu::Fault{"AccessException", "unreadable"});
  EXPECT_THROW(object.IEnumCameras(), GenICam::AccessException);
  EXPECT_TRUE(log.lines().empty());
}

TEST_F(PluginTest, EveryListedKeyOpensThatSameCamera) {
  emu::EmulatedCamera first = addCamera(described("EMU0001"));
  emu::EmulatedCamera second = addCamera(described("EMU0002"));
  CCameraBasler& object = create();
  for (const QString& key : object.IEnumCameras()) {
    first.ClearJournal();
    second.ClearJournal();
    config.cameraKey = key;
    ASSERT_EQ(object.IOpenCamera(), 1) << key.toStdString();
    emu::EmulatedCamera& opened = key.endsWith("1") ? first : second;
    emu::EmulatedCamera& other = key.endsWith("1") ? second : first;
    EXPECT_FALSE(operations(opened.Journal(), {"Open"}).empty());
    EXPECT_TRUE(operations(other.Journal(), {"Open"}).empty());
  }
}

TEST_F(PluginTest, SuccessfulOpenRegistersConfiguresOpensAndCopiesTheFormat) {
  emu::EmulatedCamera device = addCamera();
  config.imageFormat = 2;
  CCameraBasler& object = create();
  ASSERT_EQ(object.IOpenCamera(), 1);
  EXPECT_TRUE(object.m_isOpened);
  EXPECT_EQ(object.m_imageFormat, 2);
  EXPECT_FALSE(object.m_isGrabbing);
  EXPECT_EQ(object.m_activeGrabMode, 0);
  EXPECT_EQ(log.lines(), std::vector<LogLine>{kOpenSuccess});
  const std::vector<std::string> journal = device.Journal();
  EXPECT_EQ(operations(journal, {"GetSerialNumber", "CreateDevice", "Attach", "RegisterConfiguration",
                                 "RegisterImageEventHandler", "Open"}),
            (std::vector<std::string>{"GetSerialNumber", "CreateDevice", "Attach", "RegisterConfiguration",
                                      "RegisterImageEventHandler", "Open"}));
  // The configuration ran inside the open.
  EXPECT_EQ(device.NodeValue("TriggerMode", "FrameStart"), "On");
  EXPECT_EQ(device.NodeValue("TriggerSource", "FrameStart"), "Software");
  EXPECT_EQ(device.NodeValue("AcquisitionMode"), "Continuous");
  // The format is read at the open, not kept from construction.
  config.imageFormat = 4;
  EXPECT_EQ(object.m_imageFormat, 2);
}

struct KeyCase {
  const char* name;
  const char* key;
  int result;
  std::vector<LogLine> lines;
  const char* openedSerial;  // null: nothing opened
};

class KeyParsing : public PluginTest, public ::testing::WithParamInterface<KeyCase> {};

TEST_P(KeyParsing, OnlyTheSecondPartDecides) {
  emu::EmulatedCamera upper = addCamera(described("EMU0001"));
  emu::EmulatedCamera lower = addCamera(described("emu0001"));
  emu::EmulatedCamera empty = addCamera(described("X"));
  config.cameraKey = QString::fromUtf8(GetParam().key);
  CCameraBasler& object = create();
  EXPECT_EQ(object.IOpenCamera(), GetParam().result);
  EXPECT_EQ(log.lines(), GetParam().lines);
  EXPECT_EQ(object.m_isOpened, GetParam().result == 1);
  for (emu::EmulatedCamera* device : {&upper, &lower, &empty}) {
    const bool opened = !operations(device->Journal(), {"Open"}).empty();
    const bool expected =
        GetParam().openedSerial != nullptr && device->SerialNumber() == GetParam().openedSerial;
    EXPECT_EQ(opened, expected) << device->SerialNumber();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Keys, KeyParsing,
    ::testing::Values(KeyCase{"Empty", "", 0, {kInvalidKey}, nullptr},
                      KeyCase{"NoBlank", "baslerEMU0001", 0, {kInvalidKey}, nullptr},
                      KeyCase{"Plain", "basler EMU0001", 1, {kOpenSuccess}, "EMU0001"},
                      KeyCase{"LeadingBlank", " EMU0001", 1, {kOpenSuccess}, "EMU0001"},
                      KeyCase{"TwoBlanksGiveAnEmptySerial", "basler  EMU0001", 0, {}, nullptr},
                      KeyCase{"ThirdPartIgnored", "basler EMU0001 extra", 1, {kOpenSuccess}, "EMU0001"},
                      KeyCase{"OtherNameStillOpens", "vimba emu0001", 1, {kOpenSuccess}, "emu0001"},
                      KeyCase{"LetterCaseMatters", "basler Emu0001", 0, {}, nullptr},
                      KeyCase{"TrailingBlankKeepsSerial", "basler X ", 1, {kOpenSuccess}, "X"},
                      KeyCase{"NoMatchIsSilent", "basler 4711", 0, {}, nullptr}),
    [](const ::testing::TestParamInfo<KeyCase>& info) { return std::string(info.param.name); });

TEST_F(PluginTest, NoCameraPresentWarnsEvenWithADeviceFromAnEarlierOpen) {
  emu::EmulatedCamera device = addCamera();
  createOpen(device);
  camera->ICloseCamera();
  log.clear();
  emu::RemoveAllCameras();
  EXPECT_EQ(camera->IOpenCamera(), 0);
  EXPECT_EQ(log.lines(), std::vector<LogLine>{kNoCamera});
  EXPECT_TRUE(camera->IEnumCameras().isEmpty());
}

TEST_F(PluginTest, FirstOfTwoDevicesWithTheSameSerialIsAttached) {
  emu::EmulatedCamera first = addCamera();
  emu::EmulatedCamera second = addCamera();
  create();
  ASSERT_EQ(camera->IOpenCamera(), 1);
  EXPECT_FALSE(operations(first.Journal(), {"Open"}).empty());
  EXPECT_TRUE(second.Journal().empty());
}

TEST_F(PluginTest, AfterCloseAKeyMatchingNothingNeverOpensThePreviousCamera) {
  emu::EmulatedCamera device = addCamera();
  createOpen(device);
  camera->ICloseCamera();
  device.ClearJournal();
  log.clear();
  config.cameraKey = "basler NOSUCH";
  EXPECT_EQ(camera->IOpenCamera(), 0);
  EXPECT_FALSE(camera->m_isOpened);
  EXPECT_TRUE(operations(device.Journal(), {"Open", "Attach", "CreateDevice"}).empty());
  EXPECT_TRUE(log.lines().empty());
}

TEST_F(PluginTest, FailingOpenLogsAndLeavesFlagsAndFormat) {
  emu::EmulatedCamera device = addCamera();
  config.imageFormat = 3;
  create();
  device.FailNext("Open", emu::Fault{"RuntimeException", "cannot open"});
  EXPECT_EQ(camera->IOpenCamera(), 0);
  EXPECT_FALSE(camera->m_isOpened);
  EXPECT_EQ(camera->m_imageFormat, 0);
  EXPECT_EQ(log.lines(), std::vector<LogLine>{criticalLine(
                             "An exception occurred :  cannot open  -  CCameraBasler::IOpenCamera")});
}

TEST_F(PluginTest, ConfigurationFailureReachesTheOpenAsItsWrappedText) {
  emu::CameraDescription description;
  description.nodes = {};  // no trigger nodes at all
  addCamera(description);
  create();
  EXPECT_EQ(camera->IOpenCamera(), 0);
  const std::string inner = GenICam::LogicalErrorException("NULL pointer dereferenced", "genapi/pointer", 105,
                                                           "LogicalErrorException")
                                .what();
  const std::string wrapped =
      ("Could not apply configuration. Pylon::GenericException caught in OnOpened method msg=" + inner)
          .substr(0, 255);
  EXPECT_EQ(
      log.lines(),
      std::vector<LogLine>{criticalLine(QString("An exception occurred :  %1  -  CCameraBasler::IOpenCamera")
                                            .arg(QString::fromStdString(wrapped)))});
  EXPECT_FALSE(camera->m_isOpened);
}

struct OpenFaultCase {
  const char* operation;
};

class OpenFaults : public PluginTest, public ::testing::WithParamInterface<OpenFaultCase> {};

TEST_P(OpenFaults, EverySdkFailureOfTheOpenEndsInTheCriticalLine) {
  emu::EmulatedCamera device = addCamera();
  create();
  device.FailNext(GetParam().operation, emu::Fault{"RuntimeException", "injected"});
  EXPECT_EQ(camera->IOpenCamera(), 0);
  EXPECT_FALSE(camera->m_isOpened);
  EXPECT_EQ(
      log.lines(),
      std::vector<LogLine>{criticalLine("An exception occurred :  injected  -  CCameraBasler::IOpenCamera")});
  // The object stays usable: the next open works.
  log.clear();
  EXPECT_EQ(camera->IOpenCamera(), 1);
}

INSTANTIATE_TEST_SUITE_P(Operations, OpenFaults,
                         ::testing::Values(OpenFaultCase{"GetSerialNumber"}, OpenFaultCase{"CreateDevice"},
                                           OpenFaultCase{"Attach"}, OpenFaultCase{"IsPylonDeviceAttached"},
                                           OpenFaultCase{"RegisterConfiguration"},
                                           OpenFaultCase{"RegisterImageEventHandler"}, OpenFaultCase{"Open"}),
                         [](const ::testing::TestParamInfo<OpenFaultCase>& info) {
                           return std::string(info.param.operation);
                         });

}  // namespace

namespace {

struct ReopenFaultCase {
  const char* name;
  const char* site;
  bool wrapped;  // raised inside the software-trigger configuration, which wraps it
};
void PrintTo(const ReopenFaultCase& value, std::ostream* os) { *os << value.name; }

class FailedReopen : public PluginTest, public ::testing::WithParamInterface<ReopenFaultCase> {};

// Re-opening replaces the attached device: the old one is stopped, closed and destroyed with it. A
// failure after that leaves a camera that is not open, so a start is refused silently and the next
// open works; the format stays what the last successful open copied.
TEST_P(FailedReopen, AfterTheDeviceWasReplacedLeavesTheCameraClosed) {
  emu::EmulatedCamera device = addCamera();
  createOpen(device);
  camera->m_requestedGrabMode = GrabMode_SoftwareTrigger;
  ASSERT_EQ(camera->IStartCamera(), 1);
  log.clear();
  config.imageFormat = 3;
  device.FailNext(GetParam().site, emu::Fault{"RuntimeException", "replaced device refused"});

  EXPECT_EQ(camera->IOpenCamera(), 0);
  const std::string inner = GenICam::RuntimeException("replaced device refused", "zazod/emulation", 0).what();
  const QString description =
      GetParam().wrapped
          ? QString::fromStdString(
                ("Could not apply configuration. Pylon::GenericException caught in OnOpened method msg=" +
                 inner)
                    .substr(0, 255))
          : QString("replaced device refused");
  EXPECT_EQ(
      log.lines(),
      (std::vector<LogLine>{
          debugLine(QString("Stop Grabbing camera( %1 ).  -  CCameraBasler::IStopCamera").arg(configText())),
          criticalLine(
              QString("An exception occurred :  %1  -  CCameraBasler::IOpenCamera").arg(description))}));
  EXPECT_FALSE(camera->m_isOpened);
  EXPECT_FALSE(camera->m_isGrabbing);
  EXPECT_EQ(camera->m_activeGrabMode, 0);
  EXPECT_EQ(camera->m_imageFormat, 1);

  log.clear();
  device.ClearJournal();
  EXPECT_EQ(camera->IStartCamera(), 0);
  EXPECT_TRUE(log.lines().empty());
  EXPECT_TRUE(device.Journal().empty());

  ASSERT_EQ(camera->IOpenCamera(), 1);
  EXPECT_TRUE(camera->m_isOpened);
  EXPECT_EQ(camera->m_imageFormat, 3);
  EXPECT_EQ(camera->IStartCamera(), 1);
  EXPECT_EQ(camera->ISnapCamera(0), 1);
  EXPECT_TRUE(sink.waitForFrames(1));
}

INSTANTIATE_TEST_SUITE_P(
    Sites, FailedReopen,
    ::testing::Values(ReopenFaultCase{"Open", "Open", false},
                      ReopenFaultCase{"RegisterConfiguration", "RegisterConfiguration", false},
                      ReopenFaultCase{"RegisterImageEventHandler", "RegisterImageEventHandler", false},
                      ReopenFaultCase{"Configuration", "FromString:TriggerMode", true}),
    [](const ::testing::TestParamInfo<ReopenFaultCase>& info) { return std::string(info.param.name); });

// A std::bad_alloc after the replacement reaches the caller unchanged, and the flag still says that
// the new device is not open.
TEST_F(PluginTest, ReopenEndedByAForeignExceptionLeavesTheCameraClosed) {
  emu::EmulatedCamera device = addCamera();
  createOpen(device);
  device.FailNext("Open", emu::Fault{"bad_alloc", ""});
  EXPECT_THROW(camera->IOpenCamera(), std::bad_alloc);
  EXPECT_FALSE(camera->m_isOpened);
  EXPECT_TRUE(log.lines().empty());
  EXPECT_EQ(camera->IOpenCamera(), 1);
}

}  // namespace
