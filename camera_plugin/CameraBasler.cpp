// CCameraBasler: opening by key, acquisition control in the grab modes, closing, and the frame path.
#include "CameraBasler.h"

#include <QDebug>
#include <QString>

#include "GrabThreadLog.h"
#include "ImageEventHandler.h"
#include "ScopeExit.h"
#include "pylon/SoftwareTriggerConfiguration.h"

namespace {

constexpr const char* kOpenTag = "CCameraBasler::IOpenCamera";
constexpr const char* kCloseTag = "CCameraBasler::ICloseCamera";
constexpr const char* kStartTag = "CCameraBasler::IStartCamera";
constexpr const char* kStopTag = "CCameraBasler::IStopCamera";
constexpr const char* kSnapTag = "CCameraBasler::ISnapCamera";
constexpr const char* kFrameTag = "CCameraBasler::OnImageGrabbed";

void logException(const GenICam::GenericException& e, const char* tag) {
  qCritical() << "An exception occurred : " << e.GetDescription() << " - " << tag;
}

}  // namespace

int32_t CCameraBasler::s_pylonUsers = 0;

CCameraBasler::CCameraBasler(CameraConfig* config, ICameraFrameSink* sink) : ICameraObject(config, sink) {
  if (s_pylonUsers == 0) {
    Pylon::PylonInitialize();
  }
  ++s_pylonUsers;
}

CCameraBasler::~CCameraBasler() {
  CCameraBasler::ICloseCamera();
  --s_pylonUsers;
}

QStringList CCameraBasler::IEnumCameras() {
  QStringList keys;
  Pylon::CTlFactory& factory = Pylon::CTlFactory::GetInstance();
  Pylon::DeviceInfoList_t devices;
  const int count = factory.EnumerateDevices(devices, false);
  for (int i = 0; i < count; ++i) {
    const QString serialNumber(devices[static_cast<size_t>(i)].GetSerialNumber().c_str());
    keys.append(QString("%1 %2").arg(QString("basler")).arg(serialNumber));
  }
  return keys;
}

int CCameraBasler::IOpenCamera() {
  if (m_config == nullptr) {
    qWarning() << "Camera config missing."
               << " - " << kOpenTag;
    return 0;
  }
  try {
    const QStringList parts = m_config->cameraKey.split(' ', Qt::KeepEmptyParts, Qt::CaseSensitive);
    if (parts.size() < 2) {
      qWarning() << "Camera key in config file invalid. The format should be (name serialnum)."
                 << " - " << kOpenTag;
      return 0;
    }
    const QString& serialNumber = parts.at(1);

    Pylon::CTlFactory& factory = Pylon::CTlFactory::GetInstance();
    Pylon::DeviceInfoList_t devices;
    const int count = factory.EnumerateDevices(devices, false);
    if (count == 0) {
      qWarning() << "No camera present"
                 << " - " << kOpenTag;
      return 0;
    }

    // Only the device whose serial number the key names is ever opened: a device attached by an
    // earlier open does not stand in for a key that matches nothing.
    bool matched = false;
    for (int i = 0; i < count; ++i) {
      const Pylon::CDeviceInfo& info = devices[static_cast<size_t>(i)];
      if (serialNumber == info.GetSerialNumber().c_str()) {
        // A running grab is stopped before its device is replaced.
        IStopCamera();
        m_camera.Attach(factory.CreateDevice(info), Pylon::Cleanup_Delete);
        // The old device is gone with its grab and its open state: when that stop failed, replacing
        // the device has ended the grab all the same, and from here the flag says whether the new
        // device is open, so a re-open that fails below leaves a closed camera.
        m_isOpened = false;
        if (m_isGrabbing) {
          markNotGrabbing();
        }
        matched = true;
        break;
      }
    }
    if (!matched || !m_camera.IsPylonDeviceAttached()) {
      return 0;
    }

    m_camera.RegisterConfiguration(new Pylon::CSoftwareTriggerConfiguration,
                                   Pylon::RegistrationMode_ReplaceAll, Pylon::Cleanup_Delete);
    // Replacing keeps exactly one frame handler however often the camera is opened, so every good
    // frame reaches the host once.
    m_camera.RegisterImageEventHandler(new ZODOzizoZavozEzazodu(this), Pylon::RegistrationMode_ReplaceAll,
                                       Pylon::Cleanup_Delete);
    m_camera.Open();
    m_isOpened = true;
    qDebug() << "CCameraBasler::IOpenCamera success*************************** " << Qt::endl;
    m_imageFormat = m_config->imageFormat;
    return 1;
  } catch (const GenICam::GenericException& e) {
    logException(e, kOpenTag);
    return 0;
  }
}

void CCameraBasler::ICloseCamera() {
  qDebug() << kCloseTag;
  // A virtual call: a class derived from this one stops in its own way. During destruction it is
  // this class's own stop, which is what the destructor wants.
  IStopCamera();  // NOLINT(clang-analyzer-optin.cplusplus.VirtualCall)
  try {
    if (m_isOpened && m_camera.IsOpen()) {
      qDebug() << "Close camera(" << static_cast<const void*>(m_config) << ")."
               << " - " << kCloseTag;
      m_camera.Close();
    }
  } catch (const GenICam::GenericException& e) {
    logException(e, kCloseTag);
  }
  m_isOpened = false;
}

CCameraBasler::Restart CCameraBasler::restartWithTrigger(const char* source, const char* tag) {
  // Once a running grab has been stopped, every way out short of a completed start leaves the
  // camera stopped, and the flags must say so: an early return, a GenICam exception, or any other
  // exception, which goes on to the host unchanged.
  bool stopped = false;
  ScopeExit stoppedUnlessRestarted([this, &stopped] {
    if (stopped) {
      markNotGrabbing();
    }
  });
  if (m_camera.IsGrabbing()) {
    qDebug() << "Stop Grabbing camera(" << static_cast<const void*>(m_config) << ")."
             << " - " << tag;
    m_camera.StopGrabbing();
    stopped = true;
  }
  GenApi::INodeMap& nodeMap = m_camera.GetNodeMap();
  GenApi::CEnumerationPtr(nodeMap.GetNode("TriggerMode"))->FromString("On", true);
  GenApi::CEnumerationPtr(nodeMap.GetNode("TriggerSource"))->FromString(source, true);
  if (!m_camera.CanWaitForFrameTriggerReady()) {
    qWarning() << "The cameras must can be queried whether they are ready to accept the next frame trigger."
               << " - " << tag;
    return Restart::NotReady;
  }
  m_camera.StartGrabbing(Pylon::GrabStrategy_OneByOne, Pylon::GrabLoop_ProvidedByInstantCamera);
  // From here the camera grabs, whatever the line below may throw.
  m_isGrabbing = true;
  stoppedUnlessRestarted.dismiss();
  qDebug() << "Start Grabbing camera(" << static_cast<const void*>(m_config) << ")."
           << " - " << tag;
  return Restart::Completed;
}

void CCameraBasler::markNotGrabbing() {
  m_isGrabbing = false;
  m_activeGrabMode = GrabMode_None;
}

int CCameraBasler::IStartCamera() {
  if (!m_isOpened) {
    return 0;
  }
  if (m_activeGrabMode == m_requestedGrabMode) {
    return 1;
  }
  const char* source = nullptr;
  switch (m_requestedGrabMode) {
    case GrabMode_HardwareTrigger:
      source = "Line1";
      break;
    case GrabMode_SoftwareTrigger:
    case GrabMode_SoftwareTriggerCounted:
      source = "Software";
      break;
    default:
      m_activeGrabMode = m_requestedGrabMode;
      return 1;
  }
  try {
    if (restartWithTrigger(source, kStartTag) != Restart::Completed) {
      return 0;
    }
    m_activeGrabMode = m_requestedGrabMode;
    return 1;
  } catch (const GenICam::GenericException& e) {
    logException(e, kStartTag);
    return 0;
  }
}

int CCameraBasler::ISnapCamera(int /*unused*/) {
  if (ICameraObject::ISnapCamera(0) == 0) {
    return 0;
  }
  try {
    if (m_activeGrabMode == GrabMode_HardwareTrigger) {
      if (restartWithTrigger("Software", kSnapTag) != Restart::Completed) {
        return 0;
      }
      m_activeGrabMode = GrabMode_SwitchedToSoftware;
    }
    m_camera.ExecuteSoftwareTrigger();
    return 1;
  } catch (const GenICam::GenericException& e) {
    logException(e, kSnapTag);
    return 0;
  }
}

int CCameraBasler::ISoftTriggerCamera() { return ISnapCamera(0); }

void CCameraBasler::IStopCamera() {
  if (!m_isGrabbing) {
    return;
  }
  try {
    if (m_camera.IsGrabbing()) {
      qDebug() << "Stop Grabbing camera(" << static_cast<const void*>(m_config) << ")."
               << " - " << kStopTag;
      m_camera.StopGrabbing();
    }
  } catch (const GenICam::GenericException& e) {
    logException(e, kStopTag);
    return;
  }
  markNotGrabbing();
}

void CCameraBasler::IAuxCameraOp1() {}

void CCameraBasler::IAuxCameraOp2() {}

void CCameraBasler::OnImageGrabbed(Pylon::CInstantCamera& /*camera*/,
                                   const Pylon::CGrabResultPtr& grabResult) {
  try {
    m_frameBuffer.store(grabResult->GetBuffer(), std::memory_order_release);
    m_width.store(grabResult->GetWidth(), std::memory_order_release);
    m_height.store(grabResult->GetHeight(), std::memory_order_release);
    m_imageNumber.store(static_cast<uint32_t>(grabResult->GetImageNumber()), std::memory_order_release);
  } catch (const GenICam::GenericException& e) {
    if (CGrabThreadLog::enabled(QtCriticalMsg)) {
      logException(e, kFrameTag);
    }
    return;
  }
  // Without a sink the frame is still recorded and logged.
  if (m_frameSink != nullptr) {
    m_frameSink->OnFrameReady(this);
  }
  CGrabThreadLog::frameGrabbed(m_imageNumber.load(std::memory_order_acquire));
}
