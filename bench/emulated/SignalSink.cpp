// The host side of one delivered frame.
#include "SignalSink.h"

#include <ICameraObject.h>

void SignalSink::OnFrameReady(ICameraObject* camera) {
  const void* buffer = camera->m_frameBuffer.load(std::memory_order_acquire);
  m_checksum += reinterpret_cast<uintptr_t>(buffer) + camera->m_width.load(std::memory_order_acquire) +
                camera->m_height.load(std::memory_order_acquire) +
                camera->m_imageNumber.load(std::memory_order_acquire);
  m_signal.arrived();
}
