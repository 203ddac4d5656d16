// The emulated cameras: node maps and verified writes, trigger semantics, the call journal, fault
// injection into every kind of operation, frame pool exhaustion and the process-wide operations.
#include <gtest/gtest.h>
#include <pylon/PylonIncludes.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <new>
#include <ostream>
#include <string>
#include <vector>

#include "SdkTestSupport.h"

namespace {

using Pylon::CInstantCamera;

class Emulation : public SdkTest {
 protected:
  void openCamera(const emu::CameraDescription& description = emu::CameraDescription(),
                  bool withHandler = true) {
    device = std::make_unique<emu::EmulatedCamera>(emu::AddCamera(description));
    camera = std::make_unique<CInstantCamera>(createDevice(description.serialNumber));
    if (withHandler) {
      handler = new CollectingHandler();
      camera->RegisterImageEventHandler(handler, Pylon::RegistrationMode_Append, Pylon::Cleanup_Delete);
    }
    camera->Open();
  }
  void TearDown() override {
    camera.reset();
    SdkTest::TearDown();
  }
  GenApi::CEnumerationPtr enumeration(const char* name) { return camera->GetNodeMap().GetNode(name); }
  void start() {
    camera->StartGrabbing(Pylon::GrabStrategy_OneByOne, Pylon::GrabLoop_ProvidedByInstantCamera);
  }

  std::unique_ptr<emu::EmulatedCamera> device;
  std::unique_ptr<CInstantCamera> camera;
  CollectingHandler* handler = nullptr;
};

TEST_F(Emulation, DefaultNodeMapHoldsPerTriggerValuesAndAcceptsOnlyAvailableEntries) {
  openCamera();
  GenApi::CEnumerationPtr selector = enumeration("TriggerSelector");
  GenApi::CEnumerationPtr mode = enumeration("TriggerMode");
  GenApi::NodeList_t entries;
  selector->GetEntries(entries);
  ASSERT_EQ(entries.size(), 2U);
  EXPECT_EQ(GenApi::CEnumEntryPtr(entries[1])->GetSymbolic(), "AcquisitionStart");

  device->ClearJournal();
  selector->FromString("AcquisitionStart");
  mode->FromString("On");
  selector->FromString("FrameStart");
  EXPECT_EQ(mode->ToString(), "Off");
  EXPECT_EQ(device->NodeValue("TriggerMode", "AcquisitionStart"), "On");
  EXPECT_EQ(device->Journal(), (std::vector<std::string>{"TriggerSelector=AcquisitionStart", "TriggerMode=On",
                                                         "TriggerSelector=FrameStart"}));
  EXPECT_EQ(GenApi::CIntegerPtr(camera->GetNodeMap().GetNode("Width"))->GetValue(), 640);
}

TEST_F(Emulation, ASelectorDescribedAsPerTriggerHoldsOneValue) {
  emu::CameraDescription description;
  for (emu::NodeDescription& node : description.nodes) {
    if (node.name == "TriggerSelector") {
      node.perTriggerSelector = true;
    }
  }
  openCamera(description);
  enumeration("TriggerSelector")->FromString("AcquisitionStart");
  EXPECT_EQ(enumeration("TriggerSelector")->ToString(), "AcquisitionStart");
  EXPECT_EQ(device->NodeValue("TriggerSelector"), "AcquisitionStart");
}

struct RefusedWrite {
  const char* name;
  std::function<void(emu::NodeMapDescription&)> describe;
  const char* node;
  const char* value;
  bool invalidArgument;  // otherwise an AccessException
};
void PrintTo(const RefusedWrite& value, std::ostream* os) { *os << value.name; }

class RefusedWrites : public Emulation, public ::testing::WithParamInterface<RefusedWrite> {};

TEST_P(RefusedWrites, RaiseWithAClearDescriptionAndAreNotJournaled) {
  emu::CameraDescription description;
  GetParam().describe(description.nodes);
  openCamera(description);
  device->ClearJournal();
  GenApi::CEnumerationPtr node = camera->GetNodeMap().GetNode(GetParam().node);
  const std::string before = node->ToString().str();
  try {
    node->FromString(GetParam().value, true);
    FAIL() << "the write must be refused";
  } catch (const GenICam::InvalidArgumentException& e) {
    EXPECT_TRUE(GetParam().invalidArgument) << e.GetDescription();
    EXPECT_NE(std::string(e.GetDescription()).find(GetParam().value), std::string::npos);
  } catch (const GenICam::AccessException& e) {
    EXPECT_FALSE(GetParam().invalidArgument) << e.GetDescription();
    EXPECT_NE(std::string(e.GetDescription()).find(GetParam().node), std::string::npos);
  }
  EXPECT_EQ(node->ToString().str(), before);
  EXPECT_EQ(device->Journal(), std::vector<std::string>{"GetNodeMap"});
}

emu::NodeDescription* find(emu::NodeMapDescription& nodes, const std::string& name) {
  for (emu::NodeDescription& node : nodes) {
    if (node.name == name) {
      return &node;
    }
  }
  return nullptr;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RefusedWrites,
    ::testing::Values(
        RefusedWrite{"UnknownEntry", [](emu::NodeMapDescription&) {}, "TriggerMode", "Sometimes", true},
        RefusedWrite{
            "UnavailableEntry",
            [](emu::NodeMapDescription& n) { find(n, "TriggerSelector")->entries[1].access = GenApi::NA; },
            "TriggerSelector", "AcquisitionStart", false},
        RefusedWrite{
            "NotImplementedEntry",
            [](emu::NodeMapDescription& n) { find(n, "TriggerSource")->entries[1].access = GenApi::NI; },
            "TriggerSource", "Software", false},
        RefusedWrite{
            "RefusedValue",
            [](emu::NodeMapDescription& n) { find(n, "AcquisitionMode")->refusedValues = {"MultiFrame"}; },
            "AcquisitionMode", "MultiFrame", false},
        RefusedWrite{"ReadOnlyNode",
                     [](emu::NodeMapDescription& n) { find(n, "AcquisitionMode")->access = GenApi::RO; },
                     "AcquisitionMode", "SingleFrame", false}),
    [](const ::testing::TestParamInfo<RefusedWrite>& info) { return std::string(info.param.name); });

TEST_F(Emulation, RemovedAndMissingNodesAreNotFound) {
  emu::CameraDescription description;
  description.nodes.erase(description.nodes.begin() + 3);  // no AcquisitionMode
  openCamera(description);
  EXPECT_EQ(camera->GetNodeMap().GetNode("AcquisitionMode"), nullptr);
  GenApi::CEnumerationPtr source = enumeration("TriggerSource");
  device->RemoveNode("TriggerSource");
  EXPECT_EQ(camera->GetNodeMap().GetNode("TriggerSource"), nullptr);
  EXPECT_NO_THROW(source->ToString());  // a pointer taken before stays usable
}

struct TriggerCase {
  const char* name;
  std::function<void(emu::NodeMapDescription&)> describe;
  const char* trigger;  // the trigger whose mode and source are set
  const char* mode;
  const char* source;
  bool softwareFrame;
  bool lineFrame;
};
void PrintTo(const TriggerCase& value, std::ostream* os) { *os << value.name; }

class Triggers : public Emulation, public ::testing::WithParamInterface<TriggerCase> {};

TEST_P(Triggers, FramesComeOnlyFromTheSourceOfTheChosenTrigger) {
  emu::CameraDescription description;
  description.freeRunHz = 0;  // a mode "Off" produces nothing in this table
  GetParam().describe(description.nodes);
  openCamera(description);
  device->SetNodeValue("TriggerMode", GetParam().mode, GetParam().trigger);
  device->SetNodeValue("TriggerSource", GetParam().source, GetParam().trigger);
  start();
  camera->ExecuteSoftwareTrigger();
  EXPECT_EQ(device->FramesProduced(), GetParam().softwareFrame ? 1U : 0U);
  device->PulseLine1();
  EXPECT_EQ(device->FramesProduced(),
            (GetParam().softwareFrame ? 1U : 0U) + (GetParam().lineFrame ? 1U : 0U));
}

const auto kDefault = [](emu::NodeMapDescription&) {};
const auto kNoFrameStart = [](emu::NodeMapDescription& n) {
  find(n, "TriggerSelector")->entries.erase(find(n, "TriggerSelector")->entries.begin());
  find(n, "TriggerSelector")->value = "AcquisitionStart";
};

INSTANTIATE_TEST_SUITE_P(
    Table, Triggers,
    ::testing::Values(
        TriggerCase{"FrameStartSoftware", kDefault, "FrameStart", "On", "Software", true, false},
        TriggerCase{"FrameStartLine1", kDefault, "FrameStart", "On", "Line1", false, true},
        TriggerCase{"FrameStartOff", kDefault, "FrameStart", "Off", "Software", false, false},
        TriggerCase{"OnlyAcquisitionStartSet", kDefault, "AcquisitionStart", "On", "Software", false, false},
        TriggerCase{"AcquisitionStartWithoutFrameStart", kNoFrameStart, "AcquisitionStart", "On", "Software",
                    true, false}),
    [](const ::testing::TestParamInfo<TriggerCase>& info) { return std::string(info.param.name); });

TEST_F(Emulation, TheTriggerSoftwareCommandFiresLikeTheCameraOperation) {
  openCamera();
  useSoftwareTrigger(*device);
  start();
  device->ClearJournal();
  GenApi::CCommandPtr(camera->GetNodeMap().GetNode("TriggerSoftware"))->Execute();
  ASSERT_TRUE(handler->waitForResults(1));
  EXPECT_EQ(device->Journal(), (std::vector<std::string>{"GetNodeMap", "Execute:TriggerSoftware"}));
}

TEST_F(Emulation, FreeRunDeliversFramesUntilStopped) {
  emu::CameraDescription description;
  description.freeRunHz = 500;
  openCamera(description);  // TriggerMode "Off" by default
  start();
  ASSERT_TRUE(handler->waitForResults(3));
  camera->StopGrabbing();
  const uint64_t produced = device->FramesProduced();
  EXPECT_GE(produced, 3U);
  camera->Close();
  EXPECT_EQ(device->FramesProduced(), produced);  // the producer thread was joined
}

// A camera whose frames would need more than the pool's bounds is refused at the start, before
// its buffers are allocated (16 of 2 GiB here); the camera stays open and usable.
TEST_F(Emulation, AStartWhoseBuffersWouldBeTooLargeIsRefusedBeforeAllocating) {
  emu::CameraDescription description;
  description.width = 65536;
  description.height = 32768;
  openCamera(description);
  try {
    start();
    ADD_FAILURE() << "started";
  } catch (const GenICam::RuntimeException& e) {
    EXPECT_STREQ(e.GetDescription(),
                 "StartGrabbing: the camera reports a payload size of 2147483648 bytes, more than the "
                 "1073741824 bytes this SDK allocates for one buffer.");
  }
  EXPECT_FALSE(camera->IsGrabbing());
  EXPECT_TRUE(camera->IsOpen());
}

TEST_F(Emulation, ATriggerWithoutAFreeBufferIsDroppedAndCounted) {
  emu::CameraDescription description;
  description.bufferCount = 2;
  openCamera(description);
  useSoftwareTrigger(*device);
  camera->StartGrabbing(Pylon::GrabStrategy_OneByOne, Pylon::GrabLoop_ProvidedByUser);
  for (int i = 0; i < 3; ++i) {
    camera->ExecuteSoftwareTrigger();
  }
  EXPECT_EQ(device->FramesProduced(), 2U);
  EXPECT_EQ(device->FramesDropped(), 1U);
  EXPECT_FALSE(camera->WaitForFrameTriggerReady(1, Pylon::TimeoutHandling_Return));
  Pylon::CGrabResultPtr result;
  ASSERT_TRUE(camera->RetrieveResult(100, result));
  result.Release();  // back to the pool
  EXPECT_TRUE(camera->WaitForFrameTriggerReady(100));
  device->SetCanWaitForFrameTriggerReady(false);
  EXPECT_FALSE(camera->CanWaitForFrameTriggerReady());
  EXPECT_THROW(camera->WaitForFrameTriggerReady(1), GenICam::RuntimeException);
}

TEST_F(Emulation, JournalRecordsEveryOperationThatReachesTheDeviceInOrder) {
  emu::AddCamera();
  device = std::make_unique<emu::EmulatedCamera>(emu::Cameras().front());
  useSoftwareTrigger(*device);
  {
    CInstantCamera cam;
    cam.Attach(createDevice());
    cam.RegisterConfiguration(new Pylon::CConfigurationEventHandler, Pylon::RegistrationMode_ReplaceAll,
                              Pylon::Cleanup_Delete);
    cam.RegisterImageEventHandler(new Pylon::CImageEventHandler, Pylon::RegistrationMode_Append,
                                  Pylon::Cleanup_Delete);
    cam.Open();
    GenApi::CEnumerationPtr(cam.GetNodeMap().GetNode("AcquisitionMode"))->FromString("Continuous");
    cam.IsGrabbing();
    cam.CanWaitForFrameTriggerReady();
    cam.StartGrabbing(Pylon::GrabStrategy_OneByOne, Pylon::GrabLoop_ProvidedByInstantCamera);
    cam.ExecuteSoftwareTrigger();
    cam.GetDeviceInfo().GetModelName();
    cam.StopGrabbing();
    cam.IsOpen();
    cam.Close();
  }
  EXPECT_EQ(device->Journal(),
            (std::vector<std::string>{
                "GetSerialNumber", "CreateDevice", "Attach", "RegisterConfiguration",
                "RegisterImageEventHandler", "Open", "GetNodeMap", "AcquisitionMode=Continuous", "IsGrabbing",
                "CanWaitForFrameTriggerReady", "StartGrabbing", "ExecuteSoftwareTrigger", "GetDeviceInfo",
                "GetModelName", "StopGrabbing", "IsOpen", "Close", "DestroyDevice"}));
}

TEST_F(Emulation, JournalingCanBeTurnedOff) {
  emu::CameraDescription description;
  description.journal = false;
  openCamera(description);
  enumeration("TriggerMode")->FromString("On");
  EXPECT_TRUE(device->Journal().empty());
}

struct FaultCase {
  const char* operation;
  std::function<void(CInstantCamera&, emu::EmulatedCamera&)> call;
};

void PrintTo(const FaultCase& value, std::ostream* os) { *os << value.operation; }

class Faults : public Emulation, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(Faults, AnInjectedFaultIsRaisedOnceWithItsKindAndDescription) {
  openCamera(emu::CameraDescription(), false);  // no handler reads the results first
  useSoftwareTrigger(*device);
  device->FailNext(GetParam().operation, emu::Fault{"AccessException", "injected here"});
  try {
    GetParam().call(*camera, *device);
    FAIL() << "no fault raised";
  } catch (const GenICam::AccessException& e) {
    EXPECT_STREQ(e.GetDescription(), "injected here");
    EXPECT_STREQ(e.GetExceptionType(), "AccessException");
  }
  EXPECT_NO_THROW(GetParam().call(*camera, *device));  // used up
}

void grabOne(CInstantCamera& camera, const std::function<void(const Pylon::CGrabResultPtr&)>& read) {
  if (!camera.IsGrabbing()) {
    camera.StartGrabbing(Pylon::GrabStrategy_OneByOne, Pylon::GrabLoop_ProvidedByUser);
  }
  camera.ExecuteSoftwareTrigger();
  Pylon::CGrabResultPtr result;
  camera.RetrieveResult(1000, result);
  read(result);
}

INSTANTIATE_TEST_SUITE_P(Operations, Faults,
                         ::testing::Values(FaultCase{"IsOpen", [](CInstantCamera& c,
                                                                  emu::EmulatedCamera&) { c.IsOpen(); }},
                                           FaultCase{"GetNodeMap",
                                                     [](CInstantCamera& c, emu::EmulatedCamera&) {
                                                       c.GetNodeMap();
                                                     }},
                                           FaultCase{"GetDeviceInfo",
                                                     [](CInstantCamera& c, emu::EmulatedCamera&) {
                                                       c.GetDeviceInfo();
                                                     }},
                                           FaultCase{"IsPylonDeviceAttached",
                                                     [](CInstantCamera& c, emu::EmulatedCamera&) {
                                                       c.IsPylonDeviceAttached();
                                                     }},
                                           FaultCase{"IsGrabbing",
                                                     [](CInstantCamera& c, emu::EmulatedCamera&) {
                                                       c.IsGrabbing();
                                                     }},
                                           FaultCase{"CanWaitForFrameTriggerReady",
                                                     [](CInstantCamera& c, emu::EmulatedCamera&) {
                                                       c.CanWaitForFrameTriggerReady();
                                                     }},
                                           FaultCase{"StartGrabbing",
                                                     [](CInstantCamera& c, emu::EmulatedCamera&) {
                                                       c.StartGrabbing();
                                                       c.StopGrabbing();
                                                     }},
                                           FaultCase{"ExecuteSoftwareTrigger",
                                                     [](CInstantCamera& c, emu::EmulatedCamera&) {
                                                       c.ExecuteSoftwareTrigger();
                                                     }},
                                           FaultCase{"RegisterConfiguration",
                                                     [](CInstantCamera& c, emu::EmulatedCamera&) {
                                                       c.RegisterConfiguration(
                                                           new Pylon::CConfigurationEventHandler,
                                                           Pylon::RegistrationMode_Append,
                                                           Pylon::Cleanup_Delete);
                                                     }},
                                           FaultCase{"FromString:TriggerMode",
                                                     [](CInstantCamera& c, emu::EmulatedCamera&) {
                                                       GenApi::CEnumerationPtr(
                                                           c.GetNodeMap().GetNode("TriggerMode"))
                                                           ->FromString("On");
                                                     }},
                                           FaultCase{"ToString:TriggerSelector",
                                                     [](CInstantCamera& c, emu::EmulatedCamera&) {
                                                       GenApi::CEnumerationPtr(
                                                           c.GetNodeMap().GetNode("TriggerSelector"))
                                                           ->ToString();
                                                     }},
                                           FaultCase{"GetSerialNumber",
                                                     [](CInstantCamera&, emu::EmulatedCamera&) {
                                                       Pylon::DeviceInfoList_t devices;
                                                       Pylon::CTlFactory::GetInstance().EnumerateDevices(
                                                           devices);
                                                       devices.at(0).GetSerialNumber();
                                                     }},
                                           FaultCase{"CreateDevice",
                                                     [](CInstantCamera&, emu::EmulatedCamera&) {
                                                       Pylon::DeviceInfoList_t devices;
                                                       Pylon::CTlFactory::GetInstance().EnumerateDevices(
                                                           devices);
                                                       Pylon::CTlFactory::GetInstance().DestroyDevice(
                                                           Pylon::CTlFactory::GetInstance().CreateDevice(
                                                               devices.at(0)));
                                                     }},
                                           FaultCase{"GetHeight",
                                                     [](CInstantCamera& c, emu::EmulatedCamera&) {
                                                       grabOne(c, [](const Pylon::CGrabResultPtr& r) {
                                                         r->GetHeight();
                                                       });
                                                     }},
                                           FaultCase{"GetBuffer",
                                                     [](CInstantCamera& c, emu::EmulatedCamera&) {
                                                       grabOne(c, [](const Pylon::CGrabResultPtr& r) {
                                                         r->GetBuffer();
                                                       });
                                                     }},
                                           FaultCase{"GrabSucceeded",
                                                     [](CInstantCamera& c, emu::EmulatedCamera&) {
                                                       grabOne(c, [](const Pylon::CGrabResultPtr& r) {
                                                         r->GrabSucceeded();
                                                       });
                                                     }},
                                           FaultCase{"Close", [](CInstantCamera& c,
                                                                 emu::EmulatedCamera&) { c.Close(); }}),
                         [](const ::testing::TestParamInfo<FaultCase>& info) {
                           std::string name = info.param.operation;
                           name.erase(std::remove(name.begin(), name.end(), ':'), name.end());
                           return name;
                         });

struct KindCase {
  const char* kind;
  const char* typeName;  // null: std::bad_alloc
};

void PrintTo(const KindCase& value, std::ostream* os) { *os << value.kind; }

class FaultKinds : public Emulation, public ::testing::WithParamInterface<KindCase> {};

TEST_P(FaultKinds, EveryKindIsRaisedAsItsOwnClass) {
  openCamera();
  device->FailNext("Open", emu::Fault{GetParam().kind, "why"});
  camera->Close();
  try {
    camera->Open();
    FAIL();
  } catch (const GenICam::GenericException& e) {
    ASSERT_NE(GetParam().typeName, nullptr);
    EXPECT_STREQ(e.GetExceptionType(), GetParam().typeName);
    EXPECT_STREQ(e.GetDescription(), "why");
  } catch (const std::bad_alloc&) {
    EXPECT_EQ(GetParam().typeName, nullptr);
  }
  EXPECT_FALSE(camera->IsOpen());
}

INSTANTIATE_TEST_SUITE_P(Kinds, FaultKinds,
                         ::testing::Values(KindCase{"RuntimeException", "RuntimeException"},
                                           KindCase{"LogicalErrorException", "LogicalErrorException"},
                                           KindCase{"InvalidArgumentException", "InvalidArgumentException"},
                                           KindCase{"AccessException", "AccessException"},
                                           KindCase{"TimeoutException", "TimeoutException"},
                                           KindCase{"GenericException", "GenericException"},
                                           KindCase{"bad_alloc", nullptr}),
                         [](const ::testing::TestParamInfo<KindCase>& info) {
                           return std::string(info.param.kind);
                         });

TEST_F(Emulation, APermanentFaultLastsUntilCleared) {
  openCamera();
  device->FailNext("IsGrabbing", emu::Fault(), -1);
  for (int i = 0; i < 3; ++i) {
    EXPECT_THROW(camera->IsGrabbing(), GenICam::RuntimeException);
  }
  device->ClearFaults();
  EXPECT_NO_THROW(camera->IsGrabbing());
}

TEST_F(Emulation, ProcessWideOperationsAreJournaledAndCanFail) {
  emu::CameraDescription second;
  second.serialNumber = "B";
  emu::AddCamera();
  emu::AddCamera(second);
  emu::ClearGlobalJournal();
  Pylon::PylonInitialize();
  Pylon::DeviceInfoList_t devices;
  ASSERT_EQ(Pylon::CTlFactory::GetInstance().EnumerateDevices(devices), 2);
  EXPECT_STREQ(devices[0].GetSerialNumber(), "EMU0001");
  EXPECT_STREQ(devices[1].GetSerialNumber(), "B");
  EXPECT_STREQ(devices[1].GetVendorName(), "Basler");
  EXPECT_EQ(Pylon::CTlFactory::GetInstance().EnumerateDevices(devices, true), 4);
  Pylon::PylonTerminate();
  EXPECT_EQ(emu::GlobalJournal(), (std::vector<std::string>{"PylonInitialize", "EnumerateDevices",
                                                            "EnumerateDevices", "PylonTerminate"}));

  emu::FailNextGlobal("PylonInitialize", emu::Fault{"RuntimeException", "no transport"});
  EXPECT_THROW(Pylon::PylonInitialize(), GenICam::RuntimeException);
  emu::FailNextGlobal("EnumerateDevices", emu::Fault{"TimeoutException", "bus"});
  EXPECT_THROW(Pylon::CTlFactory::GetInstance().EnumerateDevices(devices), GenICam::TimeoutException);
  EXPECT_THROW(Pylon::CTlFactory::GetInstance().CreateDevice(Pylon::CDeviceInfo()),
               GenICam::InvalidArgumentException);
}

}  // namespace
