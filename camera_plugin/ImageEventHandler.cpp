// Dispatch of grab results to the owning camera object, and the logging of failed grabs and
// skipped images. Both lines are built, and the SDK asked for what they show, only when Qt would
// deliver them.
#include "ImageEventHandler.h"

#include <QDebug>

#include "CameraBasler.h"
#include "GrabThreadLog.h"

ZODOzizoZavozEzazodu::ZODOzizoZavozEzazodu(CCameraBasler* owner) : m_owner(owner) {}

ZODOzizoZavozEzazodu::~ZODOzizoZavozEzazodu() = default;

void ZODOzizoZavozEzazodu::OnImagesSkipped(Pylon::CInstantCamera& camera, size_t countOfSkippedImages) {
  if (!CGrabThreadLog::enabled(QtDebugMsg)) {
    return;
  }
  const Pylon::String_t model = camera.GetDeviceInfo().GetModelName();
  qDebug() << "Basler Camera(" << model.c_str() << "), skipped " << static_cast<quint64>(countOfSkippedImages)
           << " images."
           << " - "
           << "ZODOzizoZavozEzazodu::OnImagesSkipped";
}

void ZODOzizoZavozEzazodu::OnImageGrabbed(Pylon::CInstantCamera& camera,
                                          const Pylon::CGrabResultPtr& grabResult) {
  if (grabResult->GrabSucceeded()) {
    m_owner->OnImageGrabbed(camera, grabResult);
    return;
  }
  if (!CGrabThreadLog::enabled(QtWarningMsg)) {
    return;
  }
  const Pylon::String_t description = grabResult->GetErrorDescription();
  const uint32_t errorCode = grabResult->GetErrorCode();
  qWarning() << "Basler Camera image grab error: " << errorCode << " " << description.c_str() << " - "
             << "ZODOzizoZavozEzazodu::OnImageGrabbed";
}
