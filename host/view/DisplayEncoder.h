// DisplayEncoder: turns the display slot's newest copy into what the page shows: a JPEG picture
// and the 256-bin histogram of the 8-bit grey pixels. It encodes only when a viewer asks and a
// newer copy is waiting, once for all viewers, on the asking viewer's thread.
#pragma once

#include <QByteArray>
#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>

#include "DisplaySlot.h"

struct EncodedFrame {
  uint64_t sequence = 0;
  uint32_t imageNumber = 0;
  uint32_t width = 0;
  uint32_t height = 0;
  int32_t bitsPerPixel = 0;
  std::chrono::system_clock::time_point time;
  bool drawn = false;                     // false: a pixel size the view does not draw
  QByteArray jpeg;                        // empty when not drawn
  std::array<uint32_t, 256> histogram{};  // counts of each grey value when drawn
};

class DisplayEncoder {
 public:
  explicit DisplayEncoder(DisplaySlot& slot);

  // The newest frame with a sequence above `after`, waiting for one until `deadline`; null when
  // none came.
  std::shared_ptr<const EncodedFrame> newerThan(uint64_t after, DisplaySlot::Clock::time_point deadline);
  // Frames encoded so far.
  uint64_t encoded() const;

  static std::shared_ptr<const EncodedFrame> encode(const DisplayPixels& pixels);

 private:
  DisplaySlot& m_slot;
  mutable std::mutex m_mutex;
  DisplayPixels m_pixels;  // the copy taken last; its buffer goes back to the slot on the next take
  std::shared_ptr<const EncodedFrame> m_latest;
  uint64_t m_encoded = 0;
};
