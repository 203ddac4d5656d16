// The instant camera's ownership of devices and handlers, the order of Open and its configuration
// handlers, attaching over a held device, and every misuse raising a GenICam exception.
#include <gtest/gtest.h>
#include <pylon/PylonIncludes.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "SdkTestSupport.h"

namespace {

using Pylon::CInstantCamera;

class Ownership : public SdkTest {};

TEST_F(Ownership, ReplaceAllDeletesTheReplacedOwnedHandlersAndAppendKeepsThem) {
  emu::AddCamera();
  int configDeletions = 0;
  int imageDeletions = 0;
  int notOwnedDeletions = 0;
  RecordingConfiguration notOwned("kept", nullptr, &notOwnedDeletions);
  {
    CInstantCamera camera(createDevice());
    camera.RegisterConfiguration(new RecordingConfiguration("a", nullptr, &configDeletions),
                                 Pylon::RegistrationMode_Append, Pylon::Cleanup_Delete);
    camera.RegisterConfiguration(new RecordingConfiguration("b", nullptr, &configDeletions),
                                 Pylon::RegistrationMode_Append, Pylon::Cleanup_Delete);
    camera.RegisterConfiguration(&notOwned, Pylon::RegistrationMode_Append, Pylon::Cleanup_None);
    camera.RegisterImageEventHandler(new CollectingHandler(&imageDeletions), Pylon::RegistrationMode_Append,
                                     Pylon::Cleanup_Delete);
    camera.RegisterImageEventHandler(new CollectingHandler(&imageDeletions), Pylon::RegistrationMode_Append,
                                     Pylon::Cleanup_Delete);
    EXPECT_EQ(configDeletions, 0);
    EXPECT_EQ(imageDeletions, 0);

    camera.RegisterConfiguration(new RecordingConfiguration("c", nullptr, &configDeletions),
                                 Pylon::RegistrationMode_ReplaceAll, Pylon::Cleanup_Delete);
    camera.RegisterImageEventHandler(new CollectingHandler(&imageDeletions),
                                     Pylon::RegistrationMode_ReplaceAll, Pylon::Cleanup_Delete);
    EXPECT_EQ(configDeletions, 2);  // a and b; the one not owned survives
    EXPECT_EQ(imageDeletions, 2);
    EXPECT_EQ(notOwnedDeletions, 0);

    // Registering the same owned handler again does not make it deleted twice.
    auto* twice = new CollectingHandler(&imageDeletions);
    camera.RegisterImageEventHandler(twice, Pylon::RegistrationMode_Append, Pylon::Cleanup_Delete);
    camera.RegisterImageEventHandler(twice, Pylon::RegistrationMode_Append, Pylon::Cleanup_Delete);
  }
  EXPECT_EQ(configDeletions, 3);
  EXPECT_EQ(imageDeletions, 4);
  EXPECT_EQ(notOwnedDeletions, 0);
}

TEST_F(Ownership, DeregisteringDeletesAnOwnedHandlerOnce) {
  emu::AddCamera();
  int deletions = 0;
  CInstantCamera camera(createDevice());
  auto* handler = new CollectingHandler(&deletions);
  camera.RegisterImageEventHandler(handler, Pylon::RegistrationMode_Append, Pylon::Cleanup_Delete);
  EXPECT_TRUE(camera.DeregisterImageEventHandler(handler));
  EXPECT_EQ(deletions, 1);
  EXPECT_FALSE(camera.DeregisterImageEventHandler(handler));
  EXPECT_EQ(deletions, 1);
}

TEST_F(Ownership, DestructorStopsClosesAndDestroysTheDeviceOnce) {
  emu::EmulatedCamera device = emu::AddCamera();
  std::vector<std::string> log;
  {
    CInstantCamera camera(createDevice());
    camera.RegisterConfiguration(new RecordingConfiguration("c", &log, nullptr),
                                 Pylon::RegistrationMode_Append, Pylon::Cleanup_Delete);
    camera.Open();
    camera.StartGrabbing(Pylon::GrabStrategy_OneByOne, Pylon::GrabLoop_ProvidedByInstantCamera);
    device.ClearJournal();
  }
  EXPECT_EQ(device.Journal(), std::vector<std::string>{"DestroyDevice"});
  EXPECT_EQ(log.back(), "c.OnClosed");
}

TEST_F(Ownership, FailedRegistrationOrAttachStillDeletesWhatWasHandedOver) {
  emu::EmulatedCamera device = emu::AddCamera();
  int deletions = 0;
  CInstantCamera camera(createDevice());
  device.FailNext("RegisterImageEventHandler");
  EXPECT_THROW(camera.RegisterImageEventHandler(new CollectingHandler(&deletions),
                                                Pylon::RegistrationMode_Append, Pylon::Cleanup_Delete),
               GenICam::RuntimeException);
  EXPECT_EQ(deletions, 1);

  device.ClearJournal();
  device.FailNext("Attach");
  EXPECT_THROW(camera.Attach(createDevice()), GenICam::RuntimeException);
  // The failed device is destroyed; the attached one stays.
  EXPECT_EQ(only(device.Journal(), {"Attach", "DestroyDevice"}),
            (std::vector<std::string>{"Attach", "DestroyDevice"}));
  EXPECT_TRUE(camera.IsPylonDeviceAttached());
}

TEST_F(Ownership, AttachOverAHeldDeviceStopsClosesAndDestroysTheOldOne) {
  emu::EmulatedCamera first = emu::AddCamera();
  emu::CameraDescription secondDescription;
  secondDescription.serialNumber = "EMU0002";
  emu::EmulatedCamera second = emu::AddCamera(secondDescription);
  std::vector<std::string> log;
  CInstantCamera camera(createDevice("EMU0001"));
  camera.RegisterConfiguration(new RecordingConfiguration("c", &log, nullptr), Pylon::RegistrationMode_Append,
                               Pylon::Cleanup_Delete);
  camera.Open();
  camera.StartGrabbing(Pylon::GrabStrategy_OneByOne, Pylon::GrabLoop_ProvidedByInstantCamera);
  first.ClearJournal();

  camera.Attach(createDevice("EMU0002"));
  EXPECT_EQ(only(first.Journal(), {"StopGrabbing", "Close", "DestroyDevice"}),
            std::vector<std::string>{"DestroyDevice"});
  EXPECT_EQ(only(second.Journal(), {"Attach"}), std::vector<std::string>{"Attach"});
  EXPECT_EQ(log.back(), "c.OnClosed");
  EXPECT_FALSE(camera.IsOpen());
  EXPECT_FALSE(camera.IsGrabbing());
  EXPECT_STREQ(camera.GetDeviceInfo().GetSerialNumber(), "EMU0002");
}

class OpenSequence : public SdkTest {};

TEST_F(OpenSequence, OpensTheDeviceThenNotifiesEveryHandlerInRegistrationOrder) {
  emu::EmulatedCamera device = emu::AddCamera();
  std::vector<std::string> log;
  CInstantCamera camera(createDevice());
  auto* first = new RecordingConfiguration("first", &log, nullptr);
  first->onOpened = [&](CInstantCamera& opened) {
    // The device is open when the notification runs, and the node map can be written.
    EXPECT_TRUE(opened.IsOpen());
    GenApi::CEnumerationPtr(opened.GetNodeMap().GetNode("AcquisitionMode"))->FromString("SingleFrame");
  };
  camera.RegisterConfiguration(first, Pylon::RegistrationMode_Append, Pylon::Cleanup_Delete);
  camera.RegisterConfiguration(new RecordingConfiguration("second", &log, nullptr),
                               Pylon::RegistrationMode_Append, Pylon::Cleanup_Delete);
  device.ClearJournal();
  camera.Open();
  EXPECT_EQ(log,
            (std::vector<std::string>{"first.OnOpen", "second.OnOpen", "first.OnOpened", "second.OnOpened"}));
  EXPECT_EQ(only(device.Journal(), {"Open", "AcquisitionMode=SingleFrame"}),
            (std::vector<std::string>{"Open", "AcquisitionMode=SingleFrame"}));
  EXPECT_TRUE(camera.IsOpen());
}

struct OpenedFailure {
  const char* name;
  std::function<void()> raise;
  bool isGeneric;
};
void PrintTo(const OpenedFailure& value, std::ostream* os) { *os << value.name; }

class OpenedFailures : public SdkTest, public ::testing::WithParamInterface<OpenedFailure> {};

TEST_P(OpenedFailures, AnExceptionFromOnOpenedLeavesOpenWithTheDeviceClosed) {
  emu::AddCamera();
  std::vector<std::string> log;
  CInstantCamera camera(createDevice());
  auto* failing = new RecordingConfiguration("failing", &log, nullptr);
  failing->onOpened = [&](CInstantCamera&) { GetParam().raise(); };
  camera.RegisterConfiguration(failing, Pylon::RegistrationMode_Append, Pylon::Cleanup_Delete);
  camera.RegisterConfiguration(new RecordingConfiguration("later", &log, nullptr),
                               Pylon::RegistrationMode_Append, Pylon::Cleanup_Delete);
  bool caughtGeneric = false;
  bool caughtOther = false;
  try {
    camera.Open();
  } catch (const GenICam::GenericException&) {
    caughtGeneric = true;
  } catch (...) {
    caughtOther = true;
  }
  EXPECT_EQ(caughtGeneric, GetParam().isGeneric);
  EXPECT_EQ(caughtOther, !GetParam().isGeneric);
  EXPECT_FALSE(camera.IsOpen());
  EXPECT_EQ(std::count(log.begin(), log.end(), "later.OnOpened"), 0);
  // The camera can be opened again once the cause is gone.
  failing->onOpened = nullptr;
  camera.Open();
  EXPECT_TRUE(camera.IsOpen());
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, OpenedFailures,
    ::testing::Values(OpenedFailure{"Runtime", [] { throw RUNTIME_EXCEPTION("config failed"); }, true},
                      OpenedFailure{"StdException", [] { throw std::runtime_error("std"); }, false},
                      OpenedFailure{"Other", [] { throw 17; }, false}),
    [](const ::testing::TestParamInfo<OpenedFailure>& info) { return std::string(info.param.name); });

struct MisuseCase {
  const char* name;
  bool attach;  // with a device (not opened) or without one
  std::function<void(CInstantCamera&)> call;
};
void PrintTo(const MisuseCase& value, std::ostream* os) { *os << value.name; }

class Misuse : public SdkTest, public ::testing::WithParamInterface<MisuseCase> {};

TEST_P(Misuse, RaisesAGenICamExceptionThatSaysWhatWasWrong) {
  emu::AddCamera();
  CInstantCamera camera;
  if (GetParam().attach) {
    camera.Attach(createDevice());
  }
  try {
    GetParam().call(camera);
    FAIL() << "no exception";
  } catch (const GenICam::GenericException& e) {
    const std::string description = e.GetDescription();
    EXPECT_TRUE(description.find(GetParam().attach ? "not open" : "no camera device") != std::string::npos ||
                description.find("null") != std::string::npos)
        << description;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Operations, Misuse,
    ::testing::Values(
        MisuseCase{"OpenWithoutDevice", false, [](CInstantCamera& c) { c.Open(); }},
        MisuseCase{"CloseWithoutDevice", false, [](CInstantCamera& c) { c.Close(); }},
        MisuseCase{"NodeMapWithoutDevice", false, [](CInstantCamera& c) { c.GetNodeMap(); }},
        MisuseCase{"InfoWithoutDevice", false, [](CInstantCamera& c) { c.GetDeviceInfo(); }},
        MisuseCase{"StartWithoutDevice", false, [](CInstantCamera& c) { c.StartGrabbing(); }},
        MisuseCase{"StopWithoutDevice", false, [](CInstantCamera& c) { c.StopGrabbing(); }},
        MisuseCase{"TriggerWithoutDevice", false, [](CInstantCamera& c) { c.ExecuteSoftwareTrigger(); }},
        MisuseCase{"AttachNull", false, [](CInstantCamera& c) { c.Attach(nullptr); }},
        MisuseCase{"RegisterNull", false,
                   [](CInstantCamera& c) {
                     c.RegisterImageEventHandler(nullptr, Pylon::RegistrationMode_Append,
                                                 Pylon::Cleanup_Delete);
                   }},
        MisuseCase{"NodeMapNotOpen", true, [](CInstantCamera& c) { c.GetNodeMap(); }},
        MisuseCase{"StartNotOpen", true, [](CInstantCamera& c) { c.StartGrabbing(); }},
        MisuseCase{"TriggerNotOpen", true, [](CInstantCamera& c) { c.ExecuteSoftwareTrigger(); }},
        MisuseCase{"CanWaitNotOpen", true, [](CInstantCamera& c) { c.CanWaitForFrameTriggerReady(); }},
        MisuseCase{"RetrieveNotOpen", true,
                   [](CInstantCamera& c) {
                     Pylon::CGrabResultPtr result;
                     c.RetrieveResult(10, result);
                   }}),
    [](const ::testing::TestParamInfo<MisuseCase>& info) { return std::string(info.param.name); });

TEST_F(Misuse, QueriesOnACameraWithoutDeviceAnswerFalse) {
  CInstantCamera camera;
  EXPECT_FALSE(camera.IsPylonDeviceAttached());
  EXPECT_FALSE(camera.IsOpen());
  EXPECT_FALSE(camera.IsGrabbing());
  EXPECT_FALSE(camera.IsCameraDeviceRemoved());
  EXPECT_EQ(camera.DetachDevice(), nullptr);
  EXPECT_THROW(Pylon::CGrabResultPtr()->GrabSucceeded(), GenICam::LogicalErrorException);
}

}  // namespace
