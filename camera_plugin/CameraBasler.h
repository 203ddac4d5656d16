// CCameraBasler: the host's camera object for one Basler camera, driven through the camera SDK's
// instant camera. It opens the camera a key names, configures its trigger for the grab mode the
// host asks for, snaps, stops and closes, and records every good frame for the host.
#pragma once

#include <ICameraObject.h>
#include <pylon/PylonIncludes.h>

class CCameraBasler : public ICameraObject {
 public:
  CCameraBasler(CameraConfig* config, ICameraFrameSink* sink);
  ~CCameraBasler() override;

  int IOpenCamera() override;
  void ICloseCamera() override;
  int IStartCamera() override;
  void IStopCamera() override;
  void IAuxCameraOp1() override;
  void IAuxCameraOp2() override;
  QStringList IEnumCameras() override;
  int ISnapCamera(int unused) override;
  int ISoftTriggerCamera() override;

  // Called on the grab thread for every good grab result: stores the frame fields, then tells the
  // host's sink.
  void OnImageGrabbed(Pylon::CInstantCamera& camera, const Pylon::CGrabResultPtr& grabResult);

  // Camera objects alive; the SDK is initialised when the first one is created.
  static int32_t s_pylonUsers;

 private:
  enum class Restart { Completed, NotReady };
  // Rewrites trigger mode and source and starts grabbing. A running grab is stopped first; if the
  // restart then ends in any other way than a started grab, the object is left not grabbing.
  Restart restartWithTrigger(const char* source, const char* tag);
  // The state after a grab that was stopped and not started again.
  void markNotGrabbing();

  Pylon::CInstantCamera m_camera;
};
