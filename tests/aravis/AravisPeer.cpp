// AravisPeer: feature access of the test's own Aravis client.
#include "AravisPeer.h"

#include <arv.h>

#include "UsbListing.h"

AravisPeer::AravisPeer(const char* address) {
  GInetAddress* inet = g_inet_address_new_from_string(address);
  GError* error = nullptr;
  m_device = arv_gv_device_new(inet, inet, &error);
  g_object_unref(inet);
  if (error != nullptr) {
    m_lastError = error->message;
    g_error_free(error);
  }
}

AravisPeer::AravisPeer(Usb device) {
  std::string vendor;
  std::string model;
  if (!UsbListing::find(device.serialNumber, vendor, model)) {
    m_lastError = std::string("no USB3 Vision device ") + device.serialNumber + " listed";
    return;
  }
  GError* error = nullptr;
  m_device = arv_uv_device_new(vendor.c_str(), model.c_str(), device.serialNumber, &error);
  if (error != nullptr) {
    m_lastError = error->message;
    g_error_free(error);
  }
}

AravisPeer::~AravisPeer() {
  if (m_device != nullptr) {
    g_object_unref(m_device);
  }
}

bool AravisPeer::controls() const {
  // A USB3 Vision device has one client at a time: whoever opened it controls it.
  return m_device != nullptr &&
         (!ARV_IS_GV_DEVICE(m_device) || arv_gv_device_is_controller(ARV_GV_DEVICE(m_device)));
}

std::string AravisPeer::get(const char* feature) {
  if (m_device == nullptr) {
    return std::string();
  }
  GError* error = nullptr;
  ArvGcNode* node = arv_device_get_feature(m_device, feature);
  const char* value =
      node != nullptr ? arv_gc_feature_node_get_value_as_string(ARV_GC_FEATURE_NODE(node), &error) : nullptr;
  if (error != nullptr) {
    m_lastError = error->message;
    g_error_free(error);
    return std::string();
  }
  return value != nullptr ? value : "";
}

bool AravisPeer::set(const char* feature, const char* value) {
  if (m_device == nullptr) {
    return false;
  }
  GError* error = nullptr;
  arv_device_set_string_feature_value(m_device, feature, value, &error);
  if (error != nullptr) {
    m_lastError = error->message;
    g_error_free(error);
    return false;
  }
  return true;
}

std::string AravisPeer::triggerMode(const char* trigger) {
  return set("TriggerSelector", trigger) ? get("TriggerMode") : std::string();
}

std::string AravisPeer::triggerSource(const char* trigger) {
  return set("TriggerSelector", trigger) ? get("TriggerSource") : std::string();
}

std::string AravisPeer::genicamXml() {
  size_t size = 0;
  const char* xml = m_device != nullptr ? arv_device_get_genicam_xml(m_device, &size) : nullptr;
  return xml != nullptr ? std::string(xml, size) : std::string();
}
