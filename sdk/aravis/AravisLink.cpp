// Zazod::Aravis::AravisLink: loss tracking and the mapping of Aravis's error domains onto the
// GenICam exception kinds.
#include "AravisLink.h"

#include <arv.h>

#include "gcbase/GCException.h"

namespace Zazod::Aravis {

void AravisLink::markLost(const char* reason) {
  {
    std::lock_guard<std::mutex> lock(m_reasonMutex);
    if (!m_lost.load(std::memory_order_relaxed)) {
      m_reason = reason != nullptr ? reason : "";
    }
  }
  m_lost.store(true, std::memory_order_release);
}

std::string AravisLink::lossReason() const {
  std::lock_guard<std::mutex> lock(m_reasonMutex);
  return m_reason;
}

void AravisLink::clearLoss() {
  std::lock_guard<std::mutex> lock(m_reasonMutex);
  m_reason.clear();
  m_lost.store(false, std::memory_order_release);
}

void AravisLink::throwIfLost(const char* operation) const {
  if (lost()) {
    throw RUNTIME_EXCEPTION("%s: the camera device has been lost (%s).", operation, lossReason().c_str());
  }
}

void AravisLink::check(GError* error, const char* operation) {
  if (error == nullptr) {
    return;
  }
  const std::string message = error->message != nullptr ? error->message : "unknown Aravis error";
  const GQuark domain = error->domain;
  const int code = error->code;
  g_error_free(error);

  if (domain == ARV_DEVICE_ERROR) {
    switch (code) {
      case ARV_DEVICE_ERROR_TIMEOUT:
      case ARV_DEVICE_ERROR_NOT_CONNECTED:
      case ARV_DEVICE_ERROR_TRANSFER_ERROR:
        markLost(message.c_str());
        throw TIMEOUT_EXCEPTION("%s: %s", operation, message.c_str());
      case ARV_DEVICE_ERROR_NOT_CONTROLLER:
      case ARV_DEVICE_ERROR_PROTOCOL_ERROR_ACCESS_DENIED:
      case ARV_DEVICE_ERROR_PROTOCOL_ERROR_WRITE_PROTECT:
        throw ACCESS_EXCEPTION("%s: %s", operation, message.c_str());
      case ARV_DEVICE_ERROR_FEATURE_NOT_FOUND:
      case ARV_DEVICE_ERROR_WRONG_FEATURE:
      case ARV_DEVICE_ERROR_INVALID_PARAMETER:
        throw INVALID_ARGUMENT_EXCEPTION("%s: %s", operation, message.c_str());
      default:
        break;
    }
  } else if (domain == ARV_GC_ERROR) {
    switch (code) {
      case ARV_GC_ERROR_ENUM_ENTRY_NOT_FOUND:
      case ARV_GC_ERROR_NODE_NOT_FOUND:
      case ARV_GC_ERROR_INVALID_LENGTH:
        throw INVALID_ARGUMENT_EXCEPTION("%s: %s", operation, message.c_str());
      case ARV_GC_ERROR_OUT_OF_RANGE:
        throw OUT_OF_RANGE_EXCEPTION("%s: %s", operation, message.c_str());
      case ARV_GC_ERROR_READ_ONLY:
        throw ACCESS_EXCEPTION("%s: %s", operation, message.c_str());
      default:
        break;
    }
  }
  throw RUNTIME_EXCEPTION("%s: %s", operation, message.c_str());
}

}  // namespace Zazod::Aravis
