// Creation and deletion of camera objects: SDK initialisation by the live-object count, failures of
// the initialisation, and the close a deletion performs.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

#include "PluginTestSupport.h"

namespace {

long initializeCalls() {
  const std::vector<std::string> journal = emu::GlobalJournal();
  return std::count(journal.begin(), journal.end(), std::string("PylonInitialize"));
}

TEST_F(PluginTest, SdkIsInitialisedWhenTheCountIsZeroAndNeverTerminated) {
  ASSERT_EQ(CCameraBasler::s_pylonUsers, 0);
  emu::ClearGlobalJournal();
  auto first = std::make_unique<CCameraBasler>(&config, &sink);
  auto second = std::make_unique<CCameraBasler>(&config, &sink);
  EXPECT_EQ(initializeCalls(), 1);
  EXPECT_EQ(CCameraBasler::s_pylonUsers, 2);
  first.reset();
  second.reset();
  EXPECT_EQ(CCameraBasler::s_pylonUsers, 0);
  const std::vector<std::string> journal = emu::GlobalJournal();
  EXPECT_EQ(std::count(journal.begin(), journal.end(), std::string("PylonTerminate")), 0);
  auto third = std::make_unique<CCameraBasler>(&config, &sink);
  EXPECT_EQ(initializeCalls(), 2);
  EXPECT_EQ(CCameraBasler::s_pylonUsers, 1);
}

TEST_F(PluginTest, FailingInitialisationLeavesNoObjectAndTheCountAtZero) {
  emu::FailNextGlobal("PylonInitialize", emu::Fault{"RuntimeException", "no transport"});
  try {
    create();
    FAIL() << "the initialisation failure must reach the caller";
  } catch (const GenICam::RuntimeException& e) {
    EXPECT_STREQ(e.GetDescription(), "no transport");
  }
  EXPECT_EQ(camera, nullptr);
  EXPECT_EQ(CCameraBasler::s_pylonUsers, 0);
  // The next creation tries again.
  create();
  EXPECT_EQ(CCameraBasler::s_pylonUsers, 1);
}

TEST_F(PluginTest, DeletingANeverOpenedObjectOnlyLogsTheCloseTag) {
  emu::EmulatedCamera device = addCamera();
  create();
  camera.reset();
  EXPECT_EQ(log.lines(), std::vector<LogLine>{debugLine("CCameraBasler::ICloseCamera")});
  EXPECT_TRUE(device.Journal().empty());
}

TEST_F(PluginTest, DeletingAGrabbingObjectStopsThenClosesThenDestroysTheDevice) {
  emu::EmulatedCamera device = addCamera();
  createOpen(device);
  camera->m_requestedGrabMode = GrabMode_SoftwareTrigger;
  ASSERT_EQ(camera->IStartCamera(), 1);
  log.clear();
  device.ClearJournal();
  camera.reset();
  const QString address = configText();
  EXPECT_EQ(log.lines(),
            (std::vector<LogLine>{
                debugLine("CCameraBasler::ICloseCamera"),
                debugLine(QString("Stop Grabbing camera( %1 ).  -  CCameraBasler::IStopCamera").arg(address)),
                debugLine(QString("Close camera( %1 ).  -  CCameraBasler::ICloseCamera").arg(address)),
            }));
  const std::vector<std::string> ops =
      operations(device.Journal(), {"StopGrabbing", "Close", "DestroyDevice"});
  ASSERT_GE(ops.size(), 2U);
  EXPECT_EQ(ops[0], "StopGrabbing");
  EXPECT_EQ(ops[1], "Close");
  // The SDK camera, destroyed last, destroys the device it owns: after the close, once.
  EXPECT_EQ(ops, (std::vector<std::string>{"StopGrabbing", "Close", "DestroyDevice"}));
}

// No line carries the file, line or function of the code that wrote it, whatever its level and
// whichever thread writes it.
TEST_F(PluginTest, NoLineCarriesFileLineOrFunction) {
  emu::EmulatedCamera device = addCamera();
  create();
  config.cameraKey = "basler";
  EXPECT_EQ(camera->IOpenCamera(), 0);  // warning
  config.cameraKey = "basler EMU0001";
  ASSERT_EQ(camera->IOpenCamera(), 1);  // debug
  device.FailNext("StartGrabbing", emu::Fault{"RuntimeException", "no buffers"});
  camera->m_requestedGrabMode = GrabMode_SoftwareTrigger;
  EXPECT_EQ(camera->IStartCamera(), 0);  // critical
  ASSERT_EQ(camera->IStartCamera(), 1);
  const size_t before = log.lines().size();
  ASSERT_EQ(camera->ISnapCamera(0), 1);
  ASSERT_TRUE(log.waitForLines(before + 1, std::chrono::seconds(5)));  // the frame line
  camera.reset();
  for (QtMsgType type : {QtDebugMsg, QtWarningMsg, QtCriticalMsg}) {
    EXPECT_FALSE(log.lines(type).empty()) << type;
  }
  EXPECT_EQ(log.linesWithContext(), 0U);
}

}  // namespace
