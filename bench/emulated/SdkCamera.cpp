// An instant camera of the SDK layer over one emulated camera, with a bare image handler.
#include "SdkCamera.h"

#include <cstdio>

#include "BareImageHandler.h"

SdkCamera::SdkCamera(const std::string& serialNumber) : m_serialNumber(serialNumber) {
  Pylon::PylonInitialize();
}

SdkCamera::~SdkCamera() {
  try {
    m_camera.StopGrabbing();
    m_camera.Close();
    m_camera.DestroyDevice();
  } catch (const GenICam::GenericException& e) {
    std::fprintf(stderr, "SdkCamera: %s\n", e.GetDescription());
  }
  Pylon::PylonTerminate();
}

bool SdkCamera::start() {
  try {
    Pylon::DeviceInfoList_t devices;
    Pylon::CTlFactory& factory = Pylon::CTlFactory::GetInstance();
    factory.EnumerateDevices(devices, false);
    for (const Pylon::CDeviceInfo& info : devices) {
      if (m_serialNumber == info.GetSerialNumber().c_str()) {
        m_camera.Attach(factory.CreateDevice(info), Pylon::Cleanup_Delete);
        break;
      }
    }
    if (!m_camera.IsPylonDeviceAttached()) {
      return false;
    }
    m_camera.RegisterImageEventHandler(new BareImageHandler(m_signal), Pylon::RegistrationMode_Append,
                                       Pylon::Cleanup_Delete);
    m_camera.Open();
    GenApi::INodeMap& nodes = m_camera.GetNodeMap();
    GenApi::CEnumerationPtr(nodes.GetNode("TriggerSelector"))->FromString("FrameStart", true);
    GenApi::CEnumerationPtr(nodes.GetNode("TriggerMode"))->FromString("On", true);
    GenApi::CEnumerationPtr(nodes.GetNode("TriggerSource"))->FromString("Software", true);
    GenApi::CEnumerationPtr(nodes.GetNode("AcquisitionMode"))->FromString("Continuous", true);
    m_camera.StartGrabbing(Pylon::GrabStrategy_OneByOne, Pylon::GrabLoop_ProvidedByInstantCamera);
    return true;
  } catch (const GenICam::GenericException& e) {
    std::fprintf(stderr, "SdkCamera: %s\n", e.GetDescription());
    return false;
  }
}

bool SdkCamera::snap() {
  try {
    m_camera.ExecuteSoftwareTrigger();
    return true;
  } catch (const GenICam::GenericException&) {
    return false;
  }
}
