// CameraConfig: the host's settings record for one camera. The host owns it and may change it
// between calls; a camera module reads cameraKey, imageFormat and snapInhibited each time it needs
// them and never writes the record. The other fields are the host's own.
#pragma once

#include <QString>
#include <cstdint>

struct CameraConfig {
  QString cameraName;                // host: display name of the camera
  int32_t cameraFamily = 0;          // host: code of g_cameraFamilyNames
  QString cameraKey;                 // name, one blank, serial number ("basler 12345678")
  int32_t portType = 0;              // host: code of g_portTypeNames
  int32_t imageFormat = 0;           // code of g_imageFormatNames
  int32_t exposureMicroseconds = 0;  // host
  bool snapInhibited = false;        // while set, every snap is refused
  QString description;               // host
};
