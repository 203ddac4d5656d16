#include "DisplayEncoder.h"

#include <QBuffer>
#include <QImage>
#include <QImageWriter>

namespace {

constexpr int kJpegQuality = 80;

}  // namespace

DisplayEncoder::DisplayEncoder(DisplaySlot& slot) : m_slot(slot) {}

std::shared_ptr<const EncodedFrame> DisplayEncoder::newerThan(uint64_t after,
                                                              DisplaySlot::Clock::time_point deadline) {
  for (;;) {
    uint64_t have = 0;
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      have = m_latest ? m_latest->sequence : 0;
      // The newest copy first, so that a viewer never gets an older frame than the slot holds;
      // another viewer may have taken and encoded it already, then m_latest is it.
      if (m_slot.newest() > have && m_slot.take(have, m_pixels)) {
        m_latest = encode(m_pixels);
        ++m_encoded;
        have = m_latest->sequence;
      }
      if (m_latest && have > after) {
        return m_latest;
      }
    }
    if (!m_slot.waitNewer(std::max(after, have), deadline)) {
      return nullptr;
    }
  }
}

uint64_t DisplayEncoder::encoded() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_encoded;
}

std::shared_ptr<const EncodedFrame> DisplayEncoder::encode(const DisplayPixels& pixels) {
  auto frame = std::make_shared<EncodedFrame>();
  frame->sequence = pixels.sequence;
  frame->imageNumber = pixels.imageNumber;
  frame->width = pixels.width;
  frame->height = pixels.height;
  frame->bitsPerPixel = pixels.bitsPerPixel;
  frame->time = pixels.time;
  if (pixels.pixels.empty() || pixels.pixels.size() != static_cast<size_t>(pixels.width) * pixels.height) {
    return frame;
  }
  for (const uint8_t value : pixels.pixels) {
    ++frame->histogram[value];
  }
  // QImage over the copy without copying it again; the JPEG writer only reads it.
  const QImage image(pixels.pixels.data(), static_cast<int>(pixels.width), static_cast<int>(pixels.height),
                     static_cast<int>(pixels.width), QImage::Format_Grayscale8);
  QBuffer buffer(&frame->jpeg);
  buffer.open(QIODevice::WriteOnly);
  QImageWriter writer(&buffer, "jpeg");
  writer.setQuality(kJpegQuality);
  frame->drawn = writer.write(image);
  if (!frame->drawn) {
    frame->jpeg.clear();
  }
  return frame;
}
