// TestPattern: learning the fake camera's diagonal ramp and matching frames against it.
#include "TestPattern.h"

#include <array>

bool TestPattern::learn(const uint8_t* pixels, uint32_t width, uint32_t height) {
  m_learned = false;
  if (pixels == nullptr || width == 0 || height == 0 || width + height - 1 < static_cast<uint32_t>(kPeriod)) {
    return false;
  }
  std::array<bool, kPeriod> seen{};
  for (uint32_t y = 0; y < height; ++y) {
    const uint8_t* row = pixels + static_cast<size_t>(y) * width;
    int diagonal = static_cast<int>(y % kPeriod);
    for (uint32_t x = 0; x < width; ++x) {
      if (!seen[diagonal]) {
        seen[diagonal] = true;
        m_ramp[diagonal] = row[x];
      } else if (m_ramp[diagonal] != row[x]) {
        return false;
      }
      diagonal = diagonal + 1 == kPeriod ? 0 : diagonal + 1;
    }
  }
  m_learned = true;
  return true;
}

int TestPattern::phaseOf(const uint8_t* pixels, uint32_t width, uint32_t height) const {
  if (!m_learned || pixels == nullptr || width == 0 || height == 0) {
    return -1;
  }
  for (int shift = 0; shift < kPeriod; ++shift) {
    if (m_ramp[shift] == pixels[0] && matches(pixels, width, height, shift)) {
      return shift;
    }
  }
  return -1;
}

bool TestPattern::matches(const uint8_t* pixels, uint32_t width, uint32_t height, int shift) const {
  for (uint32_t y = 0; y < height; ++y) {
    const uint8_t* row = pixels + static_cast<size_t>(y) * width;
    int diagonal = static_cast<int>((y + static_cast<uint32_t>(shift)) % kPeriod);
    for (uint32_t x = 0; x < width; ++x) {
      if (row[x] != m_ramp[diagonal]) {
        return false;
      }
      diagonal = diagonal + 1 == kPeriod ? 0 : diagonal + 1;
    }
  }
  return true;
}
