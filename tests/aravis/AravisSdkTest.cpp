// The Aravis backend through the SDK layer's public API, against the fake camera: what the module
// cannot show (the node map adapter's entry order, access modes, errors, node types; grab results
// with the device's block ids; trigger readiness by the count of outstanding software triggers).
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "FakeCamera.h"
#include "pylon/PylonIncludes.h"

namespace {

class AravisSdk : public ::testing::Test {
 protected:
  void SetUp() override {
    m_fake = std::make_unique<FakeCamera>(FakeCamera::uniqueSerialNumber());
    ASSERT_TRUE(m_fake->start()) << "the fake camera did not come up";
    Pylon::PylonInitialize();
    Pylon::DeviceInfoList_t devices;
    Pylon::CTlFactory::GetInstance().EnumerateDevices(devices, false);
    ASSERT_EQ(devices.size(), 1u);
    EXPECT_EQ(std::string(devices[0].GetSerialNumber().c_str()), m_fake->serialNumber());
    EXPECT_EQ(std::string(devices[0].GetVendorName().c_str()), "Aravis");
    EXPECT_EQ(std::string(devices[0].GetModelName().c_str()), "Fake");
    EXPECT_EQ(std::string(devices[0].GetDeviceClass().c_str()), "aravis");
    m_camera.Attach(Pylon::CTlFactory::GetInstance().CreateDevice(devices[0]), Pylon::Cleanup_Delete);
    m_camera.Open();
  }

  void TearDown() override {
    m_camera.DestroyDevice();
    Pylon::PylonTerminate();
    m_fake.reset();
  }

  GenApi::CEnumerationPtr enumeration(const char* name) { return m_camera.GetNodeMap().GetNode(name); }

  static std::vector<std::string> entryNames(GenApi::CEnumerationPtr& node) {
    GenApi::NodeList_t entries;
    node->GetEntries(entries);
    std::vector<std::string> names;
    for (GenApi::INode* entry : entries) {
      names.push_back(GenApi::CEnumEntryPtr(entry)->GetSymbolic().c_str());
    }
    return names;
  }

  std::unique_ptr<FakeCamera> m_fake;
  Pylon::CInstantCamera m_camera;
};

TEST_F(AravisSdk, EnumerationEntriesComeInTheDescriptionsOrder) {
  struct Case {
    const char* node;
    std::vector<std::string> entries;
  };
  const Case cases[] = {
      {"TriggerSelector", {"FrameStart", "AcquisitionStart"}},
      {"TriggerMode", {"Off", "On"}},
      {"TriggerSource", {"Line0", "Software"}},
      {"AcquisitionMode", {"Continuous", "SingleFrame", "MultiFrame"}},
  };
  for (const Case& c : cases) {
    GenApi::CEnumerationPtr node = enumeration(c.node);
    ASSERT_TRUE(node.IsValid()) << c.node;
    EXPECT_EQ(entryNames(node), c.entries) << c.node;
    for (const std::string& entry : c.entries) {
      GenApi::IEnumEntry* found = node->GetEntryByName(entry.c_str());
      ASSERT_NE(found, nullptr) << entry;
      EXPECT_EQ(std::string(found->GetSymbolic().c_str()), entry);
    }
    EXPECT_EQ(node->GetEntryByName("Line1"), nullptr);
  }
}

TEST_F(AravisSdk, AccessModesAndNodeTypesInGenApisTerms) {
  GenApi::INodeMap& map = m_camera.GetNodeMap();
  struct Case {
    const char* node;
    GenApi::EAccessMode access;
    GenApi::EInterfaceType type;
  };
  const Case cases[] = {
      {"TriggerSelector", GenApi::RW, GenApi::intfIEnumeration},
      {"Width", GenApi::RW, GenApi::intfIInteger},
      {"PayloadSize", GenApi::RO, GenApi::intfIInteger},
      {"TriggerSoftware", GenApi::WO, GenApi::intfICommand},
      {"DeviceVendorName", GenApi::RO, GenApi::intfIString},
  };
  for (const Case& c : cases) {
    GenApi::INode* node = map.GetNode(c.node);
    ASSERT_NE(node, nullptr) << c.node;
    EXPECT_EQ(std::string(node->GetName().c_str()), c.node);
    EXPECT_EQ(node->GetAccessMode(), c.access) << c.node;
    EXPECT_EQ(node->GetPrincipalInterfaceType(), c.type) << c.node;
  }
  EXPECT_EQ(map.GetNode("NoSuchNode"), nullptr);
  EXPECT_FALSE(GenApi::CEnumerationPtr(map.GetNode("Width")).IsValid()) << "an integer is no enumeration";
  EXPECT_EQ(GenApi::CIntegerPtr(map.GetNode("Width"))->GetValue(), 512);
  EXPECT_EQ(std::string(GenApi::CStringPtr(map.GetNode("DeviceVendorName"))->GetValue().c_str()), "Aravis");
  GenApi::CEnumerationPtr selector = enumeration("TriggerSelector");
  EXPECT_EQ(selector->GetEntryByName("FrameStart")->GetAccessMode(), GenApi::RO);
  GenApi::NodeList_t all;
  map.GetNodes(all);
  EXPECT_GT(all.size(), 20u);
}

TEST_F(AravisSdk, RefusedWritesRaiseTheGenICamKindWithAravissText) {
  GenApi::CEnumerationPtr source = enumeration("TriggerSource");
  ASSERT_NO_THROW(source->FromString("Software", true));
  EXPECT_EQ(std::string(source->ToString().c_str()), "Software");
  try {
    source->FromString("Line1", true);
    FAIL() << "Line1 accepted";
  } catch (const GenICam::InvalidArgumentException& e) {
    EXPECT_NE(std::string(e.GetDescription()).find("'Line1' not an entry"), std::string::npos)
        << e.GetDescription();
  }
  EXPECT_EQ(std::string(source->ToString().c_str()), "Software") << "a refused value changes nothing";
  GenApi::CIntegerPtr payload = m_camera.GetNodeMap().GetNode("PayloadSize");
  try {
    payload->SetValue(5, true);
    FAIL() << "a read-only node was written";
  } catch (const GenICam::AccessException& e) {
    EXPECT_NE(std::string(e.GetDescription()).find("read only"), std::string::npos) << e.GetDescription();
  }
  EXPECT_EQ(payload->GetValue(), 512 * 512);
  GenApi::CIntegerPtr width = m_camera.GetNodeMap().GetNode("Width");
  EXPECT_THROW(width->SetValue(1 << 20, true), GenICam::OutOfRangeException);
}

TEST_F(AravisSdk, SoftwareTriggeredResultsCarryTheDevicesBlockIdsAndReadiness) {
  GenApi::CEnumerationPtr(m_camera.GetNodeMap().GetNode("TriggerMode"))->FromString("On", true);
  GenApi::CEnumerationPtr(m_camera.GetNodeMap().GetNode("TriggerSource"))->FromString("Software", true);
  ASSERT_TRUE(m_camera.CanWaitForFrameTriggerReady());
  m_camera.StartGrabbing(Pylon::GrabStrategy_OneByOne, Pylon::GrabLoop_ProvidedByUser);
  uint64_t lastBlock = 0;
  for (int i = 1; i <= 5; ++i) {
    ASSERT_TRUE(m_camera.WaitForFrameTriggerReady(1000, Pylon::TimeoutHandling_Return));
    m_camera.ExecuteSoftwareTrigger();
    // Until its frame has been retrieved, the trigger is outstanding.
    EXPECT_FALSE(m_camera.WaitForFrameTriggerReady(0, Pylon::TimeoutHandling_Return));
    Pylon::CGrabResultPtr result;
    ASSERT_TRUE(m_camera.RetrieveResult(3000, result, Pylon::TimeoutHandling_Return)) << "snap " << i;
    EXPECT_TRUE(m_camera.WaitForFrameTriggerReady(0, Pylon::TimeoutHandling_Return));
    ASSERT_TRUE(result->GrabSucceeded()) << result->GetErrorDescription().c_str();
    EXPECT_EQ(result->GetImageNumber(), i);
    EXPECT_EQ(result->GetWidth(), 512u);
    EXPECT_EQ(result->GetHeight(), 512u);
    EXPECT_EQ(result->GetPayloadSize(), 512u * 512u);
    EXPECT_GT(result->GetBlockID(), lastBlock);
    lastBlock = result->GetBlockID();
  }
  // No trigger, no frame.
  Pylon::CGrabResultPtr none;
  EXPECT_FALSE(m_camera.RetrieveResult(200, none, Pylon::TimeoutHandling_Return));
  m_camera.StopGrabbing();
}

// A result names the pixel format the camera sent it in, for each format the fake camera offers,
// and holds the whole image of that format.
TEST_F(AravisSdk, ResultsCarryThePixelFormatOfTheirFrames) {
  GenApi::CEnumerationPtr(m_camera.GetNodeMap().GetNode("TriggerMode"))->FromString("On", true);
  GenApi::CEnumerationPtr(m_camera.GetNodeMap().GetNode("TriggerSource"))->FromString("Software", true);
  GenApi::CEnumerationPtr format = enumeration("PixelFormat");
  const std::vector<std::string> names = entryNames(format);
  ASSERT_NE(std::find(names.begin(), names.end(), "Mono16"), names.end());
  for (const std::string& name : names) {
    format->FromString(name.c_str(), true);
    const int64_t code = format->GetCurrentEntry()->GetValue();
    m_camera.StartGrabbing(Pylon::GrabStrategy_OneByOne, Pylon::GrabLoop_ProvidedByUser);
    m_camera.ExecuteSoftwareTrigger();
    Pylon::CGrabResultPtr result;
    ASSERT_TRUE(m_camera.RetrieveResult(3000, result, Pylon::TimeoutHandling_Return)) << name;
    ASSERT_TRUE(result->GrabSucceeded()) << name << ": " << result->GetErrorDescription().c_str();
    EXPECT_EQ(static_cast<int64_t>(result->GetPixelType()), code) << name;
    const uint64_t bits = (static_cast<uint64_t>(code) >> 16) & 0xff;
    EXPECT_GE(result->GetPayloadSize() * 8, uint64_t{result->GetWidth()} * result->GetHeight() * bits)
        << name;
    result.Release();
    m_camera.StopGrabbing();
  }
}

TEST_F(AravisSdk, HeldResultsStayValidAfterStopAndThePoolIsReusedAfterwards) {
  GenApi::CEnumerationPtr(m_camera.GetNodeMap().GetNode("TriggerMode"))->FromString("On", true);
  GenApi::CEnumerationPtr(m_camera.GetNodeMap().GetNode("TriggerSource"))->FromString("Software", true);
  m_camera.StartGrabbing(Pylon::GrabStrategy_OneByOne, Pylon::GrabLoop_ProvidedByUser);
  m_camera.ExecuteSoftwareTrigger();
  Pylon::CGrabResultPtr held;
  ASSERT_TRUE(m_camera.RetrieveResult(3000, held, Pylon::TimeoutHandling_Return));
  ASSERT_TRUE(held->GrabSucceeded());
  const std::vector<uint8_t> pixels(static_cast<const uint8_t*>(held->GetBuffer()),
                                    static_cast<const uint8_t*>(held->GetBuffer()) + held->GetPayloadSize());
  m_camera.StopGrabbing();
  EXPECT_EQ(std::vector<uint8_t>(static_cast<const uint8_t*>(held->GetBuffer()),
                                 static_cast<const uint8_t*>(held->GetBuffer()) + held->GetPayloadSize()),
            pixels);
  held.Release();
  for (int cycle = 0; cycle < 5; ++cycle) {
    m_camera.StartGrabbing(Pylon::GrabStrategy_OneByOne, Pylon::GrabLoop_ProvidedByUser);
    m_camera.ExecuteSoftwareTrigger();
    Pylon::CGrabResultPtr result;
    ASSERT_TRUE(m_camera.RetrieveResult(3000, result, Pylon::TimeoutHandling_Return)) << "cycle " << cycle;
    EXPECT_TRUE(result->GrabSucceeded());
    EXPECT_EQ(result->GetImageNumber(), 1);
    m_camera.StopGrabbing();
  }
}

}  // namespace

namespace {

TEST_F(AravisSdk, AKilledCameraIsNoticedByAravissHeartbeatWhileNothingIsAsked) {
  GenApi::CEnumerationPtr(m_camera.GetNodeMap().GetNode("TriggerMode"))->FromString("On", true);
  GenApi::CEnumerationPtr(m_camera.GetNodeMap().GetNode("TriggerSource"))->FromString("Software", true);
  GenApi::CEnumerationPtr mode = m_camera.GetNodeMap().GetNode("TriggerMode");
  m_camera.StartGrabbing(Pylon::GrabStrategy_OneByOne, Pylon::GrabLoop_ProvidedByUser);
  m_fake->kill();
  // Only the waiting; no register access that could time out.
  Pylon::CGrabResultPtr result;
  const auto begin = std::chrono::steady_clock::now();
  EXPECT_THROW(m_camera.RetrieveResult(20000, result, Pylon::TimeoutHandling_Return),
               GenICam::RuntimeException);
  EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(20));
  EXPECT_TRUE(m_camera.IsCameraDeviceRemoved());
  EXPECT_FALSE(m_camera.IsGrabbing());
  const auto after = std::chrono::steady_clock::now();
  EXPECT_THROW(mode->ToString(), GenICam::GenericException);
  EXPECT_THROW(m_camera.ExecuteSoftwareTrigger(), GenICam::GenericException);
  EXPECT_LT(std::chrono::steady_clock::now() - after, std::chrono::milliseconds(500)) << "fails at once";
}

}  // namespace
