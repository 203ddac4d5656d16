// ICameraObject: the host's abstract camera. A camera module derives its camera class from it and
// hands objects out through Camera_Create. The host calls the virtual operations by their position
// in the table, reads the state fields directly and sets m_requestedGrabMode and m_frameLimit.
// The four frame fields are written on the camera SDK's grab thread while host threads may read
// them, so they are atomics of the same size and alignment as the plain types they stand for:
// `camera->m_width` reads as before.
#pragma once

#include <QByteArray>
#include <QList>
#include <QMutex>
#include <QStringList>
#include <atomic>
#include <cstdint>

#include "CameraConfig.h"
#include "GrabMode.h"
#include "ICameraFrameSink.h"
#include "VocabularyTables.h"

class ICameraObject {
 public:
  ICameraObject(CameraConfig* config, ICameraFrameSink* sink);
  virtual ~ICameraObject();
  ICameraObject(const ICameraObject&) = delete;
  ICameraObject& operator=(const ICameraObject&) = delete;

  virtual int IOpenCamera() = 0;
  virtual void ICloseCamera() = 0;
  virtual int IStartCamera() = 0;
  virtual void IStopCamera() = 0;
  virtual void IAuxCameraOp1() = 0;
  virtual void IAuxCameraOp2() = 0;
  // The cameras present, as keys for CameraConfig::cameraKey. The base lists none.
  virtual QStringList IEnumCameras();
  // The snap precondition: 1 when a snap may be taken now. The argument is not read.
  virtual int ISnapCamera(int unused);
  virtual int ITriggerCamera();
  virtual int ISoftTriggerCamera();
  virtual void IAuxCameraOp3();
  virtual char* IGetImageData();
  virtual void IAuxCameraOp4();
  virtual int IAuxCameraQuery();

  CameraConfig* m_config;
  bool m_isOpened = false;
  bool m_isGrabbing = false;
  bool m_hostFlagA = true;
  std::atomic<uint32_t> m_width{0};
  std::atomic<uint32_t> m_height{0};
  int32_t m_hostValueA = 0;
  int32_t m_bitsPerPixel;
  int32_t m_imageFormat = 0;
  uint32_t m_frameLimit = 0;
  std::atomic<uint32_t> m_imageNumber{0};
  int32_t m_hostValueB = 0;
  int32_t m_activeGrabMode = GrabMode_None;
  int32_t m_requestedGrabMode = GrabMode_HardwareTrigger;
  std::atomic<void*> m_frameBuffer{nullptr};
  QByteArray m_imageData;
  ICameraFrameSink* m_frameSink;
  uint64_t m_hostWordA = 0;
  uint64_t m_hostWordB = 0;
  QList<int32_t> m_hostList;
  QMutex m_mutex{QMutex::Recursive};
  bool m_hostFlagB = true;
  bool m_hostFlagC = false;
};

static_assert(sizeof(std::atomic<uint32_t>) == sizeof(uint32_t) &&
                  alignof(std::atomic<uint32_t>) == alignof(uint32_t),
              "frame sizes and number keep the layout of a plain 32-bit field");
static_assert(sizeof(std::atomic<void*>) == sizeof(void*) && alignof(std::atomic<void*>) == alignof(void*),
              "the frame buffer keeps the layout of a plain pointer");
static_assert(std::atomic<uint32_t>::is_always_lock_free && std::atomic<void*>::is_always_lock_free,
              "frame fields are read without a lock");
