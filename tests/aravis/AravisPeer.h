// AravisPeer: a client of the test's own on a fake camera (GigE Vision or USB3 Vision), straight
// through Aravis, to put the camera into a known state before the module opens it and to read back
// what the module wrote once it has let go. Writes need control of the camera, so the peer is used only while
// the module does not hold it.
#pragma once

#include <string>

typedef struct _ArvDevice ArvDevice;

class AravisPeer {
 public:
  // The GigE Vision camera at this address.
  explicit AravisPeer(const char* address);
  // The USB3 Vision device of this serial number.
  struct Usb {
    const char* serialNumber;
  };
  explicit AravisPeer(Usb device);
  ~AravisPeer();
  AravisPeer(const AravisPeer&) = delete;
  AravisPeer& operator=(const AravisPeer&) = delete;

  bool connected() const { return m_device != nullptr; }
  bool controls() const;
  // The value as text ("" and the error in lastError() when it fails).
  std::string get(const char* feature);
  bool set(const char* feature, const char* value);
  // TriggerMode / TriggerSource with the selector moved to `trigger` first.
  std::string triggerMode(const char* trigger);
  std::string triggerSource(const char* trigger);
  // The camera's GenICam description as it serves it ("" when there is none).
  std::string genicamXml();
  const std::string& lastError() const { return m_lastError; }

 private:
  ArvDevice* m_device = nullptr;
  std::string m_lastError;
};
