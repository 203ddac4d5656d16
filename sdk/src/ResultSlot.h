// Pylon::Internal::ResultSlot: one reusable grab result of a device's fixed pool: the result data,
// the pixel buffer it points to and an intrusive atomic reference count. When the last reference
// is released the slot goes back to its pool; nothing is allocated per frame.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "pylon/GrabResultData.h"

namespace Pylon::Internal {

class ResultPool;
class ResultFaults;

class ResultSlot {
 public:
  ResultSlot(ResultPool* pool, size_t bufferSize, const ResultFaults* faults);
  ResultSlot(const ResultSlot&) = delete;
  ResultSlot& operator=(const ResultSlot&) = delete;

  void addRef() { m_refs.fetch_add(1, std::memory_order_relaxed); }
  // Drops one reference; the last one returns the slot to its pool.
  void release();

  CGrabResultData* data() { return &m_data; }
  uint8_t* buffer() { return m_buffer.data(); }
  size_t bufferSize() const { return m_buffer.size(); }

  // Filling by the device.
  void setSucceeded(uint32_t width, uint32_t height, EPixelType pixelType, size_t payloadSize,
                    uint64_t blockId, uint64_t timeStamp);
  void setFailed(uint32_t errorCode, const char* description, uint64_t blockId, uint64_t timeStamp);
  // The device's wish for the image number of this result (SetNextImageNumber) and the count of
  // images skipped before it.
  void setImageNumberHint(bool has, int64_t number) {
    m_hasImageNumberHint = has;
    m_imageNumberHint = number;
  }
  bool hasImageNumberHint() const { return m_hasImageNumberHint; }
  int64_t imageNumberHint() const { return m_imageNumberHint; }
  void setSkippedBefore(uint64_t count) { m_skippedBefore = count; }
  uint64_t skippedBefore() const { return m_skippedBefore; }

  // Set by the camera when it delivers the result.
  void setImageNumber(int64_t number) { m_data.m_imageNumber = number; }

 private:
  friend class ResultPool;

  ResultPool* m_pool;
  std::atomic<int> m_refs{0};
  CGrabResultData m_data;
  std::vector<uint8_t> m_buffer;
  char m_errorText[256] = {};
  bool m_hasImageNumberHint = false;
  int64_t m_imageNumberHint = 0;
  uint64_t m_skippedBefore = 0;
};

}  // namespace Pylon::Internal
