// A camera that lies, through the SDK layer's public API: Aravis's fake camera serving a GenICam
// description of the test's own (its own description, changed), so that its frames' leaders name
// a pixel format of 1 bit per pixel over data of that size, or its PayloadSize asks for a terabyte.
// The frame is a failed grab and the start is refused before anything is allocated.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>

#include "AravisPeer.h"
#include "FakeCamera.h"
#include "pylon/PylonIncludes.h"

namespace {

// The fake camera's own description, as it serves it.
std::string fakeCamerasDescription() {
  FakeCamera plain(FakeCamera::uniqueSerialNumber());
  if (!plain.start()) {
    return std::string();
  }
  AravisPeer peer(FakeCamera::address());
  return peer.genicamXml();
}

// `xml` with `from` replaced by `to` (once); empty when `from` is not in it.
std::string replaced(std::string xml, const std::string& from, const std::string& to) {
  const size_t at = xml.find(from);
  if (at == std::string::npos) {
    return std::string();
  }
  return xml.replace(at, from.size(), to);
}

class HostileCamera : public ::testing::Test {
 protected:
  // Starts a fake camera serving `xml` and opens it through the SDK.
  void startWith(const std::string& xml) {
    ASSERT_FALSE(xml.empty()) << "the fake camera's description did not have the expected node";
    char path[] = "/tmp/zazod-hostile-XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    close(fd);
    m_path = path;
    std::ofstream(m_path) << xml;
    m_fake = std::make_unique<FakeCamera>(FakeCamera::uniqueSerialNumber(),
                                          std::vector<std::string>{"-g", m_path});
    ASSERT_TRUE(m_fake->start()) << "the fake camera did not come up";
    Pylon::PylonInitialize();
    m_initialized = true;
    Pylon::DeviceInfoList_t devices;
    Pylon::CTlFactory::GetInstance().EnumerateDevices(devices, false);
    ASSERT_EQ(devices.size(), 1u);
    m_camera.Attach(Pylon::CTlFactory::GetInstance().CreateDevice(devices[0]), Pylon::Cleanup_Delete);
    m_camera.Open();
    GenApi::CEnumerationPtr(m_camera.GetNodeMap().GetNode("TriggerMode"))->FromString("On", true);
    GenApi::CEnumerationPtr(m_camera.GetNodeMap().GetNode("TriggerSource"))->FromString("Software", true);
  }

  void TearDown() override {
    m_camera.DestroyDevice();
    if (m_initialized) {
      Pylon::PylonTerminate();
    }
    m_fake.reset();
    if (!m_path.empty()) {
      std::remove(m_path.c_str());
    }
  }

  // One software-triggered result.
  void snap(Pylon::CGrabResultPtr& result) {
    m_camera.StartGrabbing(Pylon::GrabStrategy_OneByOne, Pylon::GrabLoop_ProvidedByUser);
    m_camera.ExecuteSoftwareTrigger();
    ASSERT_TRUE(m_camera.RetrieveResult(3000, result, Pylon::TimeoutHandling_Return));
  }

  std::string m_path;
  std::unique_ptr<FakeCamera> m_fake;
  bool m_initialized = false;
  Pylon::CInstantCamera m_camera;
};

// The leader on the wire: 1 bit per pixel (Mono1p, 0x01010037) over width x height / 8
// bytes. Declared Mono8 it would have a reader of width x height bytes read eight times the data.
TEST_F(HostileCamera, AFrameOfOneBitPerPixelIsAFailedGrab) {
  startWith(replaced(fakeCamerasDescription(), "<pValue>PixelFormatRegister</pValue>",
                     "<EnumEntry Name=\"Mono1p\" NameSpace=\"Standard\"><Value>16842807</Value></EnumEntry>"
                     "<pValue>PixelFormatRegister</pValue>"));
  {
    Pylon::CGrabResultPtr result;
    snap(result);
    ASSERT_TRUE(result->GrabSucceeded()) << result->GetErrorDescription().c_str();  // Mono8 first
    EXPECT_EQ(result->GetPixelType(), Pylon::PixelType_Mono8);
  }
  m_camera.StopGrabbing();
  GenApi::CEnumerationPtr(m_camera.GetNodeMap().GetNode("PixelFormat"))->FromString("Mono1p", true);
  Pylon::CGrabResultPtr result;
  snap(result);
  EXPECT_FALSE(result->GrabSucceeded());
  EXPECT_EQ(result->GetErrorCode(), 0xE2000102u);
  EXPECT_STREQ(result->GetErrorDescription().c_str(),
               "The frame's leader gives a pixel format this SDK cannot declare: unknown, or of fewer than 8 "
               "bits per pixel.");
  EXPECT_EQ(result->GetPixelType(), Pylon::PixelType_Undefined);
  m_camera.StopGrabbing();
}

// A PayloadSize of 2^40 bytes: ten such buffers would be ten terabytes to zero-fill.
TEST_F(HostileCamera, AHugePayloadSizeIsRefusedAtTheStart) {
  startWith(replaced(fakeCamerasDescription(),
                     "<Formula>WIDTH * HEIGHT * ((PIXELFORMAT>>16)&amp;0xFF) / 8</Formula>",
                     "<Formula>1099511627776</Formula>"));
  try {
    m_camera.StartGrabbing(Pylon::GrabStrategy_OneByOne, Pylon::GrabLoop_ProvidedByUser);
    ADD_FAILURE() << "started";
  } catch (const GenICam::RuntimeException& e) {
    EXPECT_STREQ(e.GetDescription(),
                 "StartGrabbing: the camera reports a payload size of 1099511627776 bytes, more than the "
                 "1073741824 bytes this SDK allocates for one buffer.");
  }
  EXPECT_FALSE(m_camera.IsGrabbing());
  EXPECT_TRUE(m_camera.IsOpen());
}

}  // namespace
