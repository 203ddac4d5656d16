// The environment settings of the SDK layer, in a program whose main sets
// ZAZOD_SDK_EMULATED_CAMERAS=2, ZAZOD_SDK_EMULATED_LINE1_HZ=200 and
// ZAZOD_SDK_TRANSPORTS="nosuch, emulation" (an unknown transport is ignored) before the SDK is used.
#include <gtest/gtest.h>
#include <pylon/PylonIncludes.h>
#include <zazod/emulation/Emulation.h>

#include <cstdlib>

#include "SdkTestSupport.h"

namespace {

TEST(Environment, EmulatedCamerasArePresentForAnyProgram) {
  Pylon::DeviceInfoList_t devices;
  ASSERT_EQ(Pylon::CTlFactory::GetInstance().EnumerateDevices(devices), 2);
  EXPECT_STREQ(devices[0].GetSerialNumber(), "EMU0001");
  EXPECT_STREQ(devices[1].GetSerialNumber(), "EMU0002");
  EXPECT_STREQ(devices[1].GetModelName(), "Emulated");
  EXPECT_STREQ(devices[1].GetVendorName(), "Basler");
}

TEST(Environment, Line1IsPulsedWhileGrabbing) {
  Pylon::DeviceInfoList_t devices;
  Pylon::CTlFactory::GetInstance().EnumerateDevices(devices);
  ASSERT_FALSE(devices.empty());
  Pylon::CInstantCamera camera(Pylon::CTlFactory::GetInstance().CreateDevice(devices[0]));
  auto* handler = new CollectingHandler();
  camera.RegisterImageEventHandler(handler, Pylon::RegistrationMode_Append, Pylon::Cleanup_Delete);
  camera.Open();
  GenApi::CEnumerationPtr(camera.GetNodeMap().GetNode("TriggerMode"))->FromString("On");
  GenApi::CEnumerationPtr(camera.GetNodeMap().GetNode("TriggerSource"))->FromString("Line1");
  camera.StartGrabbing(Pylon::GrabStrategy_OneByOne, Pylon::GrabLoop_ProvidedByInstantCamera);
  ASSERT_TRUE(handler->waitForResults(3));
  const std::vector<SeenResult> results = handler->results();
  EXPECT_TRUE(results[0].succeeded);
  EXPECT_EQ(emu::Cameras().front().Journal().size(), 0U);  // journaling is off for these cameras
}

}  // namespace

int main(int argc, char** argv) {
  setenv("ZAZOD_SDK_EMULATED_CAMERAS", "2", 1);
  setenv("ZAZOD_SDK_EMULATED_LINE1_HZ", "200", 1);
  setenv("ZAZOD_SDK_TRANSPORTS", "nosuch, emulation", 1);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
