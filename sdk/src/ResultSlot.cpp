// Pylon::Internal::ResultSlot: filling a pooled grab result and returning it to its pool.
#include "ResultSlot.h"

#include <cstring>

#include "ResultPool.h"

namespace Pylon::Internal {

ResultSlot::ResultSlot(ResultPool* pool, size_t bufferSize, const ResultFaults* faults)
    : m_pool(pool), m_buffer(bufferSize) {
  m_data.m_faults = faults;
  m_data.m_errorDescription = m_errorText;
}

void ResultSlot::release() {
  if (m_refs.fetch_sub(1, std::memory_order_acq_rel) == 1) {
    m_pool->giveBack(this);
  }
}

void ResultSlot::setSucceeded(uint32_t width, uint32_t height, EPixelType pixelType, size_t payloadSize,
                              uint64_t blockId, uint64_t timeStamp) {
  m_data.m_succeeded = true;
  m_data.m_buffer = m_buffer.data();
  m_data.m_width = width;
  m_data.m_height = height;
  m_data.m_payloadSize = payloadSize;
  m_data.m_blockId = blockId;
  m_data.m_timeStamp = timeStamp;
  m_data.m_errorCode = 0;
  m_data.m_imageNumber = 0;
  m_data.m_pixelType = pixelType;
  m_errorText[0] = '\0';
}

void ResultSlot::setFailed(uint32_t errorCode, const char* description, uint64_t blockId,
                           uint64_t timeStamp) {
  m_data.m_succeeded = false;
  m_data.m_buffer = m_buffer.data();
  m_data.m_width = 0;
  m_data.m_height = 0;
  m_data.m_payloadSize = 0;
  m_data.m_blockId = blockId;
  m_data.m_timeStamp = timeStamp;
  m_data.m_errorCode = errorCode;
  m_data.m_imageNumber = 0;
  m_data.m_pixelType = PixelType_Undefined;
  std::strncpy(m_errorText, description != nullptr ? description : "", sizeof m_errorText - 1);
  m_errorText[sizeof m_errorText - 1] = '\0';
}

}  // namespace Pylon::Internal
